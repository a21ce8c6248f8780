// The zip module and its ZipFile objects.

#include "modules/ModuleZip.h"

#include "core/PagePaths.h"
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

} // namespace

ScriptValue ModuleZip::CreateObject(JSCContext* context)
{
    ScriptValue object = ModuleBase::CreateObject(context);
    RegisterMethod("open", [](MethodCall& call) {
        JSCValue* options = call.requiredOptionsObject();
        if (!options)
            return true;
        const std::string mode = GetStringOption(options, "mode").value_or("");
        const char modeLetter = mode.empty() ? 'r' : mode[0]; // an empty mode reads
        auto file = std::make_shared<ZipFile>(ZipArchive::open(pagePath(GetStringOption(options, "path").value_or("")), modeLetter, GetIntOption(options, "level").value_or(-1)));
        call.result = file->createScriptObject(call.context);
        return true;
    });
    return object;
}

ScriptValue ZipFile::CreateObject(JSCContext* context)
{
    ScriptValue object = ModuleBase::CreateObject(context);
    RegisterMethod("info", [this](MethodCall& call) {
        std::vector<ScriptValue> entries;
        if (m_archive) {
            for (const ZipEntry& entry : m_archive->entries())
                entries.push_back(entryObject(call.context, entry));
        }
        GUnique<GPtrArray> array(g_ptr_array_new());
        for (const ScriptValue& entry : entries)
            g_ptr_array_add(array.get(), entry.get());
        call.result = ScriptValue::adopt(jsc_value_new_array_from_garray(call.context, array.get()));
        return true;
    });
    return object;
}

} // namespace tvn
