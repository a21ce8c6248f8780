// What a Windows program needs in a prefix: its imported DLLs, followed through the prefix the way
// Wine's loader looks for them, each with what became of it.
//
// A DLL is looked for (by name, without regard to case) in the program's own folder, then the
// system folder of the program's architecture (a 64-bit prefix keeps 64-bit DLLs in system32 and
// 32-bit ones in syswow64; a 32-bit prefix keeps its own in system32), then C:\windows. What is
// found there:
//   "builtin"   Wine's own (a placeholder or builtin DLL, by the tag Wine writes into them), or
//               not in the prefix but shipped by the wine that runs it for that architecture;
//   "found"     a Windows DLL of the program's machine: its own imports are walked in turn;
//   "wrongarch" a DLL of another machine, which Wine would not load;
//   "broken"    a file of that name that is not a PE file Wine could load;
//   "apiset"    api-ms-win-* and ext-ms-* names, which Wine resolves itself;
//   "missing"   none of these.
// Each file is read once, at most kMaxWalkedFiles of them. Reads files; starts nothing.
#pragma once

#include "wine/PeImage.h"

#include <filesystem>
#include <string>
#include <vector>

namespace tvn::wine {

inline constexpr size_t kMaxWalkedFiles = 5000;

// Where the loader looks, in a prefix (or tvn's own drive_c), as native folders.
struct LoaderFolders {
    std::filesystem::path windows;  // C:\windows
    std::filesystem::path system32; // C:\windows\system32
    std::filesystem::path syswow64; // C:\windows\syswow64
    std::string prefixArch;         // "win32"; anything else is a 64-bit prefix (Wine's default)
    std::filesystem::path wine;     // the wine that runs the prefix, whose own DLLs count as builtin
};

struct NeededDll {
    std::string name;   // as the first file that imports it writes it
    std::string status; // "builtin", "found", "wrongarch", "broken", "apiset", "missing"
    std::filesystem::path path; // where it was found; empty when it was not
    std::vector<std::string> neededBy; // the file names of the program or DLLs importing it
    bool delay = true;  // every import of it is a delay-load one
};

struct ProgramNeeds {
    std::filesystem::path path;
    std::string machine; // "x86", "x64", "arm64", "other"
    std::string kind;    // "program" or "dll"
    bool dotnet = false;
    std::string runtimeVersion;
    std::vector<NeededDll> dlls; // in the order the walk met them
    std::string error;   // why the file could not be read ("" when it was); the rest is then empty
};

ProgramNeeds analyzeProgram(const std::filesystem::path& program, const LoaderFolders&);

// The folders in which `wine` keeps its own DLLs for `machine` (lib/wine/x86_64-windows,
// lib/<triplet>/wine/i386-windows, ... beside its bin/), those that exist.
std::vector<std::filesystem::path> wineDllFolders(const std::filesystem::path& wine, PeMachine machine);

} // namespace tvn::wine
