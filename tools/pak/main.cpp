// tvn-pak: makes, lists and verifies resource packs.
//
//     tvn-pak pack FOLDER OUT.pak   pack every file below FOLDER
//     tvn-pak list PACK             one line per file entry: path, size, stored size
//     tvn-pak verify PACK           check the signature and every entry; exit 1 at the first fault

#include "pak/PakArchive.h"
#include "platform/AtomicFile.h"
#include "tools/pak/PakWriter.h"

#include <cstdio>
#include <exception>
#include <string>

namespace {

int usage()
{
    std::fputs("usage: tvn-pak pack FOLDER OUT.pak\n"
               "       tvn-pak list PACK\n"
               "       tvn-pak verify PACK\n",
        stderr);
    return 2;
}

int pack(const char* folder, const char* output)
{
    const std::string bytes = tvn::pak::buildPak(tvn::pak::collectFolder(folder));
    if (const std::error_code error = tvn::platform::writeFileAtomically(output, bytes)) {
        std::fprintf(stderr, "tvn-pak: cannot write %s: %s\n", output, error.message().c_str());
        return 1;
    }
    return 0;
}

bool openPack(tvn::PakArchive& archive, const char* path)
{
    const tvn::PakStatus status = archive.open(path);
    if (status != tvn::PakStatus::Ok)
        std::fprintf(stderr, "tvn-pak: %s: %s\n", path, std::string(tvn::describe(status)).c_str());
    return status == tvn::PakStatus::Ok;
}

int list(const char* path)
{
    tvn::PakArchive archive;
    if (!openPack(archive, path))
        return 1;
    tvn::forEachFileEntry(archive.index(), [](const std::string& name, const nlohmann::json& entry) {
        const tvn::PakEntryFields fields = tvn::entryFields(entry);
        std::printf("%s %d %d\n", name.c_str(), fields.size, fields.gsize);
    });
    return 0;
}

int verify(const char* path)
{
    tvn::PakArchive archive;
    if (!openPack(archive, path))
        return 1;
    std::string fault;
    size_t count = 0;
    tvn::forEachFileEntry(archive.index(), [&](const std::string& name, const nlohmann::json& entry) {
        if (!fault.empty())
            return;
        if (const tvn::PakEntryContent content = archive.readEntry(entry); !content)
            fault = name + ": " + std::string(tvn::describe(content.status));
        ++count;
    });
    if (!fault.empty()) {
        std::fprintf(stderr, "tvn-pak: %s: %s\n", path, fault.c_str());
        return 1;
    }
    std::printf("%s: %zu entries ok\n", path, count);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    const std::string command = argc > 1 ? argv[1] : "";
    try {
        if (command == "pack" && argc == 4)
            return pack(argv[2], argv[3]);
        if (command == "list" && argc == 3)
            return list(argv[2]);
        if (command == "verify" && argc == 3)
            return verify(argv[2]);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "tvn-pak: %s\n", error.what());
        return 1;
    }
    return usage();
}
