// Zip archives over minizip. The archive's file is opened once; minizip reads it through a
// duplicate of that descriptor, and the central-directory records are read from it directly.

#include "platform/ZipArchive.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <mutex>
#include <unistd.h>
#include <unzip.h>
#include <zip.h>

namespace tvn {

namespace {

constexpr uint32_t kCentralRecordSignature = 0x02014b50;
constexpr size_t kCentralRecordSize = 46;

uint64_t littleEndian(std::string_view bytes, size_t at, size_t width)
{
    uint64_t value = 0;
    for (size_t i = 0; i < width; ++i)
        value |= uint64_t(static_cast<unsigned char>(bytes[at + i])) << (8 * i);
    return value;
}

// minizip opens "the file" through this: a duplicate of the archive's descriptor, whatever name it
// is given.
voidpf openDuplicate(voidpf opaque, const void*, int)
{
    const int fd = ::fcntl(*static_cast<int*>(opaque), F_DUPFD_CLOEXEC, 0);
    if (fd < 0)
        return nullptr;
    FILE* file = ::fdopen(fd, "rb");
    if (!file)
        ::close(fd);
    return file;
}

} // namespace

std::optional<uint64_t> localHeaderOffset(std::string_view record)
{
    if (record.size() < kCentralRecordSize || littleEndian(record, 0, 4) != kCentralRecordSignature)
        return std::nullopt;
    const uint64_t offset = littleEndian(record, 42, 4);
    if (offset != 0xFFFFFFFFu)
        return offset;
    // The zip64 extra field holds, in order, each of these that its 32-bit field left at
    // 0xFFFFFFFF: the uncompressed size, the compressed size, the local header's offset.
    const size_t nameLength = littleEndian(record, 28, 2);
    const size_t extraLength = littleEndian(record, 30, 2);
    if (record.size() < kCentralRecordSize + nameLength + extraLength)
        return std::nullopt;
    std::string_view extra = record.substr(kCentralRecordSize + nameLength, extraLength);
    while (extra.size() >= 4) {
        const uint64_t id = littleEndian(extra, 0, 2);
        const size_t size = littleEndian(extra, 2, 2);
        if (extra.size() < 4 + size)
            return std::nullopt;
        if (id == 0x0001) {
            size_t at = 4;
            at += littleEndian(record, 24, 4) == 0xFFFFFFFFu ? 8 : 0;
            at += littleEndian(record, 20, 4) == 0xFFFFFFFFu ? 8 : 0;
            if (at + 8 > 4 + size)
                return std::nullopt;
            return littleEndian(extra, at, 8);
        }
        extra.remove_prefix(4 + size);
    }
    return std::nullopt;
}

struct ZipArchive::Reader {
    int fd = -1;
    unzFile archive = nullptr;
    mutable std::mutex walking; // minizip's handle has one current entry

    ~Reader()
    {
        if (archive)
            unzClose(archive);
        if (fd >= 0)
            ::close(fd);
    }

    bool open(const std::filesystem::path& path)
    {
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return false;
        zlib_filefunc64_def functions;
        fill_fopen64_filefunc(&functions);
        functions.zopen64_file = openDuplicate;
        functions.opaque = &fd;
        archive = unzOpen2_64(path.c_str(), &functions);
        return archive != nullptr;
    }

    std::string record(uint64_t offset, size_t length) const
    {
        std::string bytes(length, '\0');
        const ssize_t read = ::pread(fd, bytes.data(), length, static_cast<off_t>(offset));
        bytes.resize(read > 0 ? static_cast<size_t>(read) : 0);
        return bytes;
    }

    std::vector<ZipEntry> entries() const
    {
        std::lock_guard lock(walking);
        std::vector<ZipEntry> list;
        std::string name(0x10000, '\0');
        for (int status = unzGoToFirstFile(archive); status == UNZ_OK && list.size() < kMaxZipEntries; status = unzGoToNextFile(archive)) {
            unz_file_info64 info;
            if (unzGetCurrentFileInfo64(archive, &info, name.data(), static_cast<uLong>(name.size()), nullptr, 0, nullptr, 0) != UNZ_OK)
                break;
            ZipEntry entry;
            entry.index = static_cast<int64_t>(list.size());
            entry.name.assign(name.data(), std::min<size_t>(info.size_filename, name.size()));
            entry.size = info.uncompressed_size;
            entry.compressedSize = info.compressed_size;
            entry.isDirectory = !entry.name.empty() && (entry.name.back() == '/' || entry.name.back() == '\\');
            entry.crc32 = static_cast<uint32_t>(info.crc);
            entry.directoryOffset = unzGetOffset64(archive);
            const std::string bytes = record(entry.directoryOffset, kCentralRecordSize + info.size_filename + info.size_file_extra);
            entry.headerOffset = localHeaderOffset(bytes).value_or(0);
            list.push_back(std::move(entry));
        }
        return list;
    }
};

std::unique_ptr<ZipArchive> ZipArchive::open(const std::filesystem::path& path, char mode, int level)
{
    if ((level >= 0 && (level & 0xF) > 10) || path.empty())
        return nullptr;
    auto archive = std::make_unique<ZipArchive>(Token());
    switch (mode) {
    case 'r':
    case 'a':
    case 'd': {
        // Modifying modes open an existing archive; nothing here writes to it, so it stays valid.
        auto reader = std::make_unique<Reader>();
        if (!reader->open(path))
            return nullptr;
        archive->m_reader = std::move(reader);
        return archive;
    }
    case 'w':
        archive->m_writer = zipOpen64(path.c_str(), APPEND_STATUS_CREATE);
        if (!archive->m_writer)
            return nullptr;
        // Nothing is written through the page: the level only had to be valid.
        return archive;
    default:
        return nullptr;
    }
}

ZipArchive::ZipArchive(Token) { }

ZipArchive::~ZipArchive()
{
    if (m_writer)
        zipClose(static_cast<zipFile>(m_writer), nullptr);
}

std::vector<ZipEntry> ZipArchive::entries() const
{
    return m_reader ? m_reader->entries() : std::vector<ZipEntry>();
}

std::optional<std::vector<ZipEntry>> listZipArchive(const std::filesystem::path& path)
{
    const std::unique_ptr<ZipArchive> archive = ZipArchive::open(path, 'r', -1);
    if (!archive)
        return std::nullopt;
    return archive->entries();
}

} // namespace tvn
