// Answering "app" URLs from resource packs.

#include "browser/AppSchemeRequest.h"

#include "browser/LocalResourceHandler.h"
#include "browser/MimeTypes.h"
#include "core/Log.h"
#include "window/StartPage.h"
#include "ipc/Url.h"
#include "platform/RealPath.h"
#include "pak/PakArchive.h"
#include "util/Strings.h"
#include "util/UrlEncoding.h"

#include <algorithm>

namespace tvn {

namespace {

// A request never carries the fragment; drop it if the caller passed the URL as the page wrote it.
std::string_view withoutFragment(std::string_view url)
{
    return url.substr(0, url.find('#'));
}

} // namespace

namespace {

// The lower-case host and the path (from its "/", percent escapes kept) of an "app" URL; nullopt
// for any other URL.
struct AppUrl {
    std::string host;
    std::string path;
};
std::optional<AppUrl> appUrl(std::string_view url)
{
    auto parts = parseUrl(url);
    if (!parts || parts->scheme != "app" || !parts->hasHost)
        return std::nullopt;
    return AppUrl { std::move(parts->host), std::move(parts->path) };
}

// The decoded path an "app://dist/..." URL names, when the dist folder is the source; nullopt for
// any other URL.
std::optional<std::string> distRequestPath(std::string_view url, const std::filesystem::path& distFolder)
{
    const auto app = distFolder.empty() ? std::nullopt : appUrl(url);
    if (!app || app->host != kDistFolderHost)
        return std::nullopt;
    return urlDecode(app->path);
}

// The real path of `path` in the folder: joined as text, never as paths (an absolute right-hand
// side, "//etc/hostname" or "%2Fetc", would replace the folder), then kept only inside it.
std::optional<std::filesystem::path> fileInFolder(const std::filesystem::path& folder, const std::string& path)
{
    if (hasDotStep(path))
        return std::nullopt;
    return platform::realPathInside(folder, folder.string() + "/" + path);
}

} // namespace

std::optional<AppRequestTarget> appRequestTarget(std::string_view url)
{
    const auto app = appUrl(url);
    if (!app || !app->host.ends_with(".pak"))
        return std::nullopt;
    return AppRequestTarget { app->host, std::string(app->path.empty() ? app->path : app->path.substr(1)) };
}

std::optional<ResourceResponse> answerAppRequest(std::string_view url, const std::filesystem::path& appFolder,
    const std::filesystem::path& distFolder)
{
    if (const auto path = distRequestPath(url, distFolder)) {
        if (const auto file = fileInFolder(distFolder, *path))
            return LocalResourceHandler::answerFile(*file);
        LOG_INFO << "dist request refused: " << url;
        ResourceResponse refused;
        refused.status = 404;
        return refused;
    }
    const auto target = appRequestTarget(url);
    if (!target)
        return std::nullopt;
    PakArchive pack;
    if (pack.open(appFolder / target->packName) != PakStatus::Ok)
        return std::nullopt;
    const nlohmann::json* entry = pack.find(target->entryPath);
    if (!entry)
        return std::nullopt;

    ResourceResponse response;
    response.mimeType = mimeTypeFor(urlExtension(withoutFragment(url)));
    response.length = static_cast<uint64_t>(std::max(entryFields(*entry).size, 0));
    if (PakEntryContent content = pack.readEntry(*entry))
        response.body = std::move(content.bytes);
    return response;
}

} // namespace tvn
