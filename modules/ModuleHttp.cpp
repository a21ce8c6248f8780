// The http module and its download threads.

#include "modules/ModuleHttp.h"

#include "core/PagePaths.h"
#include "net/Download.h"

#include <thread>

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

    void post(bool complete, uint32_t error, uint64_t current, uint64_t total)
    {
        if (*m_cancelled)
            return;
        m_callback.post([cancelled = m_cancelled, complete, error, current = static_cast<int32_t>(current & 0xFFFFFFFFu),
                            total = static_cast<int32_t>(total & 0xFFFFFFFFu)](const ScriptCallback::Target& target) {
            if (*cancelled)
                return;
            JSCContext* context = target.context();
            const ScriptValue event = MakeObject(context, {
                { "complete", ScriptValue::adopt(jsc_value_new_boolean(context, complete)) },
                { "error", ScriptValue::adopt(jsc_value_new_number(context, error)) },
                { "current", ScriptValue::adopt(jsc_value_new_number(context, current)) },
                { "total", ScriptValue::adopt(jsc_value_new_number(context, total)) },
            });
            target.call({ event.get() });
        });
    }

private:
    ScriptCallback m_callback;
    std::shared_ptr<std::atomic<bool>> m_cancelled;
};

} // namespace

std::shared_ptr<DownloadThread> DownloadThread::start(std::string url, std::string path, ScriptValue progress, std::string sha256,
    uint64_t maxBytes)
{
    return startAsking([address = DownloadAddress { std::move(url), std::move(sha256), maxBytes }] { return std::optional(address); }, std::move(path),
        std::move(progress));
}

std::shared_ptr<DownloadThread> DownloadThread::startAsking(AddressQuestion question, std::string path, ScriptValue progress)
{
    auto download = std::make_shared<DownloadThread>();
    // A "progress" that is not a function is held as nothing: calling it would do nothing.
    ScriptCallback callback(jsc_value_is_function(progress.get()) ? std::move(progress) : ScriptValue());
    std::thread([question = std::move(question), path = std::move(path), events = ProgressEvents(std::move(callback), download->m_cancelled),
                    cancelled = download->m_cancelled]() mutable {
        events.post(false, 0, 0, 100);
        const std::optional<DownloadAddress> address = question();
        if (!address) {
            events.post(true, static_cast<uint32_t>(kDownloadNoAddress), 0, 0);
            return;
        }
        uint64_t lastCurrent = 0, lastTotal = 0;
        const int32_t result = fetchUrlToFile(
            [&](uint64_t current, uint64_t total) {
                // Reports that tell nothing new are dropped; every change of the count is posted.
                if (current == lastCurrent && total == lastTotal)
                    return;
                lastCurrent = current;
                lastTotal = total;
                events.post(false, 0, current, total);
            },
            [&cancelled] { return cancelled->load(); }, address->url, path, address->sha256, DownloadLimits { address->size });
        events.post(true, static_cast<uint32_t>(result), 0, 0);
    }).detach();
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
    RegisterMethod("download", [](MethodCall& call) {
        JSCValue* options = call.requiredOptionsObject();
        if (!options)
            return true;
        ScriptValue progress = ScriptValue::adopt(jsc_value_object_get_property(options, "progress"));
        const std::shared_ptr<DownloadThread> download = DownloadThread::start(GetStringOption(options, "url").value_or(""),
            pagePath(GetStringOption(options, "path").value_or("")).string(), std::move(progress));
        call.result = download->createScriptObject(call.context);
        return true;
    });
    return object;
}

} // namespace tvn
