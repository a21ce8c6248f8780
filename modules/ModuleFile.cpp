// The file module.

#include "modules/ModuleFile.h"

#include "core/PagePaths.h"
#include "modules/ScriptCallback.h"
#include "platform/FileCopy.h"
#include "platform/FileOperations.h"
#include "util/JsonText.h"

#include <filesystem>
#include <mutex>

namespace tvn {

namespace {

ScriptValue boolValue(JSCContext* context, bool value)
{
    return ScriptValue::adopt(jsc_value_new_boolean(context, value));
}

ScriptValue intValue(JSCContext* context, int value)
{
    return ScriptValue::adopt(jsc_value_new_number(context, value));
}

// A method of one path argument: the path, or "Invalid arguments".
std::optional<std::filesystem::path> pathArgument(MethodCall& call)
{
    const std::optional<std::string> path = call.requiredString();
    return path ? std::optional(pagePath(*path)) : std::nullopt;
}

MethodHandler pathQuery(bool (*query)(const std::filesystem::path&))
{
    return [query](MethodCall& call) {
        if (const std::optional<std::filesystem::path> path = pathArgument(call))
            call.result = boolValue(call.context, query(*path));
        return true;
    };
}

void postProgress(ScriptCallback& callback, bool complete, int64_t current, int64_t total)
{
    callback.post([complete, current = static_cast<int32_t>(current), total = static_cast<int32_t>(total)](const ScriptCallback::Target& target) {
        JSCContext* context = target.context();
        const ScriptValue progress = MakeObject(context, { { "complete", boolValue(context, complete) }, { "current", intValue(context, current) },
                                                             { "total", intValue(context, total) } });
        target.call({ progress.get() });
    });
}

// Entries found by a listing thread, handed to the script thread in batches: one task drains
// whatever has gathered, so a large folder costs one posted task per batch rather than per entry.
struct ListingQueue {
    struct Entry {
        bool directory;
        std::string path;
        bool last;
    };
    std::mutex mutex;
    std::vector<Entry> entries;
    bool drainPosted = false;

    void add(Entry entry, ScriptCallback& callback, const std::shared_ptr<ListingQueue>& self)
    {
        std::lock_guard lock(mutex);
        entries.push_back(std::move(entry));
        if (drainPosted)
            return;
        drainPosted = true;
        callback.post([self](const ScriptCallback::Target& target) { self->drain(target); });
    }

    // One call into script per batch: the paths travel as one string (NUL never occurs in a path)
    // and a small loop in script makes the page's calls, each on its own (an exception in one is
    // dropped and the next goes on). Kinds: "f" file, "d" folder, "e" the end.
    void drain(const ScriptCallback::Target& target)
    {
        std::vector<Entry> batch;
        {
            std::lock_guard lock(mutex);
            batch.swap(entries);
            drainPosted = false;
        }
        std::string paths, kinds;
        for (const Entry& entry : batch) {
            if (!kinds.empty())
                paths += '\0';
            paths += entry.path;
            kinds += entry.last ? 'e' : entry.directory ? 'd' : 'f';
        }
        JSCContext* context = target.context();
        const GUnique<GBytes> pathBytes(g_bytes_new(paths.data(), paths.size()));
        const ScriptValue pathText = ScriptValue::adopt(jsc_value_new_string_from_bytes(context, pathBytes.get()));
        const ScriptValue kindText = ScriptValue::adopt(jsc_value_new_string(context, kinds.c_str()));
        const ScriptValue loop = ScriptValue::adopt(jsc_context_evaluate(context,
            "(function (callback, paths, kinds) {"
            " var list = paths.split('\\0');"
            " for (var i = 0; i < kinds.length; ++i) {"
            "  var kind = kinds[i];"
            "  try { callback(kind === 'e', kind === 'd', kind === 'e' ? '' : list[i]); } catch (e) { }"
            " } })",
            -1));
        const ScriptValue ignored = ScriptValue::adopt(jsc_value_function_call(loop.get(), JSC_TYPE_VALUE, target.function.get(), JSC_TYPE_VALUE,
            pathText.get(), JSC_TYPE_VALUE, kindText.get(), G_TYPE_NONE));
        jsc_context_clear_exception(context);
    }
};

template<typename Iterator>
void walk(const std::filesystem::path& folder, ScriptCallback& callback, const std::shared_ptr<ListingQueue>& queue, const std::stop_token& stop)
{
    std::error_code error;
    for (Iterator entry(folder, error), end; !error && entry != end && !stop.stop_requested(); entry.increment(error)) {
        std::error_code ignored;
        // A file name that is not UTF-8 reaches the page with U+FFFD in place of its bad bytes.
        queue->add({ entry->is_directory(ignored), validUtf8(entry->path().string()), false }, callback, queue);
    }
}

} // namespace

ScriptValue ModuleFile::CreateObject(JSCContext* context)
{
    ScriptValue object = ModuleBase::CreateObject(context);

    RegisterMethod("exists", pathQuery(platform::pathExists));
    RegisterMethod("isDir", pathQuery(platform::isDirectory));
    RegisterMethod("isFile", pathQuery(platform::isRegularFile));
    RegisterMethod("makeDir", pathQuery(platform::makeDirectories));

    RegisterMethod("fileSize", [](MethodCall& call) {
        if (const std::optional<std::filesystem::path> path = pathArgument(call))
            call.result = intValue(call.context, platform::fileSize32(*path));
        return true;
    });

    RegisterMethod("copy", [](MethodCall& call) {
        if (JSCValue* options = call.requiredOptionsObject()) {
            call.result = intValue(call.context, platform::copyFile(pagePath(GetStringOption(options, "from", "")), pagePath(GetStringOption(options, "to", "")),
                                                     GetBoolOption(options, "overwrite").value_or(false)));
        }
        return true;
    });

    RegisterMethod("move", [](MethodCall& call) {
        if (JSCValue* options = call.requiredOptionsObject())
            call.result = intValue(call.context, platform::movePath(pagePath(GetStringOption(options, "from", "")), pagePath(GetStringOption(options, "to", ""))));
        return true;
    });

    RegisterMethod("delete", [](MethodCall& call) {
        if (const std::optional<std::filesystem::path> path = pathArgument(call))
            call.result = intValue(call.context, platform::deletePath(*path));
        return true;
    });

    RegisterMethod("copyAsync", [this](MethodCall& call) {
        JSCValue* options = call.requiredOptionsObject();
        if (!options)
            return true;
        startPageThread([from = pagePath(GetStringOption(options, "from", "")).string(), to = pagePath(GetStringOption(options, "to", "")).string(),
                            callback = ScriptCallback(GetFunctionOption(options, "progress"))](std::stop_token stop) mutable {
            platform::copyWithProgress(
                from, to, [&callback](int64_t current, int64_t total) { postProgress(callback, false, current, total); }, stop);
            // The same last call after a failed copy as after a good one.
            postProgress(callback, true, 0, 0);
        });
        call.result = ScriptValue::adopt(jsc_value_new_null(call.context));
        return true;
    });

    RegisterMethod("listDir", [this](MethodCall& call) {
        JSCValue* options = call.requiredOptionsObject();
        if (!options)
            return true;
        startPageThread([path = pagePath(GetStringOption(options, "path", "")), recursive = GetBoolOption(options, "recursive").value_or(false),
                            callback = ScriptCallback(GetFunctionOption(options, "callback"))](std::stop_token stop) mutable {
            auto queue = std::make_shared<ListingQueue>();
            if (recursive)
                walk<std::filesystem::recursive_directory_iterator>(path, callback, queue, stop);
            else
                walk<std::filesystem::directory_iterator>(path, callback, queue, stop);
            queue->add({ false, "", true }, callback, queue);
        });
        return true;
    });
    return object;
}

} // namespace tvn
