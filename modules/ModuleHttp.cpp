// The http module and its download threads.

#include "modules/ModuleHttp.h"

#include "core/PagePaths.h"
#include "net/Download.h"
#include "net/DownloadCache.h"
#include "net/FetchFile.h"

#include <stop_token>

namespace tvn {

namespace {

// Posts the page's progress events; none once the download has been cancelled (tested when the
// event is posted and again when it runs).
class ProgressEvents {
public:
    ProgressEvents(ScriptCallback callback, std::shared_ptr<std::atomic<bool>> cancelled)
        : m_callback(std::move(callback))
        , m_cancelled(std::move(cancelled))
    {
    }

    // `cached`: the completing event of a file copied from the download cache.
    void post(bool complete, uint32_t error, uint64_t current, uint64_t total, bool cached = false)
    {
        if (*m_cancelled)
            return;
        m_callback.post([cancelled = m_cancelled, complete, error, current = static_cast<int32_t>(current & 0xFFFFFFFFu),
                            total = static_cast<int32_t>(total & 0xFFFFFFFFu), cached](const ScriptCallback::Target& target) {
            if (*cancelled)
                return;
            JSCContext* context = target.context();
            std::vector<std::pair<std::string, ScriptValue>> members = {
                { "complete", ScriptValue::adopt(jsc_value_new_boolean(context, complete)) },
                { "error", ScriptValue::adopt(jsc_value_new_number(context, error)) },
                { "current", ScriptValue::adopt(jsc_value_new_number(context, current)) },
                { "total", ScriptValue::adopt(jsc_value_new_number(context, total)) },
            };
            if (cached)
                members.emplace_back("cached", ScriptValue::adopt(jsc_value_new_boolean(context, true)));
            const ScriptValue event = MakeObject(context, members);
            target.call({ event.get() });
        });
    }

private:
    ScriptCallback m_callback;
    std::shared_ptr<std::atomic<bool>> m_cancelled;
};

} // namespace

std::shared_ptr<DownloadThread> DownloadThread::start(const ModuleBase& owner, std::string url, std::string path, ScriptValue progress, std::string sha256,
    uint64_t maxBytes)
{
    // One transfer of the one address, as the page asked.
    const Fetch once = [](const DownloadAddress& address, const std::string& path, const DownloadProgressFunction& progress,
                           const DownloadCancelFunction& cancel) {
        return FetchResult { fetchUrlToFile(progress, cancel, address.url, path, address.sha256, DownloadLimits { address.size }) };
    };
    return run(owner, [address = DownloadAddress { std::move(url), std::move(sha256), maxBytes, {} }] { return std::optional(address); }, once,
        std::move(path), std::move(progress));
}

std::shared_ptr<DownloadThread> DownloadThread::startAsking(const ModuleBase& owner, AddressQuestion question, std::string path, ScriptValue progress)
{
    const Fetch throughCache = [](const DownloadAddress& address, const std::string& path, const DownloadProgressFunction& progress,
                                   const DownloadCancelFunction& cancel) {
        return fetchFile(address, path, progress, cancel, DownloadCache::user(), configuredFetchPolicy());
    };
    return run(owner, std::move(question), throughCache, std::move(path), std::move(progress));
}

std::shared_ptr<DownloadThread> DownloadThread::run(const ModuleBase& owner, AddressQuestion question, Fetch fetch, std::string path, ScriptValue progress)
{
    auto download = std::make_shared<DownloadThread>();
    download->setIds(owner.browserId(), owner.frameId());
    // A "progress" that is not a function is held as nothing: calling it would do nothing.
    ScriptCallback callback(jsc_value_is_function(progress.get()) ? std::move(progress) : ScriptValue());
    // A stop (the page went) cancels the download as cancel() does: the transfer ends at its next
    // progress report and no more events are posted.
    download->startPageThread([question = std::move(question), fetch = std::move(fetch), path = std::move(path),
                                  events = ProgressEvents(std::move(callback), download->m_cancelled), cancelled = download->m_cancelled](std::stop_token stop) mutable {
        const std::stop_callback cancelOnStop(stop, [&cancelled] { *cancelled = true; });
        events.post(false, 0, 0, 100);
        const std::optional<DownloadAddress> address = question();
        if (!address) {
            events.post(true, static_cast<uint32_t>(kDownloadNoAddress), 0, 0);
            return;
        }
        uint64_t lastCurrent = 0, lastTotal = 0;
        const FetchResult result = fetch(*address, path,
            [&](uint64_t current, uint64_t total) {
                // Reports that tell nothing new are dropped; every change of the count is posted.
                if (current == lastCurrent && total == lastTotal)
                    return;
                lastCurrent = current;
                lastTotal = total;
                events.post(false, 0, current, total);
            },
            [&cancelled] { return cancelled->load(); });
        events.post(true, static_cast<uint32_t>(result.code), 0, 0, result.fromCache);
    });
    return download;
}

ScriptValue DownloadThread::CreateObject(JSCContext* context)
{
    ScriptValue object = ModuleBase::CreateObject(context);
    RegisterMethod("cancel", [this](MethodCall& call) {
        *m_cancelled = true;
        call.result = ScriptValue::adopt(jsc_value_new_null(call.context));
        return true;
    });
    return object;
}

ScriptValue ModuleHttp::CreateObject(JSCContext* context)
{
    ScriptValue object = ModuleBase::CreateObject(context);
    RegisterMethod("download", [this](MethodCall& call) {
        JSCValue* options = call.requiredOptionsObject();
        if (!options)
            return true;
        ScriptValue progress = ScriptValue::adopt(jsc_value_object_get_property(options, "progress"));
        const std::shared_ptr<DownloadThread> download = DownloadThread::start(*this, GetStringOption(options, "url").value_or(""),
            pagePath(GetStringOption(options, "path").value_or("")).string(), std::move(progress));
        call.result = download->createScriptObject(call.context);
        return true;
    });
    return object;
}

} // namespace tvn
