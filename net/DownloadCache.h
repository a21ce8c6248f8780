// DownloadCache: files whose SHA-256 is known, kept by that digest once verified, so that the same
// file repaired into a second prefix (or downloaded again) is copied, not fetched; and the kept part
// of a transfer that was cut, so that the next attempt asks only for the rest.
//
//     <folder>/<sha256>           a verified file; its modification time is its last use
//     <folder>/partial/<sha256>   what has arrived of it so far
//     <folder>/partial/<sha256>.validator   the server's ETag or Last-Modified for that part
//
// An entry is verified again each time it is used, and dropped when it no longer has its digest.
// The folder is bounded: after each new entry the least recently used go until the entries fit.
// Touches only its own folder.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace tvn {

class DownloadCache {
public:
    DownloadCache(std::filesystem::path folder, uint64_t limitBytes);
    // The user's: $XDG_CACHE_HOME/tvn/files (else ~/.cache/tvn/files), bounded by config.ini's
    // [cache] size in MiB (default 2048). An empty folder when there is no home to put it in.
    static DownloadCache user();

    const std::filesystem::path& folder() const { return m_folder; }
    uint64_t limitBytes() const { return m_limitBytes; }
    bool usable() const { return !m_folder.empty(); }

    std::filesystem::path entryPath(std::string_view sha256) const;
    std::filesystem::path partialPath(std::string_view sha256) const;

    enum class Copy { Done, NotCached, CannotWrite };
    enum class Check { Digest, Known };
    // The entry of that digest copied into `destination` (replacing it atomically), when there is
    // one that still has its digest (checked unless the caller has just verified it); an entry
    // that does not is removed (NotCached). A copy marks the entry used.
    Copy copyTo(std::string_view sha256, const std::filesystem::path& destination, Check = Check::Digest) const;

    // A verified file (a finished partial) becomes the entry of its digest. False when it cannot be
    // moved in.
    bool adopt(std::string_view sha256, const std::filesystem::path& verified) const;

    // Removes entries, least recently used first, until they fit the bound; `keep`'s entry is
    // removed only when it alone is larger than the bound.
    void trim(std::string_view keep = {}) const;

private:
    std::filesystem::path m_folder;
    uint64_t m_limitBytes;
};

// One entry as the trimming sees it.
struct CacheEntry {
    std::string name;
    uint64_t size = 0;
    int64_t lastUse = 0; // nanoseconds since the epoch
};

// The entries to remove, in order, so that what remains is at most `limitBytes`: the least
// recently used first (by name when two were used at once), `keep` only when it alone is too large.
std::vector<std::string> entriesToEvict(std::vector<CacheEntry> entries, uint64_t limitBytes, std::string_view keep);

// The bound [cache] size names: whole MiB above 0, else the default 2048 MiB.
uint64_t cacheLimitFromText(std::string_view mebibytes);

} // namespace tvn
