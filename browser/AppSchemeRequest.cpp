// Answering "app" URLs from resource packs.

#include "browser/AppSchemeRequest.h"

#include "browser/LocalResourceHandler.h"
#include "browser/MimeTypes.h"
#include "core/Log.h"
#include "ipc/StartPage.h"
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

bool namesDistFolder(std::string_view url, const std::filesystem::path& distFolder)
{
    const auto app = appUrl(url);
    return !distFolder.empty() && app && app->host == kDistFolderHost;
}

} // namespace

std::optional<AppRequestTarget> appRequestTarget(std::string_view url)
{
    const auto app = appUrl(url);
    if (!app || !app->host.ends_with(".pak"))
        return std::nullopt;
    return AppRequestTarget { app->host, std::string(app->path.empty() ? app->path : app->path.substr(1)) };
}

std::optional<std::filesystem::path> distFolderFile(std::string_view url, const std::filesystem::path& distFolder)
{
    if (!namesDistFolder(url, distFolder))
        return std::nullopt;
    const std::string path = urlDecode(appUrl(url)->path);
    if (hasDotStep(path))
        return std::nullopt;
    // Joined as text, never as paths: an absolute right-hand side ("//etc/hostname", "%2Fetc")
    // would replace the folder. The real path then has to stay inside it.
    return platform::realPathInside(distFolder, distFolder.string() + "/" + path);
}

std::optional<ResourceResponse> answerAppRequest(std::string_view url, const std::filesystem::path& appFolder,
    const std::filesystem::path& distFolder)
{
    if (namesDistFolder(url, distFolder)) {
        if (const auto file = distFolderFile(url, distFolder))
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
