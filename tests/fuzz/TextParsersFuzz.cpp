// libFuzzer targets for the readers of text from outside: one binary per reader, chosen by the
// macro the build defines. Each reads arbitrary bytes and checks what its reader promises beyond
// not crashing.
//
//   wine_registry_fuzz  Wine's registry text (system.reg, user.reg)
//   ini_fuzz            config.ini: what parses is written back and parses to the same
//   dpkg_fuzz           the dpkg status file
//   exec_output_fuzz    a child's output: pieces joined are the whole, however it is cut
//   proc_tcp_fuzz       the kernel's socket tables
//   vdf_fuzz            Steam's KeyValues text: a tree read has no deeper nesting than allowed
//   wine_yaml_fuzz      bottle.yml and Lutris' game files: both readers agree on what is YAML
//   pe_fuzz             a Windows file's headers and import tables: reads stay inside the file,
//                       an image or a reason, import names that are file names
//   journal_fuzz        a run's journal and its drive listing (files a crash may have cut): a
//                       listing written back reads the same

#include "tests/fuzz/FuzzInput.h"

#if defined(TVN_FUZZ_WINE_REGISTRY)
#include "wine/WineRegistry.h"
#elif defined(TVN_FUZZ_INI)
#include "core/IniFile.h"
#elif defined(TVN_FUZZ_DPKG)
#include "platform/InstalledPrograms.h"
#elif defined(TVN_FUZZ_EXEC_OUTPUT)
#include "util/ExecOutput.h"
#elif defined(TVN_FUZZ_PROC_TCP)
#include "platform/ListeningSockets.h"
#elif defined(TVN_FUZZ_PE)
#include "wine/PeImage.h"
#elif defined(TVN_FUZZ_WINE_YAML)
#include "wine/Bottles.h"
#include "wine/Lutris.h"
#elif defined(TVN_FUZZ_JOURNAL)
#include "repair/DriveListing.h"
#include "repair/RunJournal.h"
#elif defined(TVN_FUZZ_VDF)
#include "wine/Vdf.h"

namespace {

int depthOf(const tvn::wine::VdfNode& node)
{
    int deepest = 0;
    for (const auto& [key, child] : node.children)
        deepest = std::max(deepest, child.isBlock ? depthOf(child) + 1 : 0);
    return deepest;
}

} // namespace
#endif

#include <algorithm>
#include <string>

using namespace tvn;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view input = fuzz::text(data, size);
#if defined(TVN_FUZZ_WINE_REGISTRY)
    // No property beyond its own safety: what it reads is whatever the file says.
    wine::uninstallDisplayNames(wine::parseWineRegistry(input));
#elif defined(TVN_FUZZ_INI)
    IniFile::Sections sections;
    if (IniFile::parse(input, sections)) {
        IniFile file;
        for (const auto& [section, keys] : sections)
            for (const auto& [key, value] : keys)
                if (IniFile::storable(section, key, value))
                    file.value(section, key) = value;
        IniFile::Sections again;
        fuzz::require(IniFile::parse(file.toText(), again), "written text parses");
        IniFile::Sections expected;
        for (const auto& [section, keys] : sections)
            for (const auto& [key, value] : keys)
                if (IniFile::storable(section, key, value))
                    expected[section][key] = value;
        fuzz::require(again == expected, "written entries read back as they were");
    }
#elif defined(TVN_FUZZ_DPKG)
    for (const std::string& name : platform::parseDpkgStatus(input))
        fuzz::require(!name.empty(), "an installed package has a name");
#elif defined(TVN_FUZZ_EXEC_OUTPUT)
    // The first byte chooses where the output is cut into two reads.
    if (input.empty())
        return 0;
    const std::string_view output = input.substr(1);
    const size_t cut = std::min<size_t>(static_cast<unsigned char>(input[0]), output.size());
    WholeOutput whole;
    std::string joined;
    for (const std::string_view read : { output.substr(0, cut), output.substr(cut) }) {
        if (const WholeOutput::Part part = whole.append(read))
            joined += *part;
    }
    if (std::optional<std::string> replacement = whole.finish())
        joined = std::move(*replacement);
    fuzz::require(joined == outputText(output), "whole output read in two parts is the output read at once");
    OutputPieces pieces;
    std::string streamed = pieces.next(output.substr(0, cut));
    streamed += pieces.next(output.substr(cut));
    streamed += pieces.finish();
    if (outputText(output) == output) // UTF-8 output comes through the pieces unchanged
        fuzz::require(streamed == output, "pieces of UTF-8 output join to the output");
#elif defined(TVN_FUZZ_PROC_TCP)
    const auto sockets = platform::parseListeningSockets(input);
    fuzz::require(sockets.size() <= static_cast<size_t>(std::count(input.begin(), input.end(), '\n')) + 1, "at most one socket a line");
    platform::listenerOwner(sockets, platform::loopbackAddresses("localhost"), 8080);
#elif defined(TVN_FUZZ_PE)
    // A Windows file's headers and import tables, read through ranges of the input.
    const wine::PeReading reading = wine::readPeImage([&input](uint64_t offset, size_t count) -> std::optional<std::string> {
        fuzz::require(offset <= input.size() && count <= input.size() - offset, "no read outside the file");
        return std::string(input.substr(offset, count));
    }, input.size());
    fuzz::require(reading.image.has_value() == reading.error.empty(), "an image or a reason, never both");
    if (reading.image) {
        for (const wine::PeImport& import : reading.image->imports)
            fuzz::require(!import.name.empty() && import.name.size() <= 256 && import.name.find_first_of("/\\") == std::string::npos
                    && import.name != "..", "every import name is one file name");
    }
#elif defined(TVN_FUZZ_WINE_YAML)
    // bottle.yml and a Lutris game file: YAML from other programs, read by yaml-cpp.
    const auto bottle = wine::parseBottleFile(input);
    const auto game = wine::parseLutrisGameFile(input);
    fuzz::require(bool(bottle) == bool(game), "one verdict on whether the text is a YAML mapping");
#elif defined(TVN_FUZZ_JOURNAL)
    if (const auto record = parseJournal(input)) {
        record->changedCount();
        fuzz::require(record->cannotRestore().size() <= record->effects.size(), "only effects cannot be restored");
    }
    const DriveListing listing = parseListing(input);
    fuzz::require(parseListing(listingText(listing)) == listing, "a listing written back reads the same");
    listingEffects(listing, parseListing(input.substr(input.size() / 2)));
#elif defined(TVN_FUZZ_VDF)
    if (const auto root = wine::parseVdf(input)) {
        fuzz::require(depthOf(*root) <= 64, "no tree deeper than the limit");
        root->find("libraryfolders");
    }
#endif
    return 0;
}
