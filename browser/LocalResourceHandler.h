// The rules for "file:///" URLs the system answers itself: the URL's path percent-decoded, cut
// at the first "?" (after decoding), and the MIME type taken from the file's extension.
#pragma once

#include "browser/ResourceResponse.h"

#include <filesystem>
#include <optional>
#include <string_view>

namespace tvn {

class LocalResourceHandler {
public:
    // The local file a "file:///" URL names (case-sensitive prefix); nullopt for any other URL.
    static std::optional<std::filesystem::path> Open(std::string_view url);

    // The file's content with its MIME type; a file that cannot be read is answered 404 with an
    // empty body. nullopt for a URL that is not "file:///".
    static std::optional<ResourceResponse> answer(std::string_view url);

    // The same answer for a path already taken from a URL.
    static ResourceResponse answerFile(const std::filesystem::path&);
};

} // namespace tvn
