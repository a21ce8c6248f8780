// The reg module, over the registry store.

#include "modules/ModuleReg.h"

namespace tvn {

namespace {

using platform::RegistryRoot;

constexpr size_t kDeleteKeyPathUnits = 519;

struct RegistryPlace {
    RegistryRoot root;
    std::string path;
    std::string name;
};

RegistryPlace placeOf(JSCValue* options)
{
    return { platform::rootKeyFromName(GetStringOption(options, "key").value_or("")), GetStringOption(options, "path").value_or(""),
        GetStringOption(options, "name").value_or("") };
}

using Body = std::function<ScriptValue(JSCContext*, JSCValue* options, platform::RegistryStore&)>;

ScriptValue boolValue(JSCContext* context, bool value)
{
    return ScriptValue::adopt(jsc_value_new_boolean(context, value));
}

} // namespace

std::string cutToUtf16Units(std::string_view text, size_t units)
{
    size_t counted = 0;
    for (size_t at = 0; at < text.size();) {
        const auto lead = static_cast<unsigned char>(text[at]);
        const size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
        const size_t needed = length == 4 ? 2 : 1;
        if (counted + needed > units)
            return std::string(text.substr(0, at));
        counted += needed;
        at += length;
    }
    return std::string(text);
}

ModuleReg::ModuleReg()
    : m_store(platform::registryStore())
{
}

ModuleReg::ModuleReg(platform::RegistryStore& store)
    : m_store(store)
{
}

ScriptValue ModuleReg::CreateObject(JSCContext* context)
{
    ScriptValue object = ModuleBase::CreateObject(context);
    // Each method: one options object, else "Invalid arguments".
    const auto withOptions = [this](Body body) -> MethodHandler {
        return [this, body = std::move(body)](MethodCall& call) {
            if (JSCValue* options = call.requiredOptionsObject())
                call.result = body(call.context, options, m_store);
            return true;
        };
    };

    RegisterMethod("exists", withOptions([](JSCContext* context, JSCValue* options, platform::RegistryStore& store) {
        const RegistryPlace place = placeOf(options);
        return boolValue(context, platform::regValueExists(store, place.root, place.path, place.name));
    }));

    RegisterMethod("readString", withOptions([](JSCContext* context, JSCValue* options, platform::RegistryStore& store) {
        const RegistryPlace place = placeOf(options);
        const std::string text = platform::regReadString(store, place.root, place.path, place.name)
                                     .value_or(GetStringOption(options, "default").value_or(""));
        return ScriptValue::adopt(jsc_value_new_string(context, text.c_str()));
    }));

    RegisterMethod("readNumber", withOptions([](JSCContext* context, JSCValue* options, platform::RegistryStore& store) {
        const RegistryPlace place = placeOf(options);
        const int32_t number = platform::regReadNumber(store, place.root, place.path, place.name).value_or(GetIntOption(options, "default").value_or(0));
        return ScriptValue::adopt(jsc_value_new_number(context, number));
    }));

    RegisterMethod("writeString", withOptions([](JSCContext* context, JSCValue* options, platform::RegistryStore& store) {
        const RegistryPlace place = placeOf(options);
        return boolValue(context, platform::regWriteString(store, place.root, place.path, place.name, GetStringOption(options, "value").value_or("")));
    }));

    RegisterMethod("writeNumber", withOptions([](JSCContext* context, JSCValue* options, platform::RegistryStore& store) {
        const RegistryPlace place = placeOf(options);
        return boolValue(context, platform::regWriteNumber(store, place.root, place.path, place.name, GetIntOption(options, "value").value_or(0)));
    }));

    RegisterMethod("deleteKey", withOptions([](JSCContext* context, JSCValue* options, platform::RegistryStore& store) {
        const RegistryPlace place = placeOf(options);
        return boolValue(context, platform::regDeleteKeyTree(store, place.root, cutToUtf16Units(place.path, kDeleteKeyPathUnits)));
    }));

    RegisterMethod("deleteValue", withOptions([](JSCContext* context, JSCValue* options, platform::RegistryStore& store) {
        const RegistryPlace place = placeOf(options);
        return boolValue(context, store.deleteValue(place.root, place.path, place.name) == platform::kErrorSuccess);
    }));
    return object;
}

} // namespace tvn
