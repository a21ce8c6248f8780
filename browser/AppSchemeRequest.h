// The "app" scheme's request rules: which URLs are served from a resource pack beside the
// executable, and the answer for one request.
//
// "app://dist.pak/js/app.js?v=2" reads the entry "js/app.js" of the pack "dist.pak" in the
// application folder. The path is taken as the URL carries it, without its leading "/", query or
// fragment, and is not percent-decoded: a pack names its entries as URLs spell them.
//
// "app://dist/js/app.js" reads the file js/app.js of the dist folder, when that folder is the start
// page's source, with the rules of local files (the path percent-decoded, the MIME type from the
// file's extension); a path with a ".." step, or whose real path (links resolved) is not inside
// the folder, is answered 404.
#pragma once

#include "browser/ResourceResponse.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace tvn {

struct AppRequestTarget {
    std::string packName;  // the URL's host, e.g. "dist.pak"
    std::string entryPath; // the URL's path without its first character
};

// The pack and entry an "app" URL names; nullopt when the URL gets no handler (another scheme, or
// a host that does not end in ".pak"). Scheme and host compare in lower case, as a standard URL
// is canonicalised.
std::optional<AppRequestTarget> appRequestTarget(std::string_view url);

// The answer for one request: status 200, the MIME type of the URL's extension, the entry's size
// as the length, and the entry's content (read, checked and inflated once). nullopt when the
// request fails outright: no handler, the pack cannot be opened, or no such entry. An entry that
// is found but cannot be read (a directory, a bad digest or stream) is answered with its announced
// length and an empty body.
// `distFolder` (may be empty) is the folder "app://dist/" serves: a file there is answered from
// disk; a path with a "." or ".." step, a missing file or one whose real path is outside the folder
// gets 404.
std::optional<ResourceResponse> answerAppRequest(std::string_view url, const std::filesystem::path& appFolder,
    const std::filesystem::path& distFolder = {});

} // namespace tvn
