// Reading a PE file's headers and tables.

#include "wine/PeImage.h"

#include "platform/FileDescriptor.h"
#include "util/Strings.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>

namespace tvn::wine {

namespace {

constexpr uint16_t kMachineX86 = 0x014c;
constexpr uint16_t kMachineX64 = 0x8664;
constexpr uint16_t kMachineArm64 = 0xaa64;
constexpr uint16_t kFileIsDll = 0x2000;
constexpr uint16_t kMagicPe32 = 0x10b;
constexpr uint16_t kMagicPe32Plus = 0x20b;
constexpr size_t kImportDirectory = 1;
constexpr size_t kDelayImportDirectory = 13;
constexpr size_t kClrDirectory = 14;
constexpr uint32_t kMetadataSignature = 0x424A5342; // "BSJB"

// Bounds no real file comes near; a file past them is damaged or hostile.
constexpr uint16_t kMaxSections = 96; // the Windows loader's own limit
constexpr size_t kMaxDescriptors = 4096;
constexpr size_t kMaxNameLength = 256;
constexpr size_t kMaxVersionLength = 255;

uint16_t u16(const std::string& bytes, size_t at)
{
    return static_cast<uint16_t>(static_cast<uint8_t>(bytes[at]) | static_cast<uint8_t>(bytes[at + 1]) << 8);
}

uint32_t u32(const std::string& bytes, size_t at)
{
    return static_cast<uint32_t>(u16(bytes, at)) | static_cast<uint32_t>(u16(bytes, at + 2)) << 16;
}

uint64_t u64(const std::string& bytes, size_t at)
{
    return static_cast<uint64_t>(u32(bytes, at)) | static_cast<uint64_t>(u32(bytes, at + 4)) << 32;
}

struct Section {
    uint32_t virtualAddress = 0;
    uint32_t virtualSize = 0;
    uint32_t rawOffset = 0;
    uint32_t rawSize = 0;
};

struct Directory {
    uint32_t rva = 0;
    uint32_t size = 0;
};

// A failure on the way, with its reason.
struct Failure {
    std::string reason;
};

class Reader {
public:
    Reader(const ByteSource& source, uint64_t size)
        : m_source(source)
        , m_size(size)
    {
    }

    // Exactly `count` bytes at `offset`, or the failure `what` when the file does not hold them.
    std::string bytes(uint64_t offset, size_t count, const char* what) const
    {
        if (offset > m_size || count > m_size - offset)
            throw Failure { std::string(what) + " outside the file" };
        std::optional<std::string> read = m_source(offset, count);
        if (!read || read->size() != count)
            throw Failure { std::string(what) + " cannot be read" };
        return std::move(*read);
    }
    // Up to `count` bytes at `offset`: fewer at the end of the file.
    std::string bytesUpTo(uint64_t offset, size_t count, const char* what) const
    {
        if (offset >= m_size)
            throw Failure { std::string(what) + " outside the file" };
        return bytes(offset, static_cast<size_t>(std::min<uint64_t>(count, m_size - offset)), what);
    }
    uint64_t size() const { return m_size; }

private:
    const ByteSource& m_source;
    uint64_t m_size;
};

class Image {
public:
    Image(const Reader& reader, std::vector<Section> sections, uint32_t headersSize)
        : m_reader(reader)
        , m_sections(std::move(sections))
        , m_headersSize(headersSize)
    {
    }

    // Where the byte at `rva` lies in the file; a failure when no part of the file holds it.
    uint64_t offsetOf(uint32_t rva, const char* what) const
    {
        if (rva < m_headersSize)
            return rva;
        for (const Section& section : m_sections) {
            const uint32_t span = std::max(section.virtualSize, section.rawSize);
            if (rva >= section.virtualAddress && rva - section.virtualAddress < span) {
                const uint32_t delta = rva - section.virtualAddress;
                if (delta >= section.rawSize) // memory the loader zero-fills: no bytes in the file
                    break;
                return static_cast<uint64_t>(section.rawOffset) + delta;
            }
        }
        throw Failure { std::string(what) + " outside the file" };
    }

    std::string bytesAt(uint32_t rva, size_t count, const char* what) const { return m_reader.bytes(offsetOf(rva, what), count, what); }

    // A DLL's name at `rva`: printable ASCII, one file name (no folder, not "." or ".."), at most
    // kMaxNameLength bytes and ended by a NUL.
    std::string nameAt(uint32_t rva) const
    {
        const std::string text = m_reader.bytesUpTo(offsetOf(rva, "an import name"), kMaxNameLength + 1, "an import name");
        const size_t end = text.find('\0');
        if (end == std::string::npos)
            throw Failure { "an import name has no end" };
        std::string name = text.substr(0, end);
        const bool printable = std::all_of(name.begin(), name.end(), [](char c) { return c > 0x20 && c < 0x7f && c != '/' && c != '\\'; });
        if (name.empty() || name == "." || name == ".." || !printable)
            throw Failure { "an import name is not a file name" };
        return name;
    }

private:
    const Reader& m_reader;
    std::vector<Section> m_sections;
    uint32_t m_headersSize;
};

void addImport(std::vector<PeImport>& imports, std::string name, bool delay)
{
    const bool listed = std::any_of(imports.begin(), imports.end(),
        [&](const PeImport& import) { return import.delay == delay && asciiLower(import.name) == asciiLower(name); });
    if (!listed)
        imports.push_back({ std::move(name), delay });
}

// The import table: 20-byte descriptors up to the one with no name.
void readImports(const Image& image, Directory directory, std::vector<PeImport>& imports)
{
    for (size_t index = 0;; ++index) {
        if (index == kMaxDescriptors)
            throw Failure { "the import table has no end" };
        const std::string descriptor = image.bytesAt(directory.rva + static_cast<uint32_t>(index * 20), 20, "the import table");
        const uint32_t nameRva = u32(descriptor, 12);
        if (nameRva == 0)
            return;
        addImport(imports, image.nameAt(nameRva), false);
    }
}

// The delay-load table: 32-byte descriptors up to the one with no name. Old linkers wrote
// addresses (image base included) where new ones write RVAs; attribute bit 0 tells which.
void readDelayImports(const Image& image, Directory directory, uint64_t imageBase, std::vector<PeImport>& imports)
{
    for (size_t index = 0;; ++index) {
        if (index == kMaxDescriptors)
            throw Failure { "the delay-load import table has no end" };
        const std::string descriptor = image.bytesAt(directory.rva + static_cast<uint32_t>(index * 32), 32, "the delay-load import table");
        const uint32_t attributes = u32(descriptor, 0);
        uint64_t name = u32(descriptor, 4);
        if (name == 0)
            return;
        if ((attributes & 1) == 0) {
            if (name < imageBase || name - imageBase > UINT32_MAX)
                throw Failure { "a delay-load import name outside the file" };
            name -= imageBase;
        }
        addImport(imports, image.nameAt(static_cast<uint32_t>(name)), true);
    }
}

// The CLR header's metadata root and its version string.
std::string readRuntimeVersion(const Image& image, Directory directory)
{
    const std::string header = image.bytesAt(directory.rva, 16, "the CLR header");
    const uint32_t metadata = u32(header, 8);
    const std::string root = image.bytesAt(metadata, 16, "the CLR metadata");
    if (u32(root, 0) != kMetadataSignature)
        throw Failure { "the CLR metadata has no signature" };
    const uint32_t length = u32(root, 12);
    if (length > kMaxVersionLength + 1)
        throw Failure { "the CLR metadata's version is too long" };
    std::string version = image.bytesAt(metadata + 16, length, "the CLR metadata's version");
    version.resize(std::min(version.find('\0'), version.size()));
    if (!std::all_of(version.begin(), version.end(), [](char c) { return c >= 0x20 && c < 0x7f; }))
        throw Failure { "the CLR metadata's version is not text" };
    return version;
}

PeImage read(const Reader& reader)
{
    const std::string dos = reader.bytesUpTo(0, 64, "the DOS header");
    if (dos.size() < 2 || dos[0] != 'M' || dos[1] != 'Z')
        throw Failure { "not a PE file: no MZ signature" };
    if (dos.size() < 64)
        throw Failure { "cut short inside the DOS header" };
    const uint32_t peOffset = u32(dos, 0x3c);
    PeImage image;

    // Wine's own DLLs carry a tag in the DOS stub, after the 64-byte header.
    if (peOffset >= 0x40 + 16 && reader.size() > 0x40) {
        const std::string stub = reader.bytesUpTo(0x40, 32, "the DOS stub");
        for (const char* tag : { "Wine builtin DLL", "Wine placeholder DLL" })
            if (stub.compare(0, std::string::traits_type::length(tag) + 1, std::string(tag) + '\0') == 0)
                image.wineTag = tag;
    }

    const std::string file = reader.bytes(peOffset, 24, "the PE header");
    if (file.compare(0, 4, std::string("PE\0\0", 4)) != 0)
        throw Failure { "not a PE file: no PE signature" };
    image.machineCode = u16(file, 4);
    image.machine = image.machineCode == kMachineX86 ? PeMachine::X86
        : image.machineCode == kMachineX64           ? PeMachine::X64
        : image.machineCode == kMachineArm64         ? PeMachine::Arm64
                                                     : PeMachine::Other;
    const uint16_t sectionCount = u16(file, 6);
    const uint16_t optionalSize = u16(file, 20);
    image.dll = (u16(file, 22) & kFileIsDll) != 0;
    if (sectionCount > kMaxSections)
        throw Failure { "too many sections" };

    const uint64_t optionalOffset = static_cast<uint64_t>(peOffset) + 24;
    const std::string optional = reader.bytes(optionalOffset, optionalSize, "the optional header");
    if (optionalSize < 2)
        throw Failure { "no optional header" };
    const uint16_t magic = u16(optional, 0);
    if (magic != kMagicPe32 && magic != kMagicPe32Plus)
        throw Failure { "an optional header of unknown kind" };
    image.pe32Plus = magic == kMagicPe32Plus;
    const size_t directoriesAt = image.pe32Plus ? 112 : 96;
    if (optionalSize < directoriesAt)
        throw Failure { "cut short inside the optional header" };
    const uint64_t imageBase = image.pe32Plus ? u64(optional, 24) : u32(optional, 28);
    const uint32_t headersSize = u32(optional, 60);
    const uint32_t directoryCount = u32(optional, directoriesAt - 4);
    const auto directory = [&](size_t index) {
        const size_t at = directoriesAt + index * 8;
        if (index >= directoryCount || at + 8 > optionalSize)
            return Directory {};
        return Directory { u32(optional, at), u32(optional, at + 4) };
    };

    const std::string table = reader.bytes(optionalOffset + optionalSize, static_cast<size_t>(sectionCount) * 40, "the section table");
    std::vector<Section> sections;
    for (uint16_t index = 0; index < sectionCount; ++index) {
        const size_t at = static_cast<size_t>(index) * 40;
        sections.push_back({ u32(table, at + 12), u32(table, at + 8), u32(table, at + 20), u32(table, at + 16) });
    }
    // The headers map onto the file's start; no more of them than the file holds.
    const Image mapped(reader, std::move(sections), static_cast<uint32_t>(std::min<uint64_t>(headersSize, reader.size())));

    if (const Directory imports = directory(kImportDirectory); imports.rva != 0)
        readImports(mapped, imports, image.imports);
    if (const Directory delayed = directory(kDelayImportDirectory); delayed.rva != 0)
        readDelayImports(mapped, delayed, imageBase, image.imports);
    if (const Directory clr = directory(kClrDirectory); clr.rva != 0 && clr.size != 0) {
        image.dotnet = true;
        image.runtimeVersion = readRuntimeVersion(mapped, clr);
    }
    return image;
}

} // namespace

PeReading readPeImage(const ByteSource& source, uint64_t fileSize)
{
    try {
        return { read(Reader(source, fileSize)), {} };
    } catch (const Failure& failure) {
        return { std::nullopt, failure.reason };
    }
}

PeReading readPeFile(const std::filesystem::path& path)
{
    const platform::FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat status;
    if (!file || ::fstat(file.get(), &status) != 0)
        return { std::nullopt, "cannot be opened" };
    if (!S_ISREG(status.st_mode))
        return { std::nullopt, "not a file" };
    const ByteSource source = [&file](uint64_t offset, size_t size) -> std::optional<std::string> {
        std::string bytes(size, '\0');
        size_t done = 0;
        while (done < size) {
            const ssize_t read = ::pread(file.get(), bytes.data() + done, size - done, static_cast<off_t>(offset + done));
            if (read < 0 && errno == EINTR)
                continue;
            if (read <= 0)
                return std::nullopt;
            done += static_cast<size_t>(read);
        }
        return bytes;
    };
    return readPeImage(source, static_cast<uint64_t>(status.st_size));
}

const char* machineName(PeMachine machine)
{
    switch (machine) {
    case PeMachine::X86:
        return "x86";
    case PeMachine::X64:
        return "x64";
    case PeMachine::Arm64:
        return "arm64";
    case PeMachine::Other:
        break;
    }
    return "other";
}

} // namespace tvn::wine
