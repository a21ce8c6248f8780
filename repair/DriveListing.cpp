// Listing a drive_c and comparing two listings.

#include "repair/DriveListing.h"

#include "util/Strings.h"
#include "util/UrlEncoding.h"

#include <algorithm>
#include <charconv>
#include <sys/stat.h>

namespace tvn {

namespace {

template<typename Number>
Number numberOf(std::string_view text)
{
    Number value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

void walk(const std::filesystem::path& folder, const std::string& relative, DriveListing& listing)
{
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        const std::string path = relative.empty() ? name : relative + "/" + name;
        struct stat status {};
        if (::lstat(it->path().c_str(), &status) != 0)
            continue;
        const bool directory = S_ISDIR(status.st_mode);
        listing.push_back({ path, directory, directory ? 0 : static_cast<uint64_t>(status.st_size),
            static_cast<int64_t>(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec, static_cast<uint64_t>(status.st_ino) });
        if (directory)
            walk(it->path(), path, listing);
    }
}

} // namespace

DriveListing listDrive(const std::filesystem::path& driveC)
{
    DriveListing listing;
    walk(driveC, {}, listing);
    std::sort(listing.begin(), listing.end(), [](const ListedFile& a, const ListedFile& b) { return a.path < b.path; });
    return listing;
}

std::string listingText(const DriveListing& listing)
{
    std::string text;
    for (const ListedFile& file : listing) {
        text += file.directory ? 'd' : 'f';
        text += '\t' + std::to_string(file.size) + '\t' + std::to_string(file.modified) + '\t' + std::to_string(file.inode) + '\t'
            + urlEncode(file.path) + '\n';
    }
    return text;
}

DriveListing parseListing(std::string_view text)
{
    DriveListing listing;
    for (const std::string& line : splitNonEmpty(text, '\n')) {
        std::vector<std::string_view> fields;
        std::string_view rest = line;
        for (size_t tab; (tab = rest.find('\t')) != std::string_view::npos; rest.remove_prefix(tab + 1))
            fields.push_back(rest.substr(0, tab));
        fields.push_back(rest);
        if (fields.size() != 5)
            continue;
        listing.push_back({ urlDecode(fields[4]), fields[0] == "d", numberOf<uint64_t>(fields[1]), numberOf<int64_t>(fields[2]),
            numberOf<uint64_t>(fields[3]) });
    }
    // Stable: entries a damaged file names twice keep their order, and a listing written back reads the same.
    std::stable_sort(listing.begin(), listing.end(), [](const ListedFile& a, const ListedFile& b) { return a.path < b.path; });
    return listing;
}

bool inSystemFolder(std::string_view relative)
{
    const std::string lower = asciiLower(relative);
    for (std::string_view folder : { "windows/system32/", "windows/syswow64/" }) {
        if (lower.starts_with(folder))
            return true;
    }
    return false;
}

std::vector<DriveEffect> listingEffects(const DriveListing& before, const DriveListing& after)
{
    std::vector<DriveEffect> effects;
    const auto add = [&effects](DriveEffect::Kind kind, const ListedFile& file) {
        effects.push_back({ kind, inSystemFolder(file.path), file.directory, file.path });
    };
    auto old = before.begin();
    auto now = after.begin();
    while (old != before.end() || now != after.end()) {
        if (now == after.end() || (old != before.end() && old->path < now->path)) {
            add(DriveEffect::Kind::Deleted, *old++);
        } else if (old == before.end() || now->path < old->path) {
            add(DriveEffect::Kind::Created, *now++);
        } else {
            if (old->directory != now->directory) {
                add(DriveEffect::Kind::Deleted, *old);
                add(DriveEffect::Kind::Created, *now);
            } else if (!now->directory && (old->size != now->size || old->modified != now->modified || old->inode != now->inode)) {
                add(DriveEffect::Kind::Modified, *now);
            }
            ++old;
            ++now;
        }
    }
    return effects;
}

} // namespace tvn
