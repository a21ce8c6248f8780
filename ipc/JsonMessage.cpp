// JSON message parameters.

#include "ipc/JsonMessage.h"

#include "util/JsonText.h"

namespace tvn {

GVariant* jsonParameters(const nlohmann::json& arguments)
{
    return g_variant_new_string(jsonText(arguments).c_str());
}

nlohmann::json argumentsOf(GVariant* parameters)
{
    if (!parameters || !g_variant_is_of_type(parameters, G_VARIANT_TYPE_STRING))
        return nlohmann::json::array();
    nlohmann::json arguments = nlohmann::json::parse(g_variant_get_string(parameters, nullptr), nullptr, false);
    return arguments.is_array() ? arguments : nlohmann::json::array();
}

} // namespace tvn
