// A zip archive as the page's zip module sees it: opened in a mode ('r' read, 'w' create, 'a' and
// 'd' an existing archive to modify), listed entry by entry in central-directory order. Built on
// minizip; the one field it does not give (the local header's offset) is read from the entry's
// central-directory record, zip64 included. No script values here.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tvn {

struct ZipEntry {
    int64_t index = 0;
    std::string name; // as stored
    uint64_t size = 0;
    uint64_t compressedSize = 0;
    bool isDirectory = false; // the name ends in "/" or "\"
    uint32_t crc32 = 0;
    uint64_t directoryOffset = 0; // the entry's central-directory record
    uint64_t headerOffset = 0;    // the entry's local header
};

// The local header's offset in one central-directory record (its 46 fixed bytes and the name and
// extra fields after them): the 32-bit field, or the zip64 extra field's value when that field is
// 0xFFFFFFFF. nullopt when the record is not one or is cut short.
std::optional<uint64_t> localHeaderOffset(std::string_view record);

inline constexpr size_t kMaxZipEntries = 100000;

class ZipArchive {
    struct Token { explicit Token() = default; }; // only open() makes archives

public:
    explicit ZipArchive(Token);

    // nullptr when the archive cannot be opened in that mode: a missing or broken archive for
    // 'r', 'a' and 'd'; an unknown mode; a level whose low four bits exceed 10 (a negative level is
    // the default, 6).
    static std::unique_ptr<ZipArchive> open(const std::filesystem::path&, char mode, int level);
    // An archive created for writing is finalised (a valid archive of what was written).
    ~ZipArchive();
    ZipArchive(const ZipArchive&) = delete;
    ZipArchive& operator=(const ZipArchive&) = delete;

    // The entries in order, at most kMaxZipEntries of them (a dropped archive may claim millions);
    // an archive being written lists what it holds so far (nothing here). Any thread: one listing
    // at a time.
    std::vector<ZipEntry> entries() const;

private:
    struct Reader;

    std::unique_ptr<Reader> m_reader;
    void* m_writer = nullptr; // zipFile
};

// The entries of the archive at `path`, as ZipArchive lists them; nullopt when it is no archive.
std::optional<std::vector<ZipEntry>> listZipArchive(const std::filesystem::path& path);

} // namespace tvn
