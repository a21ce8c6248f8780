// fetchFile: one file from its download address, the way the repair engine and the Downloads panel
// fetch it. Its sources (the url, then the mirrors) are tried in turn, in up to three rounds with a
// growing pause between them. A file whose digest is known comes from the download cache when the
// cache has it (no request at all); else it is downloaded into the cache, resuming whatever a cut
// attempt kept, and copied from there (straight into place when the cache cannot be written). The
// destination is replaced atomically, and only by a file with the digest.
#pragma once

#include "net/Download.h"
#include "net/DownloadApi.h"

#include <chrono>
#include <cstdint>
#include <filesystem>

namespace tvn {

class DownloadCache;

struct FetchPolicy {
    int rounds = 3;                          // of every source in turn
    std::chrono::milliseconds pause { 1000 }; // before the second round; twice that before the third
};

struct FetchResult {
    int32_t code = 0;       // fetchUrlToFile's codes
    bool fromCache = false; // copied from the cache, not fetched
};

// The policy with config.ini's [download] retryPause (milliseconds before the second round).
FetchPolicy configuredFetchPolicy();

// Whether a failure ends the attempts at once: a cancel, or a destination that cannot be written.
bool endsAttempts(int32_t code);

// The address's trusted sources are the caller's business: every one given is tried.
FetchResult fetchFile(const DownloadAddress&, const std::filesystem::path& destination, const DownloadProgressFunction& progress,
    const DownloadCancelFunction& cancel, const DownloadCache&, const FetchPolicy& = {});

} // namespace tvn
