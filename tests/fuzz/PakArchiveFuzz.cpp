// libFuzzer target: the pack reader's open, find and read on arbitrary bytes.
//
// A random mutation almost never carries a valid index signature, which would leave everything
// past the signature check unexplored. So when bit 0 of the fourth byte (which the reader ignores)
// is set and the header's index length fits, the harness writes the correct signature before
// handing the bytes over; the index and the data area are then whatever the fuzzer made.

#include "pak/PakArchive.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>

namespace {

// One scratch file per fuzzing process, removed when it exits.
struct ScratchFile {
    std::string path = "/tmp/tvn-pak-fuzz-" + std::to_string(getpid()) + ".pak";
    ~ScratchFile() { unlink(path.c_str()); }
};

const std::string& packPath()
{
    static const ScratchFile file;
    return file.path;
}

std::string resigned(std::string bytes)
{
    if (bytes.size() < 8 || !(static_cast<unsigned char>(bytes[3]) & 1))
        return bytes;
    const uint64_t length = uint64_t(uint8_t(bytes[4])) | uint64_t(uint8_t(bytes[5])) << 8
        | uint64_t(uint8_t(bytes[6])) << 16 | uint64_t(uint8_t(bytes[7])) << 24;
    if (8 + length + 32 > bytes.size())
        return bytes;
    const std::string signature = tvn::indexSignature(std::string_view(bytes).substr(8, length));
    bytes.replace(8 + length, 32, signature);
    return bytes;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string bytes = resigned(std::string(reinterpret_cast<const char*>(data), size));
    FILE* file = std::fopen(packPath().c_str(), "wb");
    if (!file)
        return 0;
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);

    tvn::PakArchive archive;
    if (archive.open(packPath()) != tvn::PakStatus::Ok)
        return 0;
    for (const char* path : { "", "index.html", "/a/b", "a|b\\c", "files" })
        archive.read(path);
    size_t visited = 0;
    tvn::forEachFileEntry(archive.index(), [&](const std::string& path, const nlohmann::json& entry) {
        if (++visited > 64)
            return;
        archive.readEntry(entry);
        archive.find(path);
    });
    return 0;
}
