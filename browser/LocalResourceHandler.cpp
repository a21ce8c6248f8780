// Local file requests.

#include "browser/LocalResourceHandler.h"

#include "browser/MimeTypes.h"
#include "core/Log.h"
#include "util/UrlEncoding.h"

#include <fstream>
#include <iterator>

namespace tvn {

std::optional<std::filesystem::path> LocalResourceHandler::Open(std::string_view url)
{
    constexpr std::string_view prefix = "file:///";
    if (!url.starts_with(prefix))
        return std::nullopt;
    std::string path = urlDecode(url.substr(prefix.size()));
    LOG_DEBUG << "local resource: " << path;
    path = path.substr(0, path.find('?'));
    // The URL's third slash is the root of the file system here ("file:///home/a" is "/home/a").
    return std::filesystem::path("/" + path);
}

std::optional<ResourceResponse> LocalResourceHandler::answer(std::string_view url)
{
    const auto path = Open(url);
    if (!path)
        return std::nullopt;
    return answerFile(*path);
}

ResourceResponse LocalResourceHandler::answerFile(const std::filesystem::path& path)
{
    ResourceResponse response;
    response.mimeType = mimeTypeFor(pathExtension(path));
    std::ifstream file(path, std::ios::binary);
    std::error_code error;
    if (!file || !std::filesystem::is_regular_file(path, error)) {
        response.status = 404;
        return response;
    }
    response.body.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    response.length = response.body.size();
    return response;
}

} // namespace tvn
