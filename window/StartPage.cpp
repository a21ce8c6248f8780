// Choosing the start page, and the origin rules that keep everything else out of the bridge.

#include "window/StartPage.h"

#include "ipc/Url.h"
#include "platform/ListeningSockets.h"
#include "platform/RealPath.h"
#include "util/Strings.h"
#include "util/UrlEncoding.h"

#include <fstream>
#include <iterator>
#include <unistd.h>

namespace tvn {

namespace {

std::string readFile(const std::filesystem::path& path)
{
    std::ifstream file(path, std::ios::binary);
    return { std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>() };
}

bool isLoopbackHost(std::string_view host)
{
    return !platform::loopbackAddresses(host).empty();
}

} // namespace

std::optional<std::string> acceptedUrlTxt(std::string_view text)
{
    const std::string url(trim(text));
    const auto parts = parseUrl(url);
    if (!parts || !parts->hasHost)
        return std::nullopt;
    if (parts->scheme == "app" || parts->scheme == "file" || parts->scheme == "https")
        return url;
    if (parts->scheme == "http" && isLoopbackHost(parts->host))
        return url;
    return std::nullopt;
}

StartPage chooseStartPage(const std::filesystem::path& appFolder, std::string_view bdVid)
{
    StartPage page;
    std::error_code error;
    if (std::filesystem::exists(appFolder / "url.txt", error)) {
        const std::string text = readFile(appFolder / "url.txt");
        const auto url = acceptedUrlTxt(text);
        if (url && startFolderOpenToOthers(*url)) {
            page.logLines.push_back("url.txt refused, its folder is open to other users, " + *url);
        } else if (url && !servedByThisUser(*url)) {
            page.logLines.push_back("url.txt refused, its port is not this user's, " + *url);
        } else if (url) {
            page.url = *url;
            page.origin = startOriginOf(page.url);
            page.logLines.push_back("open from url.txt, " + page.url);
            return page;
        } else {
            page.logLines.push_back("url.txt refused, " + std::string(trim(text)));
        }
    }
    if (std::filesystem::exists(appFolder / "dist.pak", error)) {
        page.url = "app://dist.pak/index.html?bd_vid=" + std::string(bdVid);
        page.origin = startOriginOf(page.url);
        page.logLines.push_back("open from dist.pak");
        return page;
    }

    page.distFolder = appFolder / ".." / ".." / "dist";
    if (!std::filesystem::exists(page.distFolder / "index.html", error))
        page.distFolder = appFolder / "dist";
    page.url = "app://" + std::string(kDistFolderHost) + "/index.html?bd_vid=" + std::string(bdVid);
    page.origin = startOriginOf(page.url);
    page.logLines.push_back("open from dist, " + (page.distFolder / "index.html").string());
    return page;
}

std::string urlOrigin(std::string_view url)
{
    const auto parts = parseUrl(url);
    if (!parts || parts->scheme == "file" || parts->host.empty())
        return {};
    return parts->scheme + "://" + authorityOf(*parts);
}

std::string startOriginOf(std::string_view url)
{
    const auto parts = parseUrl(url);
    if (!parts || parts->scheme != "file")
        return urlOrigin(url);
    if (!parts->host.empty() || parts->path.empty())
        return {};
    return "file://" + parts->path.substr(0, parts->path.rfind('/') + 1);
}

bool inStartOrigin(std::string_view url, std::string_view startOrigin)
{
    if (startOrigin.empty())
        return false;
    if (!startOrigin.starts_with("file://"))
        return urlOrigin(url) == startOrigin;
    const auto parts = parseUrl(url);
    const auto folder = parseUrl(startOrigin);
    if (!parts || !folder || parts->scheme != "file" || !parts->host.empty())
        return false;
    // By where the file really is: a link in the folder that points out of it is outside.
    return platform::realPathInside(urlDecode(folder->path), urlDecode(parts->path)).has_value();
}

bool servedByThisUser(std::string_view url)
{
    const auto parts = parseUrl(url);
    if (!parts || parts->scheme != "http")
        return true;
    const int port = parts->port < 0 ? defaultPort(parts->scheme) : parts->port;
    return platform::loopbackListenerOwner(parts->host, static_cast<uint16_t>(port)) == ::getuid();
}

bool startFolderOpenToOthers(std::string_view url)
{
    const auto parts = parseUrl(url);
    if (!parts || parts->scheme != "file")
        return false;
    const std::filesystem::path file(urlDecode(parts->path));
    return platform::openToOtherUsers(file.parent_path());
}

} // namespace tvn
