// Valve's KeyValues text, as Steam writes libraryfolders.vdf and appmanifest_<id>.acf: a tree of
// quoted (or bare) keys, each with a quoted value or a braced block of more pairs. "//" starts a
// comment to the end of its line; "\n", "\t", "\\" and "\"" are escapes inside quotes; a
// "[$CONDITION]" after a pair is read and ignored.
//
// Read-only and strict about structure: a file cut short or unbalanced is no tree at all, so a
// broken file is noticed rather than half used. Nesting deeper than 64 is refused.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tvn::wine {

struct VdfEntry;

struct VdfNode {
    std::string value;              // a leaf's text
    std::vector<VdfEntry> children; // a block's pairs, in order
    bool isBlock = false;

    // The first child whose key equals `key` without regard to ASCII case (Steam's own files
    // disagree on it: "LibraryFolders" and "libraryfolders"); nullptr when there is none.
    const VdfNode* find(std::string_view key) const;
    // The text of the leaf child `key`; nullopt when it is missing or a block.
    std::optional<std::string> text(std::string_view key) const;
};

struct VdfEntry {
    std::string key;
    VdfNode node;
};

// The file's top-level pairs as the children of one block; nullopt when the text is not well formed.
std::optional<VdfNode> parseVdf(std::string_view text);

} // namespace tvn::wine
