// What a Windows program or DLL (a PE file) says about itself: its machine, whether it is a DLL,
// the DLLs it imports (the import table and the delay-load import table, names as written), its
// .NET runtime version when it has a CLR header, and the tag Wine writes into its own DLLs.
//
// The reader asks its source for the ranges it needs (the headers, the section table, the import
// descriptors and the names they point to), never the whole file, and checks every offset and
// size against the file before it uses it: a file that is not a PE, is cut short, or whose tables
// point outside it gives a reason and nothing else. Pure: reads bytes through the source given.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tvn::wine {

enum class PeMachine { X86, X64, Arm64, Other };

struct PeImport {
    std::string name; // as the file writes it ("KERNEL32.dll")
    bool delay = false;
    bool operator==(const PeImport&) const = default;
};

struct PeImage {
    PeMachine machine = PeMachine::Other;
    uint16_t machineCode = 0;
    bool pe32Plus = false;
    bool dll = false;
    std::vector<PeImport> imports; // the import table's, then the delay-load table's; each name once per table
    bool dotnet = false;
    std::string runtimeVersion;    // the metadata's version string ("v4.0.30319"), "" when none
    std::string wineTag;           // "Wine builtin DLL", "Wine placeholder DLL" or ""
};

struct PeReading {
    std::optional<PeImage> image;
    std::string error; // why there is no image, else ""
};

// Reads `size` bytes at `offset`: all of them, or nullopt.
using ByteSource = std::function<std::optional<std::string>(uint64_t offset, size_t size)>;

// Reads the image from a source of `fileSize` bytes.
PeReading readPeImage(const ByteSource&, uint64_t fileSize);

// The same from a file, read with pread.
PeReading readPeFile(const std::filesystem::path&);

// "x86", "x64", "arm64", "other".
const char* machineName(PeMachine);

} // namespace tvn::wine
