// Answering "app" URLs from resource packs.

#include "browser/AppSchemeRequest.h"

#include "browser/LocalResourceHandler.h"
#include "browser/MimeTypes.h"
#include "ipc/StartPage.h"
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

std::optional<AppRequestTarget> appRequestTarget(std::string_view url)
{
    url = withoutFragment(url);
    const size_t colon = url.find(':');
    if (colon == std::string_view::npos || asciiLower(url.substr(0, colon)) != "app" || url.substr(colon + 1, 2) != "//")
        return std::nullopt;

    const std::string_view rest = url.substr(colon + 3);
    const size_t authorityEnd = std::min(rest.find_first_of("/?"), rest.size());
    std::string_view host = rest.substr(0, authorityEnd);
    if (const size_t at = host.rfind('@'); at != std::string_view::npos)
        host.remove_prefix(at + 1);
    if (const size_t port = host.find(':'); port != std::string_view::npos)
        host = host.substr(0, port);

    const std::string packName = asciiLower(host);
    if (!packName.ends_with(".pak"))
        return std::nullopt;

    std::string_view path = rest.substr(authorityEnd);
    path = path.substr(0, path.find('?'));
    return AppRequestTarget { packName, std::string(path.empty() ? path : path.substr(1)) };
}

std::optional<std::filesystem::path> distFolderFile(std::string_view url, const std::filesystem::path& distFolder)
{
    url = withoutFragment(url);
    constexpr std::string_view scheme = "app://";
    if (distFolder.empty() || url.size() < scheme.size() || asciiLower(url.substr(0, scheme.size())) != scheme)
        return std::nullopt;
    std::string_view rest = url.substr(scheme.size());
    rest = rest.substr(0, rest.find('?'));
    const size_t slash = rest.find('/');
    if (asciiLower(rest.substr(0, slash)) != kDistFolderHost)
        return std::nullopt;
    const std::string path = urlDecode(slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1));
    for (const std::string& step : splitNonEmpty(path, '/'))
        if (step == "." || step == "..")
            return std::nullopt;
    return distFolder / path;
}

std::optional<ResourceResponse> answerAppRequest(std::string_view url, const std::filesystem::path& appFolder,
    const std::filesystem::path& distFolder)
{
    if (const auto file = distFolderFile(url, distFolder))
        return LocalResourceHandler::answerFile(*file);
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
