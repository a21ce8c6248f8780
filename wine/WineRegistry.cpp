// Reading Wine's registry text.

#include "wine/WineRegistry.h"

#include "util/Strings.h"
#include "util/TextConvert.h"

#include <cctype>
#include <fstream>
#include <iterator>

namespace tvn::wine {

namespace {

// The code unit of a "\x" escape whose "x" is at `at`: up to four hex digits; `at` ends on the last.
uint32_t readHexEscape(std::string_view line, size_t& at)
{
    uint32_t code = 0;
    for (int digits = 0; digits < 4 && at + 1 < line.size() && std::isxdigit(static_cast<unsigned char>(line[at + 1])); ++digits) {
        const char digit = line[++at];
        code = code * 16 + static_cast<uint32_t>(std::isdigit(static_cast<unsigned char>(digit)) ? digit - '0' : (digit | 0x20) - 'a' + 10);
    }
    return code;
}

// The character of a "\x" escape at `at`. Wine writes UTF-16 code units, so a character beyond the
// BMP is two escapes in a row, a high surrogate then a low one; a surrogate without its partner is
// U+FFFD.
char32_t readEscapedCharacter(std::string_view line, size_t& at)
{
    const uint32_t unit = readHexEscape(line, at);
    if (unit >= 0xDC00 && unit <= 0xDFFF)
        return U'\uFFFD';
    if (unit < 0xD800 || unit > 0xDBFF)
        return unit;
    size_t next = at + 1;
    if (next + 1 < line.size() && line[next] == '\\' && line[next + 1] == 'x') {
        ++next;
        const uint32_t low = readHexEscape(line, next);
        if (low >= 0xDC00 && low <= 0xDFFF) {
            at = next;
            return 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
        }
    }
    return U'\uFFFD';
}

// The quoted string starting at `at` (the opening quote); `at` ends after the closing one.
// false when the string is not closed on its line.
bool readQuoted(std::string_view line, size_t& at, std::string& text)
{
    if (at >= line.size() || line[at] != '"')
        return false;
    for (++at; at < line.size(); ++at) {
        const char c = line[at];
        if (c == '"') {
            ++at;
            return true;
        }
        if (c != '\\' || at + 1 >= line.size()) {
            text += c;
            continue;
        }
        const char escaped = line[++at];
        switch (escaped) {
        case 'n': text += '\n'; break;
        case 'r': text += '\r'; break;
        case 't': text += '\t'; break;
        case '0': text += '\0'; break;
        case 'x':
            text += wideToUtf8(std::wstring(1, static_cast<wchar_t>(readEscapedCharacter(line, at))));
            break;
        default: text += escaped; break; // \\ and \" and anything else as itself
        }
    }
    return false;
}

} // namespace

WineRegistryKeys parseWineRegistry(std::string_view text)
{
    WineRegistryKeys keys;
    std::map<std::string, std::string>* key = nullptr;
    std::string line;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        const bool whole = end != std::string_view::npos;
        if (!whole)
            end = text.size();
        line.assign(text.substr(start, end - start));
        start = end + 1;
        // A hex value continues on the next line after a trailing backslash.
        while (!line.empty() && line.back() == '\\' && start < text.size()) {
            line.pop_back();
            size_t next = text.find('\n', start);
            if (next == std::string_view::npos)
                next = text.size();
            std::string_view continued = text.substr(start, next - start);
            while (!continued.empty() && (continued.front() == ' ' || continued.front() == '\t'))
                continued.remove_prefix(1);
            line += continued;
            start = next + 1;
        }
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == ';' || line[0] == '#')
            continue;
        if (line[0] == '[') {
            const size_t close = line.find(']');
            if (close == std::string::npos) {
                key = nullptr; // cut short
                continue;
            }
            std::string name;
            for (size_t i = 1; i < close; ++i) {
                name += line[i];
                if (line[i] == '\\' && i + 1 < close && line[i + 1] == '\\')
                    ++i;
            }
            key = &keys[name];
            continue;
        }
        if (!key)
            continue;
        std::string name;
        size_t at = 0;
        if (line[0] == '@') {
            at = 1;
        } else if (!readQuoted(line, at, name)) {
            continue;
        }
        if (at >= line.size() || line[at] != '=')
            continue;
        ++at;
        const std::string_view value = std::string_view(line).substr(at);
        std::string data;
        if (value.starts_with("\"")) {
            size_t quoted = at;
            if (readQuoted(line, quoted, data))
                (*key)[name] = data;
        } else if (value.starts_with("str(2):\"")) {
            size_t quoted = at + 7;
            if (readQuoted(line, quoted, data))
                (*key)[name] = data;
        } else if (value.starts_with("hex(1):") || value.starts_with("hex(2):")) {
            std::vector<uint8_t> bytes;
            std::string_view list = value.substr(7);
            while (list.size() >= 2 && std::isxdigit(static_cast<unsigned char>(list[0])) && std::isxdigit(static_cast<unsigned char>(list[1]))) {
                bytes.push_back(static_cast<uint8_t>(std::stoi(std::string(list.substr(0, 2)), nullptr, 16)));
                list.remove_prefix(2);
                if (!list.empty() && list[0] == ',')
                    list.remove_prefix(1);
            }
            (*key)[name] = utf16leToUtf8(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
        }
    }
    return keys;
}

std::vector<std::string> uninstallDisplayNames(const WineRegistryKeys& keys)
{
    static const std::string lists[] = { "software\\microsoft\\windows\\currentversion\\uninstall\\",
        "software\\wow6432node\\microsoft\\windows\\currentversion\\uninstall\\" };
    std::vector<std::string> names;
    for (const auto& [key, values] : keys) {
        const std::string lowered = asciiLower(key);
        for (const std::string& list : lists) {
            if (!lowered.starts_with(list) || lowered.find('\\', list.size()) != std::string::npos || lowered.size() == list.size())
                continue;
            const auto name = values.find("DisplayName");
            if (name != values.end() && !name->second.empty())
                names.push_back(name->second);
        }
    }
    return names;
}

std::vector<std::string> prefixInstalledPrograms(const std::filesystem::path& prefix)
{
    std::vector<std::string> names;
    for (const char* file : { "system.reg", "user.reg" }) {
        // One read of the whole file: Wine replaces it by renaming a new one in, so a read sees the
        // old file or the new one.
        std::ifstream stream(prefix / file, std::ios::binary);
        const std::string text { std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>() };
        const std::vector<std::string> found = uninstallDisplayNames(parseWineRegistry(text));
        names.insert(names.end(), found.begin(), found.end());
    }
    return names;
}

} // namespace tvn::wine
