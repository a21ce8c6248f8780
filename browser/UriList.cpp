// Reading text/uri-list.

#include "browser/UriList.h"

#include "platform/GRef.h"
#include "util/Strings.h"

#include <glib.h>

namespace tvn {

std::vector<std::string> filesFromUriList(std::string_view uriList)
{
    std::vector<std::string> files;
    for (const std::string& line : splitNonEmpty(uriList, '\n')) {
        const std::string uri(trim(line));
        if (uri.empty() || uri[0] == '#')
            continue;
        char* rawHost = nullptr;
        GUnique<char> path { g_filename_from_uri(uri.c_str(), &rawHost, nullptr) };
        const GUnique<char> host { rawHost };
        const bool local = !host || !*host.get() || !g_ascii_strcasecmp(host.get(), "localhost") || !g_ascii_strcasecmp(host.get(), g_get_host_name());
        if (path && local)
            files.emplace_back(path.get());
    }
    return files;
}

} // namespace tvn
