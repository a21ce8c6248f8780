// IniFile: the reader and writer of config.ini and of the INI files script reads and writes.
//
// Format: "[section]" headers and "key=value" lines; blanks, carriage returns and line feeds are
// trimmed from both ends of every line, name and value (tabs are kept); a line starting with "#" is
// a comment. Lines before the first header belong to the section named "". A repeated header starts
// its section afresh; a repeated key keeps the last value. Loading stops, returning false, at a
// header without "]" or a line without "=", keeping what it read before that line.
//
// Saving always writes the canonical layout: sections and keys in byte order, "key = value", an
// empty line after each section. Names and values are bytes, compared byte by byte.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <string_view>

namespace tvn {

class IniFile {
public:
    using Section = std::map<std::string, std::string, std::less<>>;
    using Sections = std::map<std::string, Section, std::less<>>;

    IniFile() = default;
    explicit IniFile(const std::filesystem::path& path) { load(path); }

    // Replaces the content with the file's. Prints "loading file failed: <path> is not found." to
    // standard output when the file cannot be opened.
    bool load(const std::filesystem::path& path);

    // Replaces the file with toText(), atomically (the old file stays whole if this fails). Prints
    // "opening file failed: <path>." to standard output and returns false when it cannot be written.
    bool save(const std::filesystem::path& path) const;

    std::string toText() const;
    bool hasKey(std::string_view section, std::string_view key) const;

    // The stored value, created empty when missing; ask hasKey() first to avoid creating entries.
    std::string& value(std::string_view section, std::string_view key);

    const Sections& sections() const { return m_sections; }
    const std::filesystem::path& path() const { return m_path; }

    // Parses INI text into `sections` (which it clears first); the load rules above.
    static bool parse(std::string_view text, Sections& sections);

    // Whether an entry reads back as written and adds nothing else: no line break anywhere, no
    // "]" in the section, and a key that has no "=" and does not begin as a header or a comment
    // would ("[", "#").
    static bool storable(std::string_view section, std::string_view key, std::string_view value);

private:
    std::filesystem::path m_path;
    Sections m_sections;
};

} // namespace tvn
