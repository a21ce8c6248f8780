// Response charsets and body decoding.

#include "util/ResponseText.h"

#include "util/Strings.h"
#include "util/TextConvert.h"

namespace tvn {

namespace {

// UTF-8 to UTF-8 through the converter drops undecodable bytes exactly as a round trip through
// wide characters would.
std::string utf8Text(std::string_view body)
{
    std::string text;
    Converter("UTF-8", "UTF-8").convert(body, text);
    return text;
}

} // namespace

std::string charsetOf(const HeaderMap& headers)
{
    const auto header = headers.find("Content-type");
    if (header == headers.end())
        return {};
    constexpr std::string_view marker = "charset=";
    const std::string_view value = header->second;
    const size_t at = value.find(marker);
    if (at == std::string_view::npos)
        return {};
    return std::string(trim(value.substr(at + marker.size())));
}

// Leads 0xC0/0xC1 and 0xF5..0xF7 pass, as does anything a lead and its continuation bytes can spell;
// 0xED followed by a byte with both bits of 0xA0 set (a surrogate's form) decides GBK at once.
bool looksLikeUtf8(std::string_view body)
{
    const size_t size = body.size();
    for (size_t i = 0; i < size; ++i) {
        const auto byte = static_cast<unsigned char>(body[i]);
        if (byte < 0x80)
            continue;
        if (byte == 0xED && i + 1 < size && (static_cast<unsigned char>(body[i + 1]) & 0xA0) == 0xA0)
            return false;
        size_t continuation;
        if ((byte & 0xE0) == 0xC0)
            continuation = 1;
        else if ((byte & 0xF0) == 0xE0)
            continuation = 2;
        else if ((byte & 0xF8) == 0xF0)
            continuation = 3;
        else
            return false;
        for (; continuation; --continuation) {
            if (++i >= size || (static_cast<unsigned char>(body[i]) & 0xC0) != 0x80)
                return false;
        }
    }
    return true;
}

std::string responseText(const HeaderMap& headers, std::string_view body)
{
    const std::string charset = charsetOf(headers);
    if (charset == "utf-8")
        return utf8Text(body);
    if (charset == "gbk" || charset == "gb2312")
        return gbkToUtf8(body);
    if (!charset.empty())
        return {};
    return looksLikeUtf8(body) ? utf8Text(body) : gbkToUtf8(body);
}

} // namespace tvn
