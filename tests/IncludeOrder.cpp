// tvn_include_order <source root>: checks the layering of the product's folders. Each folder may
// include only from itself and the folders before it in kOrder (the README's layout), and no chain
// of includes between files may come back to where it started. Prints every breach; exit 1 when
// there is any.

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace {

const std::vector<std::string> kOrder = { "util", "platform", "wine", "ipc", "window", "pak", "core", "identity", "net", "startup",
    "repair", "browser", "modules", "renderer", "app", "tools" };

int rankOf(const std::string& folder)
{
    const auto found = std::find(kOrder.begin(), kOrder.end(), folder);
    return found == kOrder.end() ? -1 : static_cast<int>(found - kOrder.begin());
}

std::string topFolder(const std::string& path)
{
    return path.substr(0, path.find('/'));
}

using Graph = std::map<std::string, std::vector<std::string>>;

// Depth-first search for a chain that comes back: reports each cycle once, by its first file.
bool findCycle(const Graph& graph, const std::string& file, std::vector<std::string>& path, std::set<std::string>& done)
{
    if (const auto at = std::find(path.begin(), path.end(), file); at != path.end()) {
        std::cout << "include cycle:";
        for (auto it = at; it != path.end(); ++it)
            std::cout << ' ' << *it << " ->";
        std::cout << ' ' << file << '\n';
        return true;
    }
    if (done.count(file))
        return false;
    path.push_back(file);
    bool cycle = false;
    if (const auto edges = graph.find(file); edges != graph.end())
        for (const std::string& next : edges->second)
            cycle = findCycle(graph, next, path, done) || cycle;
    path.pop_back();
    done.insert(file);
    return cycle;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::cerr << "usage: tvn_include_order <source root>\n";
        return 2;
    }
    const std::filesystem::path root = argv[1];
    const std::regex include(R"re(^\s*#\s*include\s*"([^"]+)")re");
    Graph graph;
    int breaches = 0;
    size_t files = 0;
    for (const std::string& folder : kOrder) {
        for (const auto& entry : std::filesystem::recursive_directory_iterator(root / folder)) {
            const std::string extension = entry.path().extension().string();
            if (!entry.is_regular_file() || (extension != ".h" && extension != ".cpp"))
                continue;
            ++files;
            const std::string file = std::filesystem::relative(entry.path(), root).generic_string();
            std::ifstream in(entry.path());
            int lineNumber = 0;
            for (std::string line; std::getline(in, line);) {
                ++lineNumber;
                std::smatch match;
                if (!std::regex_search(line, match, include))
                    continue;
                const std::string target = match[1];
                const int targetRank = rankOf(topFolder(target));
                if (targetRank < 0)
                    continue; // a generated header or one of another tree
                graph[file].push_back(target);
                if (targetRank > rankOf(folder)) {
                    std::cout << file << ':' << lineNumber << ": " << folder << "/ includes " << target << ", from a folder above it\n";
                    ++breaches;
                }
            }
        }
    }
    std::set<std::string> done;
    for (const auto& [file, edges] : graph) {
        std::vector<std::string> path;
        breaches += findCycle(graph, file, path, done) ? 1 : 0;
    }
    std::cout << files << " files read, " << breaches << " breaches\n";
    return breaches ? 1 : 0;
}
