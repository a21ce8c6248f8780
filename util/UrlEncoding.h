// Percent-encoding for query strings and local file URLs.
#pragma once

#include <string>
#include <string_view>

namespace tvn {

// Every byte for which `keep` is false becomes "%XX" (upper-case hex).
std::string percentEncode(std::string_view bytes, bool (*keep)(unsigned char));

// Every byte outside A-Z a-z 0-9 - _ . ~ becomes "%XX" (upper-case hex); a space is %20, never "+".
std::string urlEncode(std::string_view bytes);

// Up to the first NUL: "%XX" with two hex digits (either case) becomes that byte, "+" a space;
// any other "%" and every other byte are copied. Never fails.
std::string urlDecode(std::string_view text);

} // namespace tvn
