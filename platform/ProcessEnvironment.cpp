// Drawing variables for tvn's processes, and the environment of the programs it starts.

#include "platform/ProcessEnvironment.h"

#include "util/Strings.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <optional>

extern char** environ;

namespace tvn::platform {

namespace {

std::string_view nameOf(std::string_view entry)
{
    return entry.substr(0, entry.find('='));
}

// The number of a render node's name ("renderD129": 129), if it is one.
std::optional<int> renderNodeNumber(std::string_view name)
{
    constexpr std::string_view prefix = "renderD";
    if (!name.starts_with(prefix) || name.size() == prefix.size())
        return std::nullopt;
    int number = 0;
    const auto [end, error] = std::from_chars(name.data() + prefix.size(), name.data() + name.size(), number);
    if (error != std::errc() || end != name.data() + name.size())
        return std::nullopt;
    return number;
}

} // namespace

std::vector<std::pair<std::string, std::string>> drawingVariables(const std::string& renderNode)
{
    return {
        { "GDK_GL", "disable" }, // no GLX check when GTK opens the display
        // The page's pixels come through shared memory (nothing is composited on a GPU): no EGL
        // display to look for DMA-BUF support with.
        { "WEBKIT_DISABLE_DMABUF_RENDERER", "1" },
        // Named, the device is not looked up through an EGL display.
        { "WEBKIT_WEB_RENDER_DEVICE_FILE", renderNode },
    };
}

std::string firstRenderNode(const std::string& folder)
{
    std::optional<int> first;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        const std::optional<int> number = renderNodeNumber(entry.path().filename().string());
        if (number && (!first || *number < *first))
            first = number;
    }
    return folder + "/renderD" + std::to_string(first.value_or(128));
}

void setDrawingEnvironment()
{
    std::string added;
    for (const auto& [name, value] : drawingVariables(firstRenderNode())) {
        if (std::getenv(name.c_str()))
            continue; // the user's own choice stands, and is passed on
        ::setenv(name.c_str(), value.c_str(), 1);
        added += (added.empty() ? "" : ":") + name;
    }
    if (!added.empty())
        ::setenv(std::string(kAddedVariablesName).c_str(), added.c_str(), 1);
}

namespace {

std::vector<std::string> currentEnvironment()
{
    std::vector<std::string> environment;
    for (char** entry = environ; entry && *entry; ++entry)
        environment.emplace_back(*entry);
    return environment;
}

// The names of the variables tvn added, and of their list.
std::vector<std::string> addedNames(const std::vector<std::string>& environment)
{
    std::vector<std::string> names;
    for (const std::string& entry : environment) {
        if (nameOf(entry) == kAddedVariablesName)
            names = splitNonEmpty(std::string_view(entry).substr(kAddedVariablesName.size() + 1), ':');
    }
    names.emplace_back(kAddedVariablesName);
    return names;
}

} // namespace

std::vector<std::string> withoutAddedVariables(const std::vector<std::string>& environment)
{
    const std::vector<std::string> added = addedNames(environment);
    std::vector<std::string> kept;
    for (const std::string& entry : environment) {
        if (std::find(added.begin(), added.end(), nameOf(entry)) == added.end())
            kept.push_back(entry);
    }
    return kept;
}

std::vector<std::string> programEnvironment()
{
    return withoutAddedVariables(currentEnvironment());
}

GRef<GAppLaunchContext> programLaunchContext()
{
    GRef<GAppLaunchContext> context = GRef<GAppLaunchContext>::adopt(g_app_launch_context_new());
    for (const std::string& name : addedNames(currentEnvironment()))
        g_app_launch_context_unsetenv(context.get(), name.c_str());
    return context;
}

} // namespace tvn::platform
