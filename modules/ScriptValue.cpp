// Conversions between JavaScriptCore values and JSON.

#include "modules/ScriptValue.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>

namespace tvn {

namespace {

std::optional<nlohmann::json> toJson(JSCValue*, int depth);

nlohmann::json listOf(JSCValue* array, int depth)
{
    nlohmann::json list = nlohmann::json::array();
    const ScriptValue length = ScriptValue::adopt(jsc_value_object_get_property(array, "length"));
    const int count = length ? jsc_value_to_int32(length.get()) : 0;
    for (int i = 0; i < count; ++i) {
        const ScriptValue element = ScriptValue::adopt(jsc_value_object_get_property_at_index(array, static_cast<unsigned>(i)));
        list.push_back(toJson(element.get(), depth + 1).value_or(nullptr));
    }
    return list;
}

nlohmann::json dictionaryOf(JSCValue* object, int depth)
{
    nlohmann::json dictionary = nlohmann::json::object();
    const GUnique<char*> names(jsc_value_object_enumerate_properties(object));
    for (char** name = names.get(); name && *name; ++name) {
        const ScriptValue member = ScriptValue::adopt(jsc_value_object_get_property(object, *name));
        if (auto converted = toJson(member.get(), depth + 1))
            dictionary[*name] = std::move(*converted);
    }
    return dictionary;
}

bool isInt32(double number)
{
    return std::isfinite(number) && number == std::trunc(number) && number >= INT32_MIN && number <= INT32_MAX
        && !(number == 0 && std::signbit(number));
}

std::optional<nlohmann::json> toJson(JSCValue* value, int depth)
{
    if (!value || jsc_value_is_undefined(value))
        return std::nullopt;
    if (depth > kMaxDepth)
        return nullptr;
    if (jsc_value_is_boolean(value))
        return static_cast<bool>(jsc_value_to_boolean(value));
    if (jsc_value_is_number(value)) {
        const double number = jsc_value_to_double(value);
        if (isInt32(number))
            return static_cast<int>(number);
        return number;
    }
    if (jsc_value_is_null(value))
        return nullptr;
    if (jsc_value_is_string(value) || jsc_value_object_is_instance_of(value, "Date"))
        return scriptString(value);
    if (jsc_value_is_array(value))
        return listOf(value, depth);
    if (jsc_value_is_object(value))
        return dictionaryOf(value, depth);
    return std::nullopt; // a symbol or a big integer: nothing stored
}

} // namespace

std::string scriptString(JSCValue* value)
{
    const GUnique<char> text(jsc_value_to_string(value));
    return text ? std::string(text.get()) : std::string();
}

nlohmann::json ToListValue(const std::vector<ScriptValue>& values)
{
    nlohmann::json list = nlohmann::json::array();
    for (const ScriptValue& value : values)
        list.push_back(toJson(value.get(), 1).value_or(nullptr));
    return list;
}

nlohmann::json ToListValue(JSCValue* array)
{
    return array && jsc_value_is_array(array) ? listOf(array, 0) : nlohmann::json::array();
}

nlohmann::json ToDictionaryValue(JSCValue* object)
{
    return object && jsc_value_is_object(object) ? dictionaryOf(object, 0) : nlohmann::json::object();
}

ScriptValue toScriptValue(JSCContext* context, const nlohmann::json& value)
{
    switch (value.type()) {
    case nlohmann::json::value_t::boolean:
        return ScriptValue::adopt(jsc_value_new_boolean(context, value.get<bool>()));
    case nlohmann::json::value_t::number_integer:
    case nlohmann::json::value_t::number_unsigned:
    case nlohmann::json::value_t::number_float:
        return ScriptValue::adopt(jsc_value_new_number(context, value.get<double>()));
    case nlohmann::json::value_t::string:
        return ScriptValue::adopt(jsc_value_new_string(context, value.get_ref<const std::string&>().c_str()));
    case nlohmann::json::value_t::object:
        return toScriptObject(context, value);
    case nlohmann::json::value_t::array:
        return toScriptArray(context, value);
    default:
        return ScriptValue::adopt(jsc_value_new_null(context));
    }
}

ScriptValue toScriptObject(JSCContext* context, const nlohmann::json& dictionary)
{
    ScriptValue object = ScriptValue::adopt(jsc_value_new_object(context, nullptr, nullptr));
    if (!dictionary.is_object())
        return object;
    for (const auto& [name, member] : dictionary.items())
        jsc_value_object_set_property(object.get(), name.c_str(), toScriptValue(context, member).get());
    return object;
}

ScriptValue toScriptArray(JSCContext* context, const nlohmann::json& list)
{
    ScriptValue array = ScriptValue::adopt(jsc_value_new_array(context, G_TYPE_NONE));
    if (!list.is_array())
        return array;
    for (size_t i = 0; i < list.size(); ++i)
        jsc_value_object_set_property_at_index(array.get(), static_cast<unsigned>(i), toScriptValue(context, list[i]).get());
    return array;
}

ScriptValue GetOption(JSCValue* object, const char* key)
{
    if (!object || !jsc_value_is_object(object) || !jsc_value_object_has_property(object, key))
        return {};
    return ScriptValue::adopt(jsc_value_object_get_property(object, key));
}

ScriptValue GetFunctionOption(JSCValue* object, const char* key)
{
    ScriptValue value = GetOption(object, key);
    return value && jsc_value_is_function(value.get()) ? value : ScriptValue();
}

std::optional<int> GetIntOption(JSCValue* object, const char* key)
{
    const ScriptValue value = GetOption(object, key);
    if (!value)
        return std::nullopt;
    if (jsc_value_is_number(value.get())) {
        const double number = std::trunc(jsc_value_to_double(value.get()));
        if (!std::isfinite(number))
            return std::nullopt;
        return static_cast<int>(std::clamp<double>(number, INT_MIN, INT_MAX));
    }
    if (jsc_value_is_string(value.get()))
        return std::atoi(scriptString(value.get()).c_str());
    return std::nullopt;
}

std::optional<bool> GetBoolOption(JSCValue* object, const char* key)
{
    const ScriptValue value = GetOption(object, key);
    if (!value || !jsc_value_is_boolean(value.get()))
        return std::nullopt;
    return static_cast<bool>(jsc_value_to_boolean(value.get()));
}

std::optional<std::string> GetStringOption(JSCValue* object, const char* key)
{
    const ScriptValue value = GetOption(object, key);
    if (!value || !jsc_value_is_string(value.get()))
        return std::nullopt;
    return scriptString(value.get());
}

std::string GetStringOption(JSCValue* object, const char* key, std::string fallback)
{
    return GetStringOption(object, key).value_or(std::move(fallback));
}

ScriptValue MakeObject(JSCContext* context, const std::vector<std::pair<std::string, ScriptValue>>& properties)
{
    ScriptValue object = ScriptValue::adopt(jsc_value_new_object(context, nullptr, nullptr));
    for (const auto& [name, value] : properties)
        jsc_value_object_set_property(object.get(), name.c_str(), value.get());
    return object;
}

} // namespace tvn
