// The pack writer.

#include "tools/pak/PakWriter.h"

#include "pak/PakArchive.h"
#include "util/MD5.h"
#include "util/UrlEncoding.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <zlib.h>

namespace tvn::pak {

namespace {

bool needsEncoding(unsigned char c)
{
    if (c <= 0x20 || c >= 0x7F)
        return true;
    return std::string_view("\"#%<>?\\^`{|}").find(static_cast<char>(c)) != std::string_view::npos;
}

void appendLittleEndian32(std::string& out, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out += static_cast<char>(value >> (8 * i));
}

std::string readWhole(const std::filesystem::path& path)
{
    std::ifstream file(path, std::ios::binary);
    if (!file)
        throw std::runtime_error("cannot read " + path.string());
    std::string content { std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>() };
    if (file.bad())
        throw std::runtime_error("cannot read " + path.string());
    return content;
}

} // namespace

std::string urlPathName(std::string_view name)
{
    return percentEncode(name, [](unsigned char c) { return !needsEncoding(c); });
}

std::vector<InputFile> collectFolder(const std::filesystem::path& folder)
{
    if (!std::filesystem::is_directory(folder))
        throw std::runtime_error("not a folder: " + folder.string());
    std::vector<InputFile> files;
    for (const auto& item : std::filesystem::recursive_directory_iterator(folder)) {
        if (!item.is_regular_file())
            continue;
        std::string name;
        for (const auto& part : std::filesystem::relative(item.path(), folder)) {
            if (!name.empty())
                name += '/';
            name += urlPathName(part.string());
        }
        files.push_back({ std::move(name), readWhole(item.path()) });
    }
    std::sort(files.begin(), files.end(), [](const InputFile& a, const InputFile& b) { return a.name < b.name; });
    return files;
}

std::string deflateStream(std::string_view content)
{
    uLongf length = compressBound(static_cast<uLong>(content.size()));
    std::string stream(length, '\0');
    if (compress2(reinterpret_cast<Bytef*>(stream.data()), &length, reinterpret_cast<const Bytef*>(content.data()),
            static_cast<uLong>(content.size()), Z_BEST_COMPRESSION) != Z_OK)
        throw std::runtime_error("deflate failed");
    stream.resize(length);
    return stream;
}

std::string buildPak(const std::vector<InputFile>& files)
{
    nlohmann::json index = { { "files", nlohmann::json::object() } };
    std::string data;
    for (const InputFile& file : files) {
        const std::string stream = deflateStream(file.content);
        if (data.size() + stream.size() > INT32_MAX || file.content.size() > INT32_MAX)
            throw std::runtime_error("a pack holds less than 2 GiB: " + file.name);

        nlohmann::json* directory = &index;
        std::string_view rest = file.name;
        for (size_t slash; (slash = rest.find('/')) != std::string_view::npos; rest.remove_prefix(slash + 1)) {
            nlohmann::json& child = (*directory)["files"][std::string(rest.substr(0, slash))];
            if (!child.contains("files"))
                child["files"] = nlohmann::json::object();
            directory = &child;
        }
        (*directory)["files"][std::string(rest)] = {
            { "offset", data.size() },
            { "size", file.content.size() },
            { "gsize", stream.size() },
            { "hash", MD5(stream).hexdigest() },
        };
        data += stream;
    }
    return assemblePak(index.dump(), data);
}

std::string assemblePak(std::string_view indexText, std::string_view dataArea, char fourthMagicByte)
{
    std::string pack = "pak";
    pack += fourthMagicByte;
    appendLittleEndian32(pack, static_cast<uint32_t>(indexText.size()));
    pack += indexText;
    pack += indexSignature(indexText);
    pack += dataArea;
    return pack;
}

} // namespace tvn::pak
