// The extension-to-MIME-type table of the resources the system serves, and how an extension is
// taken from a URL or a file path.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace tvn {

// The MIME type for an extension without its dot (exact, case-sensitive); anything not in the
// table is "application/octet-stream".
std::string_view mimeTypeFor(std::string_view extension);

// The URL's extension: cut at the last "?", then after the last "/" (none: ""), after the last "."
// (none: ""). "app://dist.pak/js/app.min.js?v=2" gives "js".
std::string urlExtension(std::string_view url);

// A file path's extension: the file name's last extension with "." trimmed from both ends.
std::string pathExtension(const std::filesystem::path&);

} // namespace tvn
