// PakArchive: the reader of the resource pack (dist.pak) that holds the page.
//
// Layout, little-endian: "pak" and one byte nobody reads; N, the index length (32 bits); the
// index, N bytes of JSON; 32 lower-case hex characters, the MD5 of the index followed by the pack
// key; then the data area. The index maps names to entries under "files"; a directory entry has
// "files" of its own, a file entry has "offset" (into the data area), "size" (inflated), "gsize"
// (stored) and "hash" (MD5 of the stored bytes). Stored bytes are one zlib stream.
//
// Nothing here throws or logs: every failure is a status. The file is opened per call and never
// held between calls, so one archive object per request needs no lock.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

namespace tvn {

enum class PakStatus {
    Ok,
    CannotOpen,   // the file cannot be opened or read
    BadMagic,     // the first three bytes are not "pak"
    Truncated,    // the header, index or signature runs past the end of the file
    BadSignature, // the index signature does not match
    BadIndex,     // the index is not JSON (or is JSON null)
    NotOpen,      // open() has not succeeded
    NotFound,     // no entry of that path
    Directory,    // the entry is a directory, which has no content
    BadEntry,     // negative or impossible offset, size or gsize, or stored bytes past the file's end
    BadDigest,    // the stored bytes' MD5 differs from "hash" (exact, lower case)
    BadStream,    // the stored bytes are not one zlib stream that fits in "size" bytes
};

std::string_view describe(PakStatus);

struct PakEntryContent {
    PakStatus status = PakStatus::NotOpen;
    std::string bytes; // exactly "size" bytes when status is Ok

    explicit operator bool() const { return status == PakStatus::Ok; }
};

// A file entry's fields as the reader takes them: signed 32-bit, fractions truncated, missing or
// non-numeric values 0, a missing or non-string hash "".
struct PakEntryFields {
    int32_t offset = 0;
    int32_t size = 0;
    int32_t gsize = 0;
    std::string hash;
};
PakEntryFields entryFields(const nlohmann::json& entry);

class PakArchive {
public:
    // Reads the header, checks the index signature and keeps the parsed index.
    PakStatus open(const std::filesystem::path&);

    // The entry for a path whose names are separated by "/", "\" or "|" (empty names skipped);
    // the root for an empty path; nullptr when there is none. Names compare byte for byte.
    const nlohmann::json* find(std::string_view entryPath) const;

    // The file entry's content: read, digest checked, inflated into exactly "size" bytes (a stream
    // that ends early leaves the rest zero).
    PakEntryContent read(std::string_view entryPath) const;
    PakEntryContent readEntry(const nlohmann::json& entry) const;

    bool isOpen() const { return !m_index.is_null(); }
    const nlohmann::json& index() const { return m_index; }

private:
    std::filesystem::path m_path;
    nlohmann::json m_index;
    int64_t m_dataStart = 0;
};

// Calls `visit(path, entry)` for every file entry under `index`, depth first in name order; the
// path joins names with "/".
void forEachFileEntry(const nlohmann::json& index,
    const std::function<void(const std::string& path, const nlohmann::json& entry)>& visit);

// The signature of an index: MD5 hex of the index text followed by the pack key.
std::string indexSignature(std::string_view indexText);

} // namespace tvn
