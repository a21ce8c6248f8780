// Reading an HTTP response body as text: the charset named by the "Content-type" header, or a
// UTF-8 check of the body when none is named.
#pragma once

#include <map>
#include <string>
#include <string_view>

namespace tvn {

// Response headers as the request layer stores them: one value per name, names compared exactly.
using HeaderMap = std::map<std::string, std::string>;

// The charset named in the "Content-type" header (exact, case-sensitive name), or empty.
std::string charsetOf(const HeaderMap& headers);

// True when the body passes the UTF-8 walk that decides between UTF-8 and GBK for a body whose
// response names no charset.
bool looksLikeUtf8(std::string_view body);

// The body decoded by its charset, as UTF-8. "utf-8" decodes as UTF-8 and "gbk" or "gb2312" as GBK
// (exact, lower case); any other named charset gives empty text.
std::string responseText(const HeaderMap& headers, std::string_view body);

} // namespace tvn
