// Writes a few well-formed packs as the fuzzer's starting corpus, with bit 0 of the fourth byte set
// so that the harness keeps their signatures valid as they mutate.

#include "tools/pak/PakWriter.h"

#include <fstream>

int main(int argc, char** argv)
{
    if (argc != 2)
        return 2;
    const std::string folder = argv[1];
    const std::vector<std::vector<tvn::pak::InputFile>> packs = {
        { { "index.html", "<html>hello</html>" } },
        { { "a/b/c.js", "let x = 1;" }, { "a/d.css", "p{}" }, { "e.txt", std::string(300, 'e') } },
        { { "my%20file.js", "" } },
    };
    for (size_t i = 0; i < packs.size(); ++i) {
        std::string bytes = tvn::pak::buildPak(packs[i]);
        bytes[3] = '\x01';
        std::ofstream(folder + "/seed" + std::to_string(i) + ".pak", std::ios::binary) << bytes;
    }
    return 0;
}
