// What a program needs, over a closure of 300 DLLs: analyzeProgram (the program and every DLL it
// reaches read, the prefix's folders listed) against binutils' objdump -p reading the same 301
// files in one run. The goal: at most 0.5 of objdump's time.
//
// The files are made here byte by byte (a PE32+ image with one section holding its import
// table): the program imports all 300 DLLs, each DLL imports kernel32.dll, which the wine that
// runs the prefix ships.

#include "bench/Ratios.h"
#include "wine/ImportWalk.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <fstream>
#include <unistd.h>

namespace {

constexpr int kDlls = 300;

std::string le16(uint16_t value)
{
    return { static_cast<char>(value), static_cast<char>(value >> 8) };
}

std::string le32(uint32_t value)
{
    return le16(static_cast<uint16_t>(value)) + le16(static_cast<uint16_t>(value >> 16));
}

// A 64-bit image importing `imports` (one empty thunk list each).
std::string image(bool dll, const std::vector<std::string>& imports)
{
    constexpr uint32_t kSection = 0x1000, kRaw = 0x200;
    std::string data; // the section: descriptors, a zero thunk, then the names
    const uint32_t descriptors = static_cast<uint32_t>(imports.size() + 1) * 20;
    const uint32_t thunk = descriptors;
    uint32_t names = thunk + 8;
    std::string nameBytes;
    for (const std::string& name : imports) {
        data += le32(kSection + thunk) + le32(0) + le32(0) + le32(kSection + names + static_cast<uint32_t>(nameBytes.size())) + le32(kSection + thunk);
        nameBytes += name + '\0';
    }
    data += std::string(20, '\0') + std::string(8, '\0') + nameBytes;
    data.resize((data.size() + 0x1ff) & ~size_t(0x1ff), '\0');

    std::string file(kRaw, '\0');
    const auto put = [&file](size_t at, const std::string& bytes) { file.replace(at, bytes.size(), bytes); };
    put(0, "MZ");
    put(0x3c, le32(0x80));
    put(0x80, std::string("PE\0\0", 4));
    put(0x84, le16(0x8664) + le16(1));
    put(0x94, le16(0xf0) + le16(dll ? 0x2022 : 0x0022));
    const size_t optional = 0x98;
    put(optional, le16(0x20b));
    put(optional + 24, le32(0x40000000) + le32(1)); // image base
    put(optional + 32, le32(0x1000) + le32(0x200));  // alignments
    put(optional + 40, le16(6));                     // OS version
    put(optional + 48, le16(6));                     // subsystem version
    put(optional + 56, le32(kSection + static_cast<uint32_t>(data.size())) + le32(kRaw));
    put(optional + 68, le16(3));                     // console
    put(optional + 108, le32(16));
    put(optional + 112 + 8, le32(kSection) + le32(descriptors));
    const size_t table = optional + 0xf0;
    put(table, ".idata");
    put(table + 8, le32(static_cast<uint32_t>(data.size())) + le32(kSection) + le32(static_cast<uint32_t>(data.size())) + le32(kRaw));
    put(table + 36, le32(0xc0000040));
    return file + data;
}

void write(const std::filesystem::path& path, const std::string& bytes)
{
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

struct Prefix {
    std::filesystem::path root = std::filesystem::temp_directory_path() / ("tvn-analyze-bench-" + std::to_string(::getpid()));
    std::filesystem::path program = root / "drive_c" / "Game" / "game.exe";
    tvn::wine::LoaderFolders folders;
    std::string objdump;
    Prefix()
    {
        const std::filesystem::path system32 = root / "drive_c" / "windows" / "system32";
        std::vector<std::string> names;
        objdump = "x86_64-w64-mingw32-objdump -p '" + program.string() + "'";
        for (int i = 0; i < kDlls; ++i) {
            names.push_back("lib" + std::to_string(i) + ".dll");
            write(system32 / names.back(), image(true, { "kernel32.dll" }));
            objdump += " '" + (system32 / names.back()).string() + "'";
        }
        objdump += " > /dev/null";
        write(program, image(false, names));
        write(root / "wine" / "bin" / "wine", "#!/bin/sh\n");
        write(root / "wine" / "lib" / "wine" / "x86_64-windows" / "kernel32.dll", image(true, {}));
        folders = { root / "drive_c" / "windows", system32, root / "drive_c" / "windows" / "syswow64", "win64", root / "wine" / "bin" / "wine" };
    }
    ~Prefix() { std::filesystem::remove_all(root); }
};

const Prefix& prefix()
{
    static const Prefix made;
    return made;
}

void analyze(benchmark::State& state)
{
    size_t found = 0;
    for (auto _ : state) {
        const tvn::wine::ProgramNeeds needs = tvn::wine::analyzeProgram(prefix().program, prefix().folders);
        found = needs.dlls.size();
        benchmark::DoNotOptimize(needs);
    }
    if (found != kDlls + 1)
        state.SkipWithError(("listed " + std::to_string(found) + " DLLs, not 301").c_str());
    state.counters["runs_per_second"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

void objdump(benchmark::State& state)
{
    for (auto _ : state) {
        if (std::system(prefix().objdump.c_str()) != 0)
            state.SkipWithError("objdump failed");
    }
    state.counters["runs_per_second"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

} // namespace

BENCHMARK(analyze)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(objdump)->Unit(benchmark::kMillisecond)->UseRealTime();
TVN_BENCH_RATIO("analyze, a closure of 300 DLLs, time / objdump -p over the same 301 files", "objdump", "analyze", "runs_per_second");
