// The "http" module: download({url, path, progress}) fetches a URL into a file on a thread of its
// own and answers at once with a DownloadThread, whose cancel() stops the transfer at its next
// progress report and silences every later event. Events go to "progress" on the script thread, in
// order: {complete: false, error: 0, current: 0, total: 100} first, then the progress as bytes
// arrive (current and total as their low 32 bits), then {complete: true, error, current: 0,
// total: 0}.
#pragma once

#include "modules/ModuleBase.h"
#include "modules/ScriptCallback.h"
#include "net/DownloadApi.h"
#include "net/FetchFile.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace tvn {

class ModuleHttp final : public ModuleBase {
public:
    ScriptValue CreateObject(JSCContext*) override;
};

class DownloadThread final : public ModuleBase {
public:
    // Starts the download of `url` into `path` (checked against `sha256` when that is not empty);
    // `progress` may be empty. The thread belongs to `owner`'s page (a page that goes cancels it).
    // Script thread.
    static std::shared_ptr<DownloadThread> start(const ModuleBase& owner, std::string url, std::string path, ScriptValue progress, std::string sha256 = {},
        uint64_t maxBytes = 0);

    // A file for the Downloads panel: its address asked on the download's thread (a server may take
    // its time; the page's thread never waits for it), then fetched as the repair engine fetches
    // (fetchFile: sources in rounds, the download cache). No address: the last event's error is
    // kDownloadNoAddress; a file from the cache: the last event has `cached: true`.
    using AddressQuestion = std::function<std::optional<DownloadAddress>()>;
    static std::shared_ptr<DownloadThread> startAsking(const ModuleBase& owner, AddressQuestion, std::string path, ScriptValue progress);

    ScriptValue CreateObject(JSCContext*) override;

private:
    using Fetch = std::function<FetchResult(const DownloadAddress&, const std::string& path, const DownloadProgressFunction&,
        const DownloadCancelFunction&)>;
    static std::shared_ptr<DownloadThread> run(const ModuleBase& owner, AddressQuestion, Fetch, std::string path, ScriptValue progress);

    std::shared_ptr<std::atomic<bool>> m_cancelled = std::make_shared<std::atomic<bool>>(false);
};

} // namespace tvn
