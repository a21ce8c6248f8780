// Reading and writing a run journal's lines.

#include "repair/RunJournal.h"

#include "util/Strings.h"
#include "util/UrlEncoding.h"

#include <charconv>
#include <set>

namespace tvn {

namespace {

std::vector<std::string_view> fieldsOf(std::string_view line)
{
    std::vector<std::string_view> fields;
    for (;;) {
        const size_t tab = line.find('\t');
        fields.push_back(line.substr(0, tab));
        if (tab == std::string_view::npos)
            return fields;
        line.remove_prefix(tab + 1);
    }
}

template<typename Number>
Number numberOf(std::string_view text)
{
    Number value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

std::optional<DriveEffect::Kind> effectKind(std::string_view name)
{
    if (name == "created")
        return DriveEffect::Kind::Created;
    if (name == "modified")
        return DriveEffect::Kind::Modified;
    if (name == "deleted")
        return DriveEffect::Kind::Deleted;
    return std::nullopt;
}

} // namespace

std::string encodeField(std::string_view text)
{
    return urlEncode(text);
}

std::string journalLine(std::initializer_list<std::string_view> fields)
{
    std::string line;
    for (std::string_view field : fields) {
        if (!line.empty())
            line += '\t';
        line += field;
    }
    return line + '\n';
}

std::optional<RunRecord> parseJournal(std::string_view text, std::string id)
{
    RunRecord record;
    record.id = std::move(id);
    bool begun = false;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        if (end == std::string_view::npos)
            break; // cut by a crash
        const std::vector<std::string_view> fields = fieldsOf(text.substr(0, end));
        text.remove_prefix(end + 1);
        const std::string_view kind = fields[0];
        const auto field = [&fields](size_t at) { return at < fields.size() ? fields[at] : std::string_view(); };
        if (!begun) {
            if (kind != "begin" || fields.size() < 4)
                return std::nullopt;
            record.started = numberOf<int64_t>(field(1));
            record.prefix = urlDecode(field(2));
            record.driveC = urlDecode(field(3));
            record.wine = urlDecode(field(4));
            begun = true;
        } else if (kind == "item") {
            record.items.push_back({ urlDecode(field(2)), std::string(field(1)) });
        } else if (kind == "replace") {
            record.changes.push_back({ FileChange::Kind::Replace, urlDecode(field(1)), std::string(field(2)) });
        } else if (kind == "create") {
            record.changes.push_back({ FileChange::Kind::Create, urlDecode(field(1)), {} });
        } else if (kind == "void") {
            // The last announcement for that path did not happen.
            const std::filesystem::path path = urlDecode(field(1));
            for (auto it = record.changes.rbegin(); it != record.changes.rend(); ++it) {
                if (it->path == path) {
                    record.changes.erase(std::next(it).base());
                    break;
                }
            }
        } else if (kind == "snapshot") {
            record.snapshot = true;
        } else if (kind == "effect") {
            if (const auto effect = effectKind(field(1)))
                record.effects.push_back({ *effect, field(2) == "1", field(3) == "1", urlDecode(field(4)) });
        } else if (kind == "end") {
            record.state = std::string(field(1));
            record.ended = numberOf<int64_t>(field(2));
        } else if (kind == "undo") {
            record.undoStarted = true;
        } else if (kind == "undone") {
            record.state = "undone";
            record.restored = numberOf<uint64_t>(field(2));
            record.removed = numberOf<uint64_t>(field(3));
        }
    }
    if (!begun)
        return std::nullopt;
    return record;
}

size_t RunRecord::changedCount() const
{
    std::set<std::filesystem::path> paths;
    for (const FileChange& change : changes)
        paths.insert(change.path);
    for (const DriveEffect& effect : effects) {
        if (!effect.directory)
            paths.insert(driveC / effect.path);
    }
    return paths.size();
}

std::vector<std::string> RunRecord::cannotRestore() const
{
    std::set<std::filesystem::path> journaled; // their old state is kept (old bytes, or absence)
    for (const FileChange& change : changes)
        journaled.insert(change.path);
    std::vector<std::string> paths;
    for (const DriveEffect& effect : effects) {
        const std::filesystem::path path = driveC / effect.path;
        if (!effect.system && !effect.directory && effect.kind != DriveEffect::Kind::Created && !journaled.count(path))
            paths.push_back(path.string());
    }
    return paths;
}

} // namespace tvn
