// Following a program's imports through a prefix.

#include "wine/ImportWalk.h"

#include "util/Strings.h"

#include <algorithm>
#include <deque>
#include <map>
#include <optional>

namespace tvn::wine {

namespace {

bool isApiSet(const std::string& lowerName)
{
    return lowerName.starts_with("api-ms-win-") || lowerName.starts_with("ext-ms-");
}

// The files of each folder by lower-case name, listed once: a system folder holds thousands.
class FolderListings {
public:
    std::optional<std::filesystem::path> find(const std::vector<std::filesystem::path>& folders, const std::string& lowerName)
    {
        for (const auto& folder : folders) {
            const auto& files = listing(folder);
            if (const auto found = files.find(lowerName); found != files.end())
                return folder / found->second;
        }
        return std::nullopt;
    }

private:
    const std::map<std::string, std::string>& listing(const std::filesystem::path& folder)
    {
        auto [at, added] = m_listings.try_emplace(folder);
        if (added) {
            std::error_code error;
            for (std::filesystem::directory_iterator entry(folder, error), end; !error && entry != end; entry.increment(error)) {
                const std::string name = entry->path().filename().string();
                // Two spellings of one name (a case-sensitive file system): the first listed wins.
                at->second.try_emplace(asciiLower(name), name);
            }
        }
        return at->second;
    }

    std::map<std::filesystem::path, std::map<std::string, std::string>> m_listings;
};

// The system folder of a program's machine in the prefix; empty when the prefix has none for it.
std::filesystem::path systemFolder(const LoaderFolders& folders, PeMachine machine)
{
    if (folders.prefixArch == "win32")
        return machine == PeMachine::X86 ? folders.system32 : std::filesystem::path();
    return machine == PeMachine::X86 ? folders.syswow64 : folders.system32;
}

struct Walked {
    std::string fileName;
    PeImage image;
};

} // namespace

ProgramNeeds analyzeProgram(const std::filesystem::path& program, const LoaderFolders& folders)
{
    ProgramNeeds needs;
    needs.path = program;
    PeReading top = readPeFile(program);
    if (!top.image) {
        needs.error = top.error;
        return needs;
    }
    const PeMachine machine = top.image->machine;
    needs.machine = machineName(machine);
    needs.kind = top.image->dll ? "dll" : "program";
    needs.dotnet = top.image->dotnet;
    needs.runtimeVersion = top.image->runtimeVersion;

    std::vector<std::filesystem::path> searchPath = { program.parent_path() };
    if (const std::filesystem::path system = systemFolder(folders, machine); !system.empty())
        searchPath.push_back(system);
    searchPath.push_back(folders.windows);
    const std::vector<std::filesystem::path> shipped = wineDllFolders(folders.wine, machine);

    FolderListings listings;
    std::map<std::string, size_t> byName; // lower-case name -> its entry
    std::deque<Walked> queue;
    queue.push_back({ program.filename().string(), std::move(*top.image) });
    size_t walked = 1;
    while (!queue.empty()) {
        const Walked file = std::move(queue.front());
        queue.pop_front();
        for (const PeImport& import : file.image.imports) {
            const std::string key = asciiLower(import.name);
            if (const auto known = byName.find(key); known != byName.end()) {
                NeededDll& dll = needs.dlls[known->second];
                if (std::find(dll.neededBy.begin(), dll.neededBy.end(), file.fileName) == dll.neededBy.end())
                    dll.neededBy.push_back(file.fileName);
                dll.delay = dll.delay && import.delay;
                continue;
            }
            NeededDll dll { import.name, "missing", {}, { file.fileName }, import.delay };
            if (isApiSet(key)) {
                dll.status = "apiset";
            } else if (const auto found = listings.find(searchPath, key)) {
                dll.path = *found;
                PeReading reading = readPeFile(*found);
                if (!reading.image) {
                    dll.status = "broken";
                } else if (!reading.image->wineTag.empty()) {
                    dll.status = "builtin";
                } else if (reading.image->machine != machine) {
                    dll.status = "wrongarch";
                } else {
                    dll.status = "found";
                    if (walked < kMaxWalkedFiles) {
                        ++walked;
                        queue.push_back({ found->filename().string(), std::move(*reading.image) });
                    }
                }
            } else if (const auto own = listings.find(shipped, key)) {
                dll.status = "builtin";
                dll.path = *own;
            }
            byName.emplace(key, needs.dlls.size());
            needs.dlls.push_back(std::move(dll));
        }
    }
    return needs;
}

std::vector<std::filesystem::path> wineDllFolders(const std::filesystem::path& wine, PeMachine machine)
{
    std::vector<std::filesystem::path> found;
    if (wine.empty())
        return found;
    const char* pe = machine == PeMachine::X64 ? "x86_64-windows" : machine == PeMachine::X86 ? "i386-windows" : machine == PeMachine::Arm64 ? "aarch64-windows" : nullptr;
    const char* triplet = machine == PeMachine::X64 ? "x86_64-linux-gnu" : machine == PeMachine::X86 ? "i386-linux-gnu" : "aarch64-linux-gnu";
    if (!pe)
        return found;
    // The program as named and as its links resolve (Debian's /usr/bin/wine is an alternative).
    std::vector<std::filesystem::path> roots = { wine.parent_path().parent_path() };
    std::error_code error;
    if (const auto real = std::filesystem::canonical(wine, error); !error && real.parent_path().parent_path() != roots.front())
        roots.push_back(real.parent_path().parent_path());
    for (const auto& root : roots) {
        for (const auto& folder : { root / "lib" / "wine" / pe, root / "lib64" / "wine" / pe, root / "lib32" / "wine" / pe, root / "lib" / triplet / "wine" / pe }) {
            if (std::filesystem::is_directory(folder, error) && std::find(found.begin(), found.end(), folder) == found.end())
                found.push_back(folder);
        }
    }
    return found;
}

} // namespace tvn::wine
