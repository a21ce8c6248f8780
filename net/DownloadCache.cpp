// The download cache's folder: copies out with a fresh check of the digest, adoption of verified
// files, and trimming to the bound.

#include "net/DownloadCache.h"

#include "core/GlobalConfig.h"
#include "core/Log.h"
#include "platform/AtomicFile.h"
#include "platform/Environment.h"
#include "platform/FileDescriptor.h"
#include "util/Sha256.h"

#include <algorithm>
#include <charconv>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <thread>

namespace tvn {

namespace {

constexpr uint64_t kMiB = 1024 * 1024;

int64_t nanoseconds(const struct timespec& time)
{
    return static_cast<int64_t>(time.tv_sec) * 1000000000 + time.tv_nsec;
}

} // namespace

uint64_t cacheLimitFromText(std::string_view text)
{
    uint64_t mebibytes = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), mebibytes);
    if (error != std::errc() || end != text.data() + text.size() || mebibytes == 0 || mebibytes > UINT64_MAX / kMiB)
        mebibytes = 2048;
    return mebibytes * kMiB;
}

std::vector<std::string> entriesToEvict(std::vector<CacheEntry> entries, uint64_t limitBytes, std::string_view keep)
{
    uint64_t total = 0;
    for (const CacheEntry& entry : entries)
        total += entry.size;
    // Oldest first, the kept one last whatever its time.
    std::sort(entries.begin(), entries.end(), [keep](const CacheEntry& a, const CacheEntry& b) {
        if ((a.name == keep) != (b.name == keep))
            return b.name == keep;
        return a.lastUse != b.lastUse ? a.lastUse < b.lastUse : a.name < b.name;
    });
    std::vector<std::string> evicted;
    for (const CacheEntry& entry : entries) {
        if (total <= limitBytes)
            break;
        evicted.push_back(entry.name);
        total -= entry.size;
    }
    return evicted;
}

DownloadCache::DownloadCache(std::filesystem::path folder, uint64_t limitBytes)
    : m_folder(std::move(folder))
    , m_limitBytes(limitBytes)
{
}

DownloadCache DownloadCache::user()
{
    const std::filesystem::path base = platform::userCacheFolder();
    return DownloadCache(base.empty() ? base : base / "tvn" / "files", cacheLimitFromText(GlobalConfig::instance().get("cache", "size", "")));
}

std::filesystem::path DownloadCache::entryPath(std::string_view sha256) const
{
    return m_folder / sha256;
}

std::filesystem::path DownloadCache::partialPath(std::string_view sha256) const
{
    return m_folder / "partial" / sha256;
}

DownloadCache::Copy DownloadCache::copyTo(std::string_view sha256, const std::filesystem::path& destination, Check check) const
{
    if (!usable())
        return Copy::NotCached;
    const std::filesystem::path entry = entryPath(sha256);
    const platform::FileDescriptor source(::open(entry.c_str(), O_RDONLY | O_CLOEXEC));
    if (!source)
        return Copy::NotCached;

    // The entry is checked while it is copied: the kernel copies, this thread reads it for the digest.
    std::optional<std::string> digest(sha256);
    std::thread checking;
    if (check == Check::Digest)
        checking = std::thread([&digest, &entry] { digest = sha256OfFile(entry); });
    platform::AtomicFileWriter writer;
    std::error_code error = writer.open(destination);
    if (!error)
        error = writer.copyFrom(source.get());
    if (checking.joinable())
        checking.join();
    if (digest != sha256) {
        LOG_ERROR << "download cache entry dropped, its digest changed: " << entry.string();
        std::error_code ignored;
        std::filesystem::remove(entry, ignored);
        return Copy::NotCached; // the writer removes its temporary file
    }
    if (!error)
        error = writer.commit();
    if (error) {
        LOG_ERROR << "download cache cannot copy to " << destination.string() << ", " << error.message();
        return Copy::CannotWrite;
    }
    ::utimensat(AT_FDCWD, entry.c_str(), nullptr, 0); // used now: the last to go
    LOG_INFO << "download from cache: " << sha256 << " -> " << destination.string();
    return Copy::Done;
}

bool DownloadCache::adopt(std::string_view sha256, const std::filesystem::path& verified) const
{
    std::error_code error;
    std::filesystem::create_directories(m_folder, error);
    std::filesystem::rename(verified, entryPath(sha256), error);
    if (error) {
        LOG_ERROR << "download cache cannot keep " << verified.string() << ", " << error.message();
        return false;
    }
    ::utimensat(AT_FDCWD, entryPath(sha256).c_str(), nullptr, 0);
    return true;
}

void DownloadCache::trim(std::string_view keep) const
{
    std::vector<CacheEntry> entries;
    std::error_code error;
    for (std::filesystem::directory_iterator it(m_folder, error), end; !error && it != end; it.increment(error)) {
        struct stat status {};
        if (::lstat(it->path().c_str(), &status) == 0 && S_ISREG(status.st_mode))
            entries.push_back({ it->path().filename().string(), static_cast<uint64_t>(status.st_size), nanoseconds(status.st_mtim) });
    }
    for (const std::string& name : entriesToEvict(std::move(entries), m_limitBytes, keep)) {
        LOG_INFO << "download cache entry evicted: " << name;
        std::filesystem::remove(m_folder / name, error);
    }
}

} // namespace tvn
