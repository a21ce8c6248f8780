// Writing resource packs that the reader accepts: entries deflated as zlib streams, named as URL
// paths spell them, the index signed with the pack key. The same input always gives the same
// bytes: names are sorted and nothing time-dependent is written.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace tvn::pak {

struct InputFile {
    std::string name;    // the entry path, names joined with "/", each as a URL path carries it
    std::string content;
};

// One file or folder name as a URL path carries it: bytes that a URL would percent-encode (or
// that would end or split the path: "?", "#", "%", "\", "|") become "%XX".
std::string urlPathName(std::string_view name);

// Every regular file below `folder`, named relative to it through urlPathName, sorted by name.
// Throws std::runtime_error naming the file that cannot be read.
std::vector<InputFile> collectFolder(const std::filesystem::path& folder);

// The pack holding `files` (directories follow from the names).
std::string buildPak(const std::vector<InputFile>& files);

// A pack from an index text and a data area as they stand: the header, the signature over the
// index, the data. For tests that need packs the writer would never make.
std::string assemblePak(std::string_view indexText, std::string_view dataArea, char fourthMagicByte = '\x01');

// One zlib stream of `content`.
std::string deflateStream(std::string_view content);

} // namespace tvn::pak
