// fetchFile: sources in rounds, through the download cache when the digest is known.

#include "net/FetchFile.h"

#include "core/GlobalConfig.h"
#include "core/Log.h"
#include "net/DownloadCache.h"
#include "platform/FileDescriptor.h"

#include <charconv>
#include <fcntl.h>
#include <functional>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>

namespace tvn {

namespace {

constexpr auto kCancelCheck = std::chrono::milliseconds(50);

// Waits `pause` unless a cancel comes first; false on a cancel.
bool pauseUnlessCancelled(std::chrono::milliseconds pause, const DownloadCancelFunction& cancel)
{
    const auto end = std::chrono::steady_clock::now() + pause;
    while (std::chrono::steady_clock::now() < end) {
        if (cancel && cancel())
            return false;
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(kCancelCheck, end - std::chrono::steady_clock::now()));
    }
    return !(cancel && cancel());
}

// Each source in turn, in rounds; `attempt` fetches one source. The first success, else the last
// failure.
int32_t inRounds(const DownloadAddress& address, const DownloadCancelFunction& cancel, const FetchPolicy& policy,
    const std::function<int32_t(const std::string&)>& attempt)
{
    int32_t result = kDownloadError;
    for (int round = 1; round <= policy.rounds; ++round) {
        if (round > 1) {
            const auto pause = policy.pause * (round - 1);
            LOG_INFO << "download round " << round << " of " << policy.rounds << " in " << pause.count() << " ms";
            if (!pauseUnlessCancelled(pause, cancel))
                return kDownloadAborted;
        }
        for (const std::string& source : address.sources()) {
            result = attempt(source);
            if (result == 0 || endsAttempts(result))
                return result;
        }
    }
    return result;
}

// The part of one digest, locked for this transfer: another thread or process fetching the same
// file holds it until that file is in the cache. nullopt on a cancel or when it cannot be opened.
std::optional<platform::FileDescriptor> lockedPart(const std::filesystem::path& path, const DownloadCancelFunction& cancel)
{
    std::error_code error;
    std::filesystem::create_directories(path.parent_path(), error);
    for (;;) {
        platform::FileDescriptor part(::open(path.c_str(), O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC, 0600));
        if (!part) {
            LOG_ERROR << "download part cannot be opened: " << path.string();
            return std::nullopt;
        }
        while (::flock(part.get(), LOCK_EX | LOCK_NB) != 0) {
            if ((errno != EWOULDBLOCK && errno != EINTR) || (cancel && cancel()))
                return std::nullopt;
            std::this_thread::sleep_for(kCancelCheck);
        }
        // The holder before may have moved the part into the cache: locked, it must still be the part.
        struct stat held {}, named {};
        if (::fstat(part.get(), &held) == 0 && ::stat(path.c_str(), &named) == 0 && held.st_ino == named.st_ino && held.st_dev == named.st_dev)
            return part;
    }
}

} // namespace

FetchPolicy configuredFetchPolicy()
{
    FetchPolicy policy;
    const std::string text = GlobalConfig::instance().get("download", "retryPause", "");
    int milliseconds = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), milliseconds);
    if (!text.empty() && error == std::errc() && end == text.data() + text.size() && milliseconds >= 0 && milliseconds <= 600000)
        policy.pause = std::chrono::milliseconds(milliseconds);
    return policy;
}

bool endsAttempts(int32_t code)
{
    return code == kDownloadAborted || code == kDownloadCannotWrite || code == kDownloadNoFolder;
}

FetchResult fetchFile(const DownloadAddress& address, const std::filesystem::path& destination, const DownloadProgressFunction& progress,
    const DownloadCancelFunction& cancel, const DownloadCache& cache, const FetchPolicy& policy)
{
    const DownloadLimits limits { address.size };
    // Straight into place, each attempt from the start: without a digest, or without a cache.
    const auto direct = [&] {
        return FetchResult { inRounds(address, cancel, policy, [&](const std::string& source) {
            return fetchUrlToFile(progress, cancel, source, destination, address.sha256, limits);
        }) };
    };
    if (address.sha256.empty() || !cache.usable())
        return direct();

    std::error_code error;
    const std::filesystem::path folder = destination.parent_path();
    if (!folder.empty() && !std::filesystem::exists(folder, error) && !std::filesystem::create_directories(folder, error)) {
        LOG_ERROR << "download folder cannot be created: " << folder.string();
        return { kDownloadNoFolder };
    }
    const auto fromCache = [&]() -> std::optional<FetchResult> {
        switch (cache.copyTo(address.sha256, destination)) {
        case DownloadCache::Copy::Done:
            if (progress)
                progress(address.size, address.size);
            return FetchResult { 0, true };
        case DownloadCache::Copy::CannotWrite:
            return FetchResult { kDownloadCannotWrite };
        case DownloadCache::Copy::NotCached:
            break;
        }
        return std::nullopt;
    };
    if (const std::optional<FetchResult> cached = fromCache())
        return *cached;

    const std::filesystem::path partPath = cache.partialPath(address.sha256);
    const std::optional<platform::FileDescriptor> part = lockedPart(partPath, cancel);
    if (!part && cancel && cancel())
        return { kDownloadAborted };
    if (!part)
        return direct(); // a cache that cannot be written costs the resume, not the file
    // Whoever held the part before may have put the file in the cache meanwhile.
    if (const std::optional<FetchResult> cached = fromCache())
        return *cached;

    const PartialFile partial { part->get(), partPath.string() + ".validator" };
    const int32_t result = inRounds(address, cancel, policy, [&](const std::string& source) {
        return fetchUrlResuming(progress, cancel, source, partial, address.sha256, limits);
    });
    if (result != 0)
        return { result };
    // Verified as it arrived: kept by its digest, then copied without a second reading.
    if (!cache.adopt(address.sha256, partPath))
        return { kDownloadCannotWrite };
    const DownloadCache::Copy copied = cache.copyTo(address.sha256, destination, DownloadCache::Check::Known);
    cache.trim(address.sha256);
    return { copied == DownloadCache::Copy::Done ? 0 : kDownloadCannotWrite };
}

} // namespace tvn
