// Small text operations shared across the system, on bytes: trimming, splitting, ASCII case.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tvn {

// The blanks trimmed from header lines, response bodies and wmic output: " \t\n\r\f\v".
inline constexpr std::string_view kBlanks = " \t\n\r\f\v";

// `text` without the characters of `characters` at either end.
std::string_view trim(std::string_view text, std::string_view characters = kBlanks);

// The pieces between separators, empty pieces dropped.
std::vector<std::string> splitNonEmpty(std::string_view text, char separator);

// ASCII letters changed; every other byte kept (as tolower/toupper do in the "C" locale).
std::string asciiUpper(std::string_view text);
std::string asciiLower(std::string_view text);

// The length of UTF-8 text in UTF-16 units (a four-byte sequence is a surrogate pair), as Windows
// buffers count it.
size_t utf16Length(std::string_view utf8);

} // namespace tvn
