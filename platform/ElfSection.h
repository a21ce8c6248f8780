// Reading one named section of an ELF file: the stand-in for a resource of the executable.
//
// The build writes the channel id into a non-loaded section of `tvn`, where
// `objcopy --update-section` can change it after the build; the program reads it back from its own
// file. Only 64-bit little-endian ELF (the platform's own) is read.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace tvn::platform {

// The section's bytes as they stand; nullopt when the file cannot be read, is not such an ELF
// file, is malformed, or has no section of that name.
std::optional<std::string> readElfSection(const std::filesystem::path& file, std::string_view name);

} // namespace tvn::platform
