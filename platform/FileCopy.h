// Copying with progress (the page's copyAsync): GIO's file copy, on the calling thread. A folder is
// copied with everything in it. Each file is copied beside its target and renamed over it once
// complete, so a failed copy leaves no partial file and an existing one as it was.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <stop_token>
#include <string>
#include <string_view>

namespace tvn::platform {

// Where a copy goes. A "to" that ends in "/" or "\" (or is a root) is a folder, created when
// missing, that receives the source under its own name; any other "to" names the copy, and its
// folder must exist.
struct CopyDestination {
    std::filesystem::path folder;
    std::string name;
    bool createFolder = false;
    bool operator==(const CopyDestination&) const = default;
};
CopyDestination copyDestination(std::string_view from, std::string_view to);

// Bytes done and bytes in all, as the copy goes.
using CopyProgress = std::function<void(int64_t current, int64_t total)>;

// True when everything was copied. A stop ends the copy of the file under way (it is removed) and
// copies nothing more.
bool copyWithProgress(const std::string& from, const std::string& to, const CopyProgress& progress, std::stop_token stop = {});

} // namespace tvn::platform
