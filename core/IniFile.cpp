// INI parsing and canonical writing.

#include "core/IniFile.h"

#include "platform/AtomicFile.h"

#include <cstdio>
#include <fstream>
#include <iterator>

namespace tvn {

namespace {

// Tabs are deliberately not trimmed: a value may begin or end with them.
std::string_view trim(std::string_view text)
{
    constexpr std::string_view blanks = " \r\n";
    const size_t first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

} // namespace

bool IniFile::parse(std::string_view text, Sections& sections)
{
    sections.clear();
    std::string current; // lines before the first header belong to the section named ""
    while (!text.empty()) {
        const size_t end = text.find('\n');
        const std::string_view line = trim(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);

        if (line.empty() || line.front() == '#')
            continue;
        if (line.front() == '[') {
            const size_t close = line.find(']');
            if (close == std::string_view::npos)
                return false;
            current = trim(line.substr(1, close - 1));
            sections[current].clear();
            continue;
        }
        const size_t equals = line.find('=');
        if (equals == std::string_view::npos)
            return false;
        sections[current][std::string(trim(line.substr(0, equals)))] = trim(line.substr(equals + 1));
    }
    return true;
}

bool IniFile::storable(std::string_view section, std::string_view key, std::string_view value)
{
    const auto hasLineBreak = [](std::string_view text) { return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos; };
    if (hasLineBreak(section) || hasLineBreak(key) || hasLineBreak(value) || section.find(']') != std::string_view::npos)
        return false;
    const std::string_view name = trim(key);
    return name.find('=') == std::string_view::npos && !name.starts_with('[') && !name.starts_with('#');
}

bool IniFile::load(const std::filesystem::path& path)
{
    m_sections.clear();
    m_path = path;
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        std::printf("loading file failed: %s is not found.\n", path.c_str());
        return false;
    }
    const std::string text { std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>() };
    return parse(text, m_sections);
}

bool IniFile::save(const std::filesystem::path& path) const
{
    if (platform::writeFileAtomically(path, toText())) {
        std::printf("opening file failed: %s.\n", path.c_str());
        return false;
    }
    return true;
}

std::string IniFile::toText() const
{
    std::string text;
    for (const auto& [name, keys] : m_sections) {
        text += '[';
        text += name;
        text += "]\n";
        for (const auto& [key, value] : keys) {
            text += key;
            text += " = ";
            text += value;
            text += '\n';
        }
        text += '\n';
    }
    return text;
}

bool IniFile::hasKey(std::string_view section, std::string_view key) const
{
    const auto found = m_sections.find(section);
    return found != m_sections.end() && found->second.find(key) != found->second.end();
}

std::string& IniFile::value(std::string_view section, std::string_view key)
{
    auto found = m_sections.find(section);
    if (found == m_sections.end())
        found = m_sections.emplace(std::string(section), Section()).first;
    auto entry = found->second.find(key);
    if (entry == found->second.end())
        entry = found->second.emplace(std::string(key), std::string()).first;
    return entry->second;
}

} // namespace tvn
