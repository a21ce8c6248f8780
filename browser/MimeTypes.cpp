// The MIME table.

#include "browser/MimeTypes.h"

#include <array>
#include <utility>

namespace tvn {

std::string_view mimeTypeFor(std::string_view extension)
{
    static constexpr std::array<std::pair<std::string_view, std::string_view>, 14> kTable { {
        { "css", "text/css" },
        { "js", "application/javascript" },
        { "csv", "text/csv" },
        { "dll", "application/octet-stream" },
        { "exe", "application/octet-stream" },
        { "gif", "image/gif" },
        { "htm", "text/html" },
        { "html", "text/html" },
        { "jpeg", "image/jpeg" },
        { "jpg", "image/jpeg" },
        { "png", "image/png" },
        { "log", "text/plain" },
        { "txt", "text/plain" },
        { "zip", "application/zip" },
    } };
    for (const auto& [key, type] : kTable) {
        if (key == extension)
            return type;
    }
    return "application/octet-stream";
}

std::string urlExtension(std::string_view url)
{
    if (const size_t query = url.rfind('?'); query != std::string_view::npos)
        url = url.substr(0, query);
    const size_t slash = url.rfind('/');
    if (slash == std::string_view::npos)
        return {};
    const std::string_view name = url.substr(slash + 1);
    const size_t dot = name.rfind('.');
    return dot == std::string_view::npos ? std::string() : std::string(name.substr(dot + 1));
}

std::string pathExtension(const std::filesystem::path& path)
{
    std::string extension = path.filename().extension().string();
    const size_t first = extension.find_first_not_of('.');
    if (first == std::string::npos)
        return {};
    return extension.substr(first, extension.find_last_not_of('.') - first + 1);
}

} // namespace tvn
