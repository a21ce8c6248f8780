// The resource pack reader. Every offset and length from the file is checked against the file's
// size before anything is allocated or read, so a lying header or index is a status, not a crash.

#include "pak/PakArchive.h"

#include "pak/PackKey.h"
#include "util/MD5.h"

#include <climits>
#include <cmath>
#include <fstream>
#include <future>
#include <zlib.h>

namespace tvn {

namespace {

constexpr std::string_view kMagic = "pak";
constexpr int64_t kHeaderSize = 8;
constexpr int64_t kSignatureSize = 32;

// Deflate cannot expand beyond 1032:1; an entry claiming more than its stream could ever fill is
// refused before its buffer is allocated.
constexpr int64_t kMaxInflateRatio = 1032;

class PackFile {
public:
    explicit PackFile(const std::filesystem::path& path)
        : m_stream(path, std::ios::binary)
    {
        if (m_stream && m_stream.seekg(0, std::ios::end))
            m_size = static_cast<int64_t>(m_stream.tellg());
    }

    bool isOpen() const { return m_size >= 0; }
    int64_t size() const { return m_size; }

    bool read(int64_t offset, char* out, int64_t length)
    {
        if (offset < 0 || length < 0 || offset > m_size || length > m_size - offset)
            return false;
        m_stream.seekg(offset);
        return static_cast<bool>(m_stream.read(out, length));
    }

private:
    std::ifstream m_stream;
    int64_t m_size = -1;
};

uint32_t loadLittleEndian32(const char* p)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(p);
    return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 | uint32_t(bytes[3]) << 24;
}

// Numbers out of the 32-bit range read as INT32_MIN, as a hardware conversion gives them: negative,
// so the entry is refused.
int32_t int32Field(const nlohmann::json& entry, const char* key)
{
    const auto value = entry.find(key);
    if (value == entry.end() || !value->is_number())
        return 0;
    if (value->is_number_unsigned()) {
        const auto number = value->get<uint64_t>();
        return number > INT32_MAX ? INT32_MIN : static_cast<int32_t>(number);
    }
    if (value->is_number_integer()) {
        const auto number = value->get<int64_t>();
        return number > INT32_MAX || number < INT32_MIN ? INT32_MIN : static_cast<int32_t>(number);
    }
    const double number = std::trunc(value->get<double>());
    return number > INT32_MAX || number < INT32_MIN ? INT32_MIN : static_cast<int32_t>(number);
}

// From this stored size on, the digest is computed on a second thread while this one inflates:
// the two together then take about as long as inflating alone.
constexpr int64_t kParallelDigestSize = 256 * 1024;

std::string digestOf(const std::string& bytes) { return MD5(bytes).hexdigest(); }

bool inflateInto(const std::string& stream, std::string& output)
{
    uLongf length = static_cast<uLongf>(output.size());
    return uncompress(reinterpret_cast<Bytef*>(output.data()), &length, reinterpret_cast<const Bytef*>(stream.data()),
               static_cast<uLong>(stream.size()))
        == Z_OK;
}

bool isSeparator(char c) { return c == '\\' || c == '|' || c == '/'; }

// A directory's "files" object; nullptr for anything that is not a directory.
const nlohmann::json* directoryFiles(const nlohmann::json& entry)
{
    if (!entry.is_object())
        return nullptr;
    const auto files = entry.find("files");
    return files != entry.end() && files->is_object() ? &*files : nullptr;
}

} // namespace

std::string_view describe(PakStatus status)
{
    switch (status) {
    case PakStatus::Ok: return "ok";
    case PakStatus::CannotOpen: return "cannot open the file";
    case PakStatus::BadMagic: return "not a pack (bad magic)";
    case PakStatus::Truncated: return "header, index or signature truncated";
    case PakStatus::BadSignature: return "index signature mismatch";
    case PakStatus::BadIndex: return "index is not valid JSON";
    case PakStatus::NotOpen: return "pack not open";
    case PakStatus::NotFound: return "no such entry";
    case PakStatus::Directory: return "entry is a directory";
    case PakStatus::BadEntry: return "entry offset or sizes out of range";
    case PakStatus::BadDigest: return "entry digest mismatch";
    case PakStatus::BadStream: return "entry is not a zlib stream of its size";
    }
    return "unknown";
}

std::string indexSignature(std::string_view indexText)
{
    MD5 md5(indexText);
    md5.update(packKey());
    return md5.hexdigest();
}

PakEntryFields entryFields(const nlohmann::json& entry)
{
    PakEntryFields fields;
    if (!entry.is_object())
        return fields;
    fields.offset = int32Field(entry, "offset");
    fields.size = int32Field(entry, "size");
    fields.gsize = int32Field(entry, "gsize");
    if (const auto hash = entry.find("hash"); hash != entry.end() && hash->is_string())
        fields.hash = hash->get<std::string>();
    return fields;
}

namespace {

void visitFiles(const nlohmann::json& files, const std::string& prefix,
    const std::function<void(const std::string&, const nlohmann::json&)>& visit)
{
    for (const auto& [name, entry] : files.items()) {
        if (!entry.is_object())
            continue;
        const std::string path = prefix.empty() ? name : prefix + "/" + name;
        if (const nlohmann::json* children = directoryFiles(entry))
            visitFiles(*children, path, visit);
        else
            visit(path, entry);
    }
}

} // namespace

void forEachFileEntry(const nlohmann::json& index,
    const std::function<void(const std::string& path, const nlohmann::json& entry)>& visit)
{
    if (const nlohmann::json* files = directoryFiles(index))
        visitFiles(*files, "", visit);
}

PakStatus PakArchive::open(const std::filesystem::path& path)
{
    m_path = path;
    m_index = nullptr;
    PackFile file(path);
    if (!file.isOpen())
        return PakStatus::CannotOpen;

    char header[kHeaderSize];
    if (!file.read(0, header, std::min<int64_t>(file.size(), 3)) || file.size() < 3
        || std::string_view(header, 3) != kMagic)
        return PakStatus::BadMagic;
    if (!file.read(0, header, kHeaderSize))
        return PakStatus::Truncated;

    const int64_t indexLength = loadLittleEndian32(header + 4);
    if (indexLength + kHeaderSize + kSignatureSize > file.size())
        return PakStatus::Truncated;
    std::string index(static_cast<size_t>(indexLength), '\0');
    char signature[kSignatureSize];
    if (!file.read(kHeaderSize, index.data(), indexLength) || !file.read(kHeaderSize + indexLength, signature, kSignatureSize))
        return PakStatus::CannotOpen;
    if (indexSignature(index) != std::string_view(signature, kSignatureSize))
        return PakStatus::BadSignature;

    nlohmann::json parsed = nlohmann::json::parse(index, nullptr, false);
    if (parsed.is_discarded() || parsed.is_null())
        return PakStatus::BadIndex;
    m_index = std::move(parsed);
    m_dataStart = kHeaderSize + indexLength + kSignatureSize;
    return PakStatus::Ok;
}

const nlohmann::json* PakArchive::find(std::string_view entryPath) const
{
    if (!isOpen())
        return nullptr;
    const nlohmann::json* current = &m_index;
    size_t at = 0;
    while (at < entryPath.size()) {
        if (isSeparator(entryPath[at])) {
            ++at;
            continue;
        }
        size_t end = at;
        while (end < entryPath.size() && !isSeparator(entryPath[end]))
            ++end;
        const nlohmann::json* files = directoryFiles(*current);
        if (!files)
            return nullptr;
        const auto child = files->find(entryPath.substr(at, end - at));
        if (child == files->end() || !child->is_object())
            return nullptr;
        current = &*child;
        at = end;
    }
    return current;
}

PakEntryContent PakArchive::read(std::string_view entryPath) const
{
    if (!isOpen())
        return { PakStatus::NotOpen, {} };
    const nlohmann::json* entry = find(entryPath);
    if (!entry)
        return { PakStatus::NotFound, {} };
    return readEntry(*entry);
}

PakEntryContent PakArchive::readEntry(const nlohmann::json& entry) const
{
    if (!isOpen())
        return { PakStatus::NotOpen, {} };
    if (directoryFiles(entry))
        return { PakStatus::Directory, {} };
    const PakEntryFields fields = entryFields(entry);
    if (fields.offset < 0 || fields.size < 0 || fields.gsize < 0 || fields.size > fields.gsize * kMaxInflateRatio)
        return { PakStatus::BadEntry, {} };

    PackFile file(m_path);
    if (!file.isOpen())
        return { PakStatus::CannotOpen, {} };
    // Within the file before anything is allocated for it: the index may claim any size.
    if (m_dataStart + fields.offset > file.size() || fields.gsize > file.size() - m_dataStart - fields.offset)
        return { PakStatus::BadEntry, {} };
    std::string stored(static_cast<size_t>(fields.gsize), '\0');
    if (!file.read(m_dataStart + fields.offset, stored.data(), fields.gsize))
        return { PakStatus::BadEntry, {} };

    // The digest decides first; inflating meanwhile only saves time (zlib is safe on any input).
    std::future<std::string> digest;
    if (fields.gsize >= kParallelDigestSize) {
        try {
            digest = std::async(std::launch::async, digestOf, std::cref(stored));
        } catch (const std::system_error&) {
            // No thread to be had: digest on this one.
        }
    }
    PakEntryContent content { PakStatus::Ok, std::string(static_cast<size_t>(fields.size), '\0') };
    const bool inflated = inflateInto(stored, content.bytes);
    if ((digest.valid() ? digest.get() : digestOf(stored)) != fields.hash)
        return { PakStatus::BadDigest, {} };
    if (!inflated)
        return { PakStatus::BadStream, {} };
    return content;
}

} // namespace tvn
