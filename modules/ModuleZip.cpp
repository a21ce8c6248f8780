// The zip module and its ZipFile objects.

#include "modules/ModuleZip.h"

#include "core/PagePaths.h"
#include "modules/ScriptCallback.h"
#include "util/JsonText.h"


namespace tvn {

namespace {

// The low 32 bits, as the page's signed integers.
int32_t low32(uint64_t value)
{
    return static_cast<int32_t>(static_cast<uint32_t>(value & 0xFFFFFFFFu));
}

ScriptValue entryObject(JSCContext* context, const ZipEntry& entry)
{
    const auto number = [context](int64_t value) { return ScriptValue::adopt(jsc_value_new_number(context, low32(static_cast<uint64_t>(value)))); };
    return MakeObject(context, {
        { "index", number(entry.index) },
        { "name", ScriptValue::adopt(jsc_value_new_string(context, validUtf8(entry.name).c_str())) },
        { "size", number(static_cast<int64_t>(entry.size)) },
        { "comp_size", number(static_cast<int64_t>(entry.compressedSize)) },
        { "isdir", ScriptValue::adopt(jsc_value_new_boolean(context, entry.isDirectory)) },
        { "crc32", number(entry.crc32) },
        { "dir_offset", number(static_cast<int64_t>(entry.directoryOffset)) },
        { "header_offset", number(static_cast<int64_t>(entry.headerOffset)) },
    });
}

ScriptValue entryArray(JSCContext* context, const std::vector<ZipEntry>& entries)
{
    std::vector<ScriptValue> objects;
    objects.reserve(entries.size());
    for (const ZipEntry& entry : entries)
        objects.push_back(entryObject(context, entry));
    GUnique<GPtrArray> array(g_ptr_array_new());
    for (const ScriptValue& object : objects)
        g_ptr_array_add(array.get(), object.get());
    return ScriptValue::adopt(jsc_value_new_array_from_garray(context, array.get()));
}

} // namespace

ScriptValue ModuleZip::CreateObject(JSCContext* context)
{
    ScriptValue object = ModuleBase::CreateObject(context);
    RegisterMethod("open", [this](MethodCall& call) {
        JSCValue* options = call.requiredOptionsObject();
        if (!options)
            return true;
        const std::string mode = GetStringOption(options, "mode").value_or("");
        const char modeLetter = mode.empty() ? 'r' : mode[0]; // an empty mode reads
        auto file = std::make_shared<ZipFile>(ZipArchive::open(pagePath(GetStringOption(options, "path").value_or("")), modeLetter, GetIntOption(options, "level").value_or(-1)));
        file->setIds(browserId(), frameId()); // its threads belong to this module's page
        call.result = file->createScriptObject(call.context);
        return true;
    });
    return object;
}

ScriptValue ZipFile::CreateObject(JSCContext* context)
{
    ScriptValue object = ModuleBase::CreateObject(context);
    RegisterMethod("info", [this](MethodCall& call) {
        if (call.arguments.empty()) {
            call.result = entryArray(call.context, m_archive ? m_archive->entries() : std::vector<ZipEntry>());
            return true;
        }
        if (call.arguments.size() != 1 || !jsc_value_is_function(call.arguments[0].get())) {
            call.invalidArguments();
            return true;
        }
        // Reading the central directory is short: the thread ends on its own before a stop is waited on.
        startPageThread([archive = m_archive, callback = ScriptCallback(call.arguments[0])](std::stop_token) mutable {
            auto entries = std::make_shared<std::vector<ZipEntry>>(archive ? archive->entries() : std::vector<ZipEntry>());
            callback.post([entries](const ScriptCallback::Target& target) {
                const ScriptValue list = entryArray(target.context(), *entries);
                target.call({ list.get() });
            });
        });
        call.result = ScriptValue::adopt(jsc_value_new_undefined(call.context));
        return true;
    });
    return object;
}

} // namespace tvn
