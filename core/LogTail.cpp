// The newest lines of the log files, merged in time order.

#include "core/LogTail.h"

#include <algorithm>
#include <fstream>

namespace tvn {

namespace {

constexpr std::streamoff kReadFromEnd = 256 * 1024;

// The time a line starts with ("2026-12-09 00:58:16.138"), or "" for a continuation.
std::string_view timeOf(std::string_view line)
{
    constexpr size_t kLength = 23;
    if (line.size() < kLength || line[4] != '-' || line[10] != ' ' || line[19] != '.')
        return {};
    return line.substr(0, kLength);
}

} // namespace

std::vector<std::string> lastLines(std::string_view text, size_t count, bool cut)
{
    std::vector<std::string> lines;
    size_t start = 0;
    if (cut) {
        const size_t newline = text.find('\n');
        start = newline == std::string_view::npos ? text.size() : newline + 1;
    }
    while (start < text.size()) {
        const size_t end = text.find('\n', start);
        std::string_view line = text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        lines.emplace_back(line);
        start = end == std::string_view::npos ? text.size() : end + 1;
    }
    if (lines.size() > count)
        lines.erase(lines.begin(), lines.end() - static_cast<std::ptrdiff_t>(count));
    return lines;
}

std::vector<LogLine> mergeLogLines(const std::vector<std::pair<std::string, std::vector<std::string>>>& processes, size_t count)
{
    // Each line sorts by the time of the last timed line at or before it in its own file.
    struct Keyed {
        std::string_view time;
        size_t process;
        size_t index;
    };
    std::vector<Keyed> keyed;
    for (size_t p = 0; p < processes.size(); ++p) {
        std::string_view time;
        const std::vector<std::string>& lines = processes[p].second;
        for (size_t i = 0; i < lines.size(); ++i) {
            if (const std::string_view own = timeOf(lines[i]); !own.empty())
                time = own;
            keyed.push_back({ time, p, i });
        }
    }
    std::stable_sort(keyed.begin(), keyed.end(), [](const Keyed& a, const Keyed& b) { return a.time < b.time; });
    const size_t first = keyed.size() > count ? keyed.size() - count : 0;
    std::vector<LogLine> merged;
    for (size_t k = first; k < keyed.size(); ++k)
        merged.push_back({ processes[keyed[k].process].first, processes[keyed[k].process].second[keyed[k].index] });
    return merged;
}

std::vector<LogLine> newestLogLines(const std::filesystem::path& folder, size_t count)
{
    std::vector<std::pair<std::string, std::vector<std::string>>> processes;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        if (entry.path().extension() != ".log" || !entry.is_regular_file(error))
            continue;
        std::ifstream file(entry.path(), std::ios::binary);
        file.seekg(0, std::ios::end);
        const std::streamoff size = file.tellg();
        if (!file || size <= 0)
            continue;
        const std::streamoff from = std::max<std::streamoff>(size - kReadFromEnd, 0);
        file.seekg(from);
        std::string text(static_cast<size_t>(size - from), '\0');
        file.read(text.data(), static_cast<std::streamsize>(text.size()));
        text.resize(static_cast<size_t>(std::max<std::streamsize>(file.gcount(), 0)));
        processes.emplace_back(entry.path().stem().string(), lastLines(text, count, from > 0));
    }
    // Files in name order, so that lines of the same time come in the same order every time.
    std::sort(processes.begin(), processes.end());
    return mergeLogLines(processes, count);
}

} // namespace tvn
