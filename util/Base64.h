// Base64 (RFC 4648, standard alphabet, "=" padding, no line breaks).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tvn {

std::string base64Encode(const void* data, size_t length);
inline std::string base64Encode(std::string_view bytes) { return base64Encode(bytes.data(), bytes.size()); }

// Decodes up to the first "=" or the first character outside the alphabet; never fails. A final
// group of two or three characters yields one or two bytes.
std::vector<uint8_t> base64Decode(std::string_view text);

} // namespace tvn
