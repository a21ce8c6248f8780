// ELF64 section lookup by name. Every offset and size read from the file is checked against the
// file's length before use, so a truncated or hostile file gives nullopt, never a wild read.

#include "platform/ElfSection.h"

#include <cstring>
#include <elf.h>
#include <fstream>
#include <vector>

namespace tvn::platform {

namespace {

// Sections larger than this are not resources of ours; refusing them bounds memory use.
constexpr uint64_t kMaxSectionSize = 16 * 1024 * 1024;

class FileReader {
public:
    explicit FileReader(const std::filesystem::path& path)
        : m_stream(path, std::ios::binary)
    {
        if (m_stream) {
            m_stream.seekg(0, std::ios::end);
            m_size = static_cast<uint64_t>(m_stream.tellg());
        }
    }

    bool read(uint64_t offset, uint64_t length, void* out)
    {
        if (!m_stream || offset > m_size || length > m_size - offset)
            return false;
        m_stream.seekg(static_cast<std::streamoff>(offset));
        return static_cast<bool>(m_stream.read(static_cast<char*>(out), static_cast<std::streamsize>(length)));
    }

private:
    std::ifstream m_stream;
    uint64_t m_size = 0;
};

bool isNativeElf64(const Elf64_Ehdr& header)
{
    return !std::memcmp(header.e_ident, ELFMAG, SELFMAG) && header.e_ident[EI_CLASS] == ELFCLASS64
        && header.e_ident[EI_DATA] == ELFDATA2LSB && header.e_shentsize == sizeof(Elf64_Shdr);
}

} // namespace

std::optional<std::string> readElfSection(const std::filesystem::path& file, std::string_view name)
{
    FileReader reader(file);
    Elf64_Ehdr header;
    if (!reader.read(0, sizeof(header), &header) || !isNativeElf64(header) || !header.e_shoff)
        return std::nullopt;

    // Section 0 holds the real count and string-table index when they overflow the header fields.
    Elf64_Shdr first;
    if (!reader.read(header.e_shoff, sizeof(first), &first))
        return std::nullopt;
    const uint64_t count = header.e_shnum ? header.e_shnum : first.sh_size;
    const uint64_t namesIndex = header.e_shstrndx == SHN_XINDEX ? first.sh_link : header.e_shstrndx;
    if (count > 0xFFFFFF || namesIndex >= count)
        return std::nullopt;

    std::vector<Elf64_Shdr> sections(count);
    if (!reader.read(header.e_shoff, count * sizeof(Elf64_Shdr), sections.data()))
        return std::nullopt;

    const Elf64_Shdr& namesSection = sections[namesIndex];
    if (namesSection.sh_size > kMaxSectionSize)
        return std::nullopt;
    std::string names(namesSection.sh_size, '\0');
    if (!reader.read(namesSection.sh_offset, names.size(), names.data()))
        return std::nullopt;

    for (const Elf64_Shdr& section : sections) {
        if (section.sh_name >= names.size())
            continue;
        if (std::string_view(names.c_str() + section.sh_name) != name)
            continue;
        if (section.sh_type == SHT_NOBITS)
            return std::string();
        if (section.sh_size > kMaxSectionSize)
            return std::nullopt;
        std::string bytes(section.sh_size, '\0');
        if (!reader.read(section.sh_offset, bytes.size(), bytes.data()))
            return std::nullopt;
        return bytes;
    }
    return std::nullopt;
}

} // namespace tvn::platform
