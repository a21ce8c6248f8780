// The web process initialization data as a GVariant.

#include "ipc/InitData.h"

#include "util/JsonText.h"

namespace tvn {

namespace {
constexpr const char* kFormat = "(xassss)";
}

GVariant* toVariant(const InitData& data)
{
    GVariantBuilder arguments;
    g_variant_builder_init(&arguments, G_VARIANT_TYPE("as"));
    // A GVariant string must be UTF-8; an argument or a path need not be.
    for (const std::string& argument : data.browserArguments)
        g_variant_builder_add(&arguments, "s", validUtf8(argument).c_str());
    return g_variant_new(kFormat, static_cast<gint64>(data.mainWindowId), &arguments, validUtf8(data.executablePath).c_str(),
        validUtf8(data.windowChannel).c_str(), validUtf8(data.startOrigin).c_str());
}

std::optional<InitData> initDataFromVariant(GVariant* variant)
{
    if (!variant || !g_variant_is_of_type(variant, G_VARIANT_TYPE(kFormat)))
        return std::nullopt;
    InitData data;
    gint64 windowId = 0;
    GVariantIter* arguments = nullptr;
    const char *executable = nullptr, *channel = nullptr, *origin = nullptr;
    g_variant_get(variant, "(xas&s&s&s)", &windowId, &arguments, &executable, &channel, &origin);
    data.mainWindowId = windowId;
    const char* argument = nullptr;
    while (g_variant_iter_loop(arguments, "&s", &argument))
        data.browserArguments.emplace_back(argument);
    g_variant_iter_free(arguments);
    data.executablePath = executable;
    data.windowChannel = channel;
    data.startOrigin = origin;
    return data;
}

} // namespace tvn
