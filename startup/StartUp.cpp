// Start-up values derived from text.

#include "startup/StartUp.h"

#include "platform/ElfSection.h"
#include "util/MD5.h"

#include <vector>

#ifndef TVN_CHANNEL_SECTION
#error "the build defines TVN_CHANNEL_SECTION, the section that holds the channel id"
#endif

namespace tvn {

namespace {

std::vector<std::string_view> split(std::string_view text, char separator)
{
    std::vector<std::string_view> pieces;
    for (size_t at = 0;;) {
        const size_t next = text.find(separator, at);
        pieces.push_back(text.substr(at, next == std::string_view::npos ? std::string_view::npos : next - at));
        if (next == std::string_view::npos)
            return pieces;
        at = next + 1;
    }
}

} // namespace

std::string bdVidFromInst(std::string_view inst)
{
    if (inst.empty())
        return {};
    const auto pieces = split(inst, '_');
    if (pieces.size() < 2 || pieces[0] != "tvbd")
        return {};
    return std::string(pieces[1]);
}

SceneEvent parseScene(std::string_view scene)
{
    const auto pieces = split(scene, ',');
    SceneEvent event;
    event.name = pieces[0];
    for (size_t i = 1; i < pieces.size() && i <= event.parameters.size(); ++i)
        event.parameters[i - 1] = pieces[i];
    return event;
}

std::string singleInstanceName(const std::filesystem::path& executable)
{
    std::string path = executable.string();
    for (char& c : path) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return "LANTHORN_MUTEX_" + MD5(path).hexdigest();
}

std::string readChannelId(const std::filesystem::path& executable)
{
    return platform::readElfSection(executable, TVN_CHANNEL_SECTION).value_or(std::string());
}

} // namespace tvn
