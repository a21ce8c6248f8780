// The PE reader on real Windows files that the test builds with mingw-w64 (and, through
// buildWindowsFile, clang with lld-link, which writes delay-load tables that GNU ld does not),
// checked against binutils' and LLVM's own readers; and on files cut short, damaged, tagged by
// Wine, or made byte by byte for .NET.
#include "wine/PeImage.h"

#include "tests/support/TempDir.h"
#include "tests/support/WindowsFiles.h"

#include <array>
#include <cstdio>
#include <gtest/gtest.h>
#include <memory>
#include <sstream>

using namespace tvn;
using namespace tvn::wine;

namespace {

// The command's standard output; a failure when it does not succeed.
std::string output(const std::string& command)
{
    std::string text;
    FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    if (!pipe) {
        ADD_FAILURE() << "cannot run " << command;
        return text;
    }
    std::array<char, 4096> buffer;
    while (size_t read = std::fread(buffer.data(), 1, buffer.size(), pipe))
        text.append(buffer.data(), read);
    const int status = ::pclose(pipe);
    EXPECT_EQ(status, 0) << command << "\n" << text;
    return text;
}

// The values of the lines that begin (after blanks) with `label`, in order.
std::vector<std::string> linesAfter(const std::string& text, const std::string& label)
{
    std::vector<std::string> values;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        const size_t at = line.find_first_not_of(" \t");
        if (at != std::string::npos && line.compare(at, label.size(), label) == 0)
            values.push_back(line.substr(at + label.size()));
    }
    return values;
}

std::vector<std::string> names(const PeImage& image, bool delay)
{
    std::vector<std::string> found;
    for (const PeImport& import : image.imports)
        if (import.delay == delay)
            found.push_back(import.name);
    return found;
}

// A program that imports helper.dll and KERNEL32, and delay-loads later.dll; built for one machine.
class BuiltFiles : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_dir = std::make_unique<test::TempDir>();
        const std::filesystem::path dir = s_dir->path();
        test::writeFile(dir / "helper.c", "__declspec(dllexport) int helper(void) { return 1; }\n");
        test::writeFile(dir / "second.c", "__declspec(dllimport) int helper(void);\n__declspec(dllexport) int second(void) { return helper(); }\n");
        test::writeFile(dir / "program.c", "#include <windows.h>\n__declspec(dllimport) int helper(void);\n"
                                           "int main(void) { MessageBoxA(0, \"x\", \"y\", 0); return helper(); }\n");
        for (const auto& [gcc, machine, suffix] : { std::tuple { "x86_64-w64-mingw32-gcc", "x64", "64" }, std::tuple { "i686-w64-mingw32-gcc", "x86", "32" } }) {
            const std::string in = "cd '" + dir.string() + "' && ";
            const std::string s = suffix;
            output(in + gcc + " -shared -o helper" + s + ".dll helper.c -Wl,--out-implib,libhelper" + s + ".a");
            output(in + gcc + " -shared -o second" + s + ".dll second.c -L. -lhelper" + s);
            output(in + gcc + " -o program" + s + ".exe program.c -L. -lhelper" + s + " -luser32");
            // Delay-loaded later.dll: written by lld-link, which buildWindowsFile drives.
            test::buildWindowsFile(dir, "delayed" + s + ".exe", machine, { { "helper.dll", "helper" }, { "later.dll", "later", true }, { "KERNEL32.dll", "ExitProcess" } });
        }
    }
    static void TearDownTestSuite() { s_dir.reset(); }

    static std::filesystem::path file(const std::string& name) { return s_dir->path() / name; }

    static std::unique_ptr<test::TempDir> s_dir;
};

std::unique_ptr<test::TempDir> BuiltFiles::s_dir;

// A copy of `from` with `bytes` written at `offset`.
std::filesystem::path patched(const std::filesystem::path& from, const std::filesystem::path& to, size_t offset, const std::string& bytes)
{
    std::string content = test::readFile(from);
    content.replace(offset, bytes.size(), bytes);
    test::writeFile(to, content);
    return to;
}

std::string le32(uint32_t value)
{
    return { static_cast<char>(value), static_cast<char>(value >> 8), static_cast<char>(value >> 16), static_cast<char>(value >> 24) };
}

uint32_t readLe32(const std::string& bytes, size_t at)
{
    return static_cast<uint32_t>(static_cast<uint8_t>(bytes[at]) | static_cast<uint8_t>(bytes[at + 1]) << 8 | static_cast<uint8_t>(bytes[at + 2]) << 16
        | static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + 3])) << 24);
}

} // namespace

TEST_F(BuiltFiles, ImportsAsBinutilsAndLlvmReadThem)
{
    for (const std::string& suffix : { std::string("64"), std::string("32") }) {
        SCOPED_TRACE(suffix);
        const PeReading program = readPeFile(file("program" + suffix + ".exe"));
        ASSERT_TRUE(program.image) << program.error;
        EXPECT_EQ(program.error, "");
        EXPECT_EQ(program.image->machine, suffix == "64" ? PeMachine::X64 : PeMachine::X86);
        EXPECT_EQ(program.image->pe32Plus, suffix == "64");
        EXPECT_FALSE(program.image->dll);
        EXPECT_FALSE(program.image->dotnet);
        EXPECT_EQ(program.image->wineTag, "");
        const std::string objdump = output("x86_64-w64-mingw32-objdump -p '" + file("program" + suffix + ".exe").string() + "'");
        EXPECT_EQ(names(*program.image, false), linesAfter(objdump, "DLL Name: "));
        EXPECT_TRUE(names(*program.image, true).empty());

        // Delay-loaded later.dll: LLVM's reader lists it under DelayImport.
        const PeReading delayed = readPeFile(file("delayed" + suffix + ".exe"));
        ASSERT_TRUE(delayed.image) << delayed.error;
        const std::string readobj = output("llvm-readobj-14 --coff-imports '" + file("delayed" + suffix + ".exe").string() + "'");
        std::vector<std::string> all = names(*delayed.image, false);
        const std::vector<std::string> late = names(*delayed.image, true);
        all.insert(all.end(), late.begin(), late.end());
        EXPECT_EQ(all, linesAfter(readobj, "Name: "));
        EXPECT_EQ(late, std::vector<std::string> { "later.dll" });

        // A DLL that imports another.
        const PeReading second = readPeFile(file("second" + suffix + ".dll"));
        ASSERT_TRUE(second.image) << second.error;
        EXPECT_TRUE(second.image->dll);
        EXPECT_EQ(names(*second.image, false), linesAfter(output("x86_64-w64-mingw32-objdump -p '" + file("second" + suffix + ".dll").string() + "'"), "DLL Name: "));
    }
}

TEST_F(BuiltFiles, WinesTagIsReadFromTheStub)
{
    const auto builtin = patched(file("helper64.dll"), file("tagged.dll"), 0x40, std::string("Wine builtin DLL\0", 17));
    EXPECT_EQ(readPeFile(builtin).image->wineTag, "Wine builtin DLL");
    const auto placeholder = patched(file("helper32.dll"), file("placeholder.dll"), 0x40, std::string("Wine placeholder DLL\0", 21));
    EXPECT_EQ(readPeFile(placeholder).image->wineTag, "Wine placeholder DLL");
    // The tag's text must end there: a longer word is no tag.
    const auto longer = patched(file("helper64.dll"), file("longer.dll"), 0x40, "Wine builtin DLLs");
    EXPECT_EQ(readPeFile(longer).image->wineTag, "");
}

TEST_F(BuiltFiles, CutShortOrDamagedFilesGiveAReasonAndNothingElse)
{
    const std::string whole = test::readFile(file("program64.exe"));
    const PeReading complete = readPeFile(file("program64.exe"));
    ASSERT_TRUE(complete.image);
    // Cut anywhere: a reason and no image up to some size, and from that size on the same image.
    std::optional<size_t> firstWhole;
    for (size_t size = 0; size <= whole.size(); size += size < 8192 ? 5 : 331) {
        const std::string cut = whole.substr(0, size);
        const PeReading reading = readPeImage([&cut](uint64_t offset, size_t count) -> std::optional<std::string> {
            if (offset + count > cut.size())
                return std::nullopt;
            return cut.substr(offset, count);
        }, cut.size());
        EXPECT_EQ(reading.image.has_value(), reading.error.empty()) << size;
        if (reading.image) {
            EXPECT_EQ(reading.image->imports, complete.image->imports) << size;
            firstWhole = firstWhole.value_or(size);
        } else {
            EXPECT_FALSE(firstWhole) << size << " fails after " << *firstWhole << " read: " << reading.error;
        }
    }
    // The headers alone are not enough: the import names lie beyond them.
    const size_t peAt = readLe32(whole, 0x3c);
    ASSERT_TRUE(firstWhole);
    EXPECT_GT(*firstWhole, peAt + 24 + 240 + 40u);
    test::writeFile(file("ten.exe"), whole.substr(0, 10));
    EXPECT_EQ(readPeFile(file("ten.exe")).error, "cut short inside the DOS header");
    test::writeFile(file("text.exe"), "#!/bin/sh\necho not windows\n");
    EXPECT_EQ(readPeFile(file("text.exe")).error, "not a PE file: no MZ signature");
    EXPECT_EQ(readPeFile(file("absent.exe")).error, "cannot be opened");
    EXPECT_EQ(readPeFile(s_dir->path()).error, "not a file");

    const uint32_t peOffset = readLe32(whole, 0x3c);
    // The PE header's place beyond the end of the file.
    EXPECT_EQ(readPeFile(patched(file("program64.exe"), file("far.exe"), 0x3c, le32(0x7ffffff0))).error, "the PE header outside the file");
    EXPECT_EQ(readPeFile(patched(file("program64.exe"), file("nosig.exe"), peOffset, "PX")).error, "not a PE file: no PE signature");
    // A file that ends inside the PE header: the reader never asks for bytes past the end.
    test::writeFile(file("inside.exe"), whole.substr(0, peOffset + 10));
    EXPECT_EQ(readPeFile(file("inside.exe")).error, "the PE header outside the file");
    // The import table's RVA in no section.
    const size_t importDirectory = peOffset + 24 + 112 + 8;
    EXPECT_EQ(readPeFile(patched(file("program64.exe"), file("imports.exe"), importDirectory, le32(0x7fff0000))).error, "the import table outside the file");
    // The first import name's RVA in no section.
    const uint32_t importRva = readLe32(whole, importDirectory);
    const uint16_t sections = static_cast<uint16_t>(static_cast<uint8_t>(whole[peOffset + 6]) | static_cast<uint8_t>(whole[peOffset + 7]) << 8);
    const size_t table = peOffset + 24 + (static_cast<uint8_t>(whole[peOffset + 20]) | static_cast<uint8_t>(whole[peOffset + 21]) << 8);
    for (size_t section = 0; section < sections; ++section) {
        const size_t at = table + section * 40;
        const uint32_t address = readLe32(whole, at + 12), rawSize = readLe32(whole, at + 16), raw = readLe32(whole, at + 20);
        if (importRva >= address && importRva - address < rawSize) {
            const size_t firstName = raw + (importRva - address) + 12;
            EXPECT_EQ(readPeFile(patched(file("program64.exe"), file("name.exe"), firstName, le32(0x7fff0000))).error, "an import name outside the file");
        }
    }
}

// A PE32 file made byte by byte: one section holding the import table, a delay-load table of the
// old kind (addresses, not RVAs) and a CLR header with its metadata root.
class MadeFile : public testing::Test {
protected:
    static constexpr uint32_t kSection = 0x1000; // its RVA
    static constexpr uint32_t kRaw = 0x200;      // its place in the file
    static constexpr uint32_t kImageBase = 0x400000;

    std::string make(const std::string& version, uint32_t versionLength)
    {
        std::string file(0x400, '\0');
        const auto put = [&file](size_t at, const std::string& bytes) { file.replace(at, bytes.size(), bytes); };
        const auto put16 = [&put](size_t at, uint16_t value) { put(at, std::string { static_cast<char>(value), static_cast<char>(value >> 8) }); };
        put(0, "MZ");
        put(0x3c, le32(0x80));
        put(0x80, std::string("PE\0\0", 4));
        put16(0x84, 0x14c);   // x86
        put16(0x86, 1);       // one section
        put16(0x94, 0xe0);    // the PE32 optional header's size
        put16(0x96, 0x2102);  // a DLL
        const size_t optional = 0x98;
        put16(optional, 0x10b);
        put(optional + 28, le32(kImageBase));
        put(optional + 60, le32(0x200)); // headers' size
        put(optional + 92, le32(16));    // directories
        const auto directory = [&](int index, uint32_t rva, uint32_t size) { put(optional + 96 + index * 8, le32(rva) + le32(size)); };
        directory(1, kSection + 0x00, 40);
        directory(13, kSection + 0x40, 64);
        directory(14, kSection + 0xa0, 72);
        const size_t table = optional + 0xe0;
        put(table, ".data");
        put(table + 8, le32(0x200));  // virtual size
        put(table + 12, le32(kSection));
        put(table + 16, le32(0x200)); // raw size
        put(table + 20, le32(kRaw));
        // Import descriptor: the name at +0x80.
        put(kRaw + 12, le32(kSection + 0x80));
        put(kRaw + 0x80, std::string("core.dll\0", 9));
        // Delay-load descriptor, old kind: attributes 0, the name as an address.
        put(kRaw + 0x44, le32(kImageBase + kSection + 0x90));
        put(kRaw + 0x90, std::string("late.dll\0", 9));
        // CLR header: metadata at +0x100.
        put(kRaw + 0xa0, le32(72));
        put(kRaw + 0xa8, le32(kSection + 0x100) + le32(0x80));
        put(kRaw + 0x100, le32(0x424A5342));
        put(kRaw + 0x10c, le32(versionLength));
        put(kRaw + 0x110, version);
        return file;
    }
    PeReading read(const std::string& bytes)
    {
        return readPeImage([&bytes](uint64_t offset, size_t count) -> std::optional<std::string> { return bytes.substr(offset, count); }, bytes.size());
    }
};

TEST_F(MadeFile, DotNetVersionAndOldDelayLoadTables)
{
    const PeReading reading = read(make(std::string("v4.0.30319\0\0", 12), 12));
    ASSERT_TRUE(reading.image) << reading.error;
    EXPECT_EQ(reading.image->machine, PeMachine::X86);
    EXPECT_TRUE(reading.image->dll);
    EXPECT_TRUE(reading.image->dotnet);
    EXPECT_EQ(reading.image->runtimeVersion, "v4.0.30319");
    EXPECT_EQ(reading.image->imports, (std::vector<PeImport> { { "core.dll", false }, { "late.dll", true } }));

    // The version's length at its limit, and one past it.
    EXPECT_EQ(read(make(std::string(255, 'v') + '\0', 256)).image->runtimeVersion, std::string(255, 'v'));
    EXPECT_EQ(read(make(std::string(256, 'v') + '\0', 257)).error, "the CLR metadata's version is too long");
    // Metadata without its signature.
    std::string unsigned_ = make(std::string("v4.0\0", 5), 5);
    unsigned_[kRaw + 0x100] = 'X';
    EXPECT_EQ(read(unsigned_).error, "the CLR metadata has no signature");
}

TEST_F(MadeFile, ImportNamesMustBeFileNames)
{
    for (const std::string& bad : { std::string("..\0", 3), std::string("a/b.dll\0", 8), std::string("c:\\x.dll\0", 9), std::string("\0", 1),
             std::string("tab\t.dll\0", 9) }) {
        std::string file = make(std::string("v4.0\0", 5), 5);
        file.replace(kRaw + 0x80, bad.size(), bad);
        EXPECT_EQ(read(file).error, "an import name is not a file name") << bad;
    }
    // A name of 256 bytes is read; one of 257 has no end within the limit. Each stands at +0x300
    // of a section made long enough to hold it.
    const auto nameAt = [&](size_t length) {
        std::string bytes = make(std::string("v4.0\0", 5), 5);
        bytes.resize(0x800, '\0');
        bytes.replace(kRaw + 0x300, length + 1, std::string(length, 'n') + '\0');
        bytes.replace(kRaw + 12, 4, le32(kSection + 0x300));
        bytes.replace(0x98 + 0xe0 + 8, 4, le32(0x600));
        bytes.replace(0x98 + 0xe0 + 16, 4, le32(0x600));
        return read(bytes);
    };
    EXPECT_EQ(nameAt(256).image->imports.front().name, std::string(256, 'n'));
    EXPECT_EQ(nameAt(257).error, "an import name has no end");
}
