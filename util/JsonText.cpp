// json11-compatible JSON text.

#include "util/JsonText.h"

#include <cstdio>

namespace tvn {

std::string json11String(std::string_view text)
{
    std::string out = "\"";
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '"': out += "\\\""; break;
        case '\b': out += "\\b"; break;
        case '\f': out += "\\f"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c <= 0x1f) {
                char escaped[8];
                std::snprintf(escaped, sizeof(escaped), "\\u%04x", c);
                out += escaped;
            } else if (c == 0xe2 && i + 2 < text.size() && static_cast<unsigned char>(text[i + 1]) == 0x80
                && (static_cast<unsigned char>(text[i + 2]) == 0xa8 || static_cast<unsigned char>(text[i + 2]) == 0xa9)) {
                // U+2028 and U+2029 end lines in JavaScript; json11 escapes them.
                out += static_cast<unsigned char>(text[i + 2]) == 0xa8 ? "\\u2028" : "\\u2029";
                i += 2;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out + "\"";
}

std::string json11Object(const std::vector<std::pair<std::string, std::string>>& members)
{
    std::string out = "{";
    for (size_t i = 0; i < members.size(); ++i) {
        if (i)
            out += ", ";
        out += json11String(members[i].first) + ": " + json11String(members[i].second);
    }
    return out + "}";
}

std::string json11Array(const std::vector<std::string>& items)
{
    std::string out = "[";
    for (size_t i = 0; i < items.size(); ++i) {
        if (i)
            out += ", ";
        out += json11String(items[i]);
    }
    return out + "]";
}

} // namespace tvn
