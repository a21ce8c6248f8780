// The file list a drag carries (text/uri-list): which of its URIs are local files, and their paths.
// Plain text in, paths out; no toolkit.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tvn {

// The local paths of a text/uri-list (lines of URIs, "#" lines are comments); other URIs are skipped.
std::vector<std::string> filesFromUriList(std::string_view uriList);

} // namespace tvn
