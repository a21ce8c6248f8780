// Replacing a file's content so that a crash or power loss leaves the old content or the new one,
// never a torn mixture: write a temporary file in the same folder, flush it, rename it over the
// target, flush the folder.
#pragma once

#include <filesystem>
#include <string_view>
#include <system_error>

namespace tvn::platform {

// An empty error_code on success. On failure the target is untouched and no temporary file is left.
std::error_code writeFileAtomically(const std::filesystem::path& target, std::string_view bytes);

} // namespace tvn::platform
