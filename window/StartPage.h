// The start page and its origin: the one place whose frames get `module` and where the main frame
// may go.
//
// Sources, first found wins: url.txt beside the executable (its text, trimmed, if its URL is one
// the window may show), the resource pack dist.pak, else the dist folder (two levels up, as the
// build tree lays it out, else beside the executable). The pack and the folder are both served
// through the app scheme, so no page ever needs to read file:// URLs.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tvn {

// The app-scheme host that serves the dist folder's files (packs are hosts ending in ".pak").
inline constexpr std::string_view kDistFolderHost = "dist";

struct StartPage {
    std::string url;
    std::string origin;                  // startOriginOf(url)
    std::filesystem::path distFolder;    // the folder app://dist/ serves; empty unless it is the source
    std::vector<std::string> logLines;   // how the choice is logged, a refused url.txt first
};

StartPage chooseStartPage(const std::filesystem::path& appFolder, std::string_view bdVid);

// The URL url.txt may name, trimmed of whitespace: app:, file: and https: URLs, and http: only on
// a loopback host (127.0.0.0/8, localhost, [::1]); nullopt for anything else, a backslash or a
// control character inside included.
std::optional<std::string> acceptedUrlTxt(std::string_view text);

// The origin of a URL: "scheme://host[:port]" in lower case, a scheme's default port dropped; ""
// for URLs without one (about:blank, data:, file:).
std::string urlOrigin(std::string_view url);

// The start origin of a start URL: its origin, or for a file:// URL its folder
// ("file:///home/a/site/").
std::string startOriginOf(std::string_view url);

// Whether `url` belongs to the start origin: the same origin, or for a folder origin a file URL
// whose real path (percent escapes decoded, links resolved) lies inside the folder's real path.
bool inStartOrigin(std::string_view url, std::string_view startOrigin);

// Whether the server of a loopback http: start page is this user's: every socket listening where
// the connection could go belongs to this user. Any local user may bind a free port, so a
// loopback address alone proves nothing. True for other schemes.
bool servedByThisUser(std::string_view url);

// Whether a file: start page lies in a folder that other users can write to (as /tmp): anyone
// could put a page there that the folder's origin would trust. False for other schemes.
bool startFolderOpenToOthers(std::string_view url);

} // namespace tvn
