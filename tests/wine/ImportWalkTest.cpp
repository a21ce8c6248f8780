// Following a program's imports through a laid-out prefix, on Windows files built by the test:
// every status, who needs each DLL, delay-loads, a cycle, and each architecture's system folder.
#include "wine/ImportWalk.h"

#include "tests/support/TempDir.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <map>
#include <memory>

using namespace tvn;
using namespace tvn::wine;

namespace {

void run(const std::string& command)
{
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

void write(const std::filesystem::path& path, const std::string& text)
{
    std::filesystem::create_directories(path.parent_path());
    test::writeFile(path, text);
}

// A .def naming one export of `dll`, and its import library for `machine` ("i386:x86-64", "i386").
void importLibrary(const std::filesystem::path& dir, const std::string& dll, const std::string& function, const std::string& machine, const std::string& suffix)
{
    const std::string stem = dll.substr(0, dll.rfind('.'));
    write(dir / (stem + ".def"), "LIBRARY " + dll + "\nEXPORTS\n" + function + "\n");
    run("cd '" + dir.string() + "' && llvm-dlltool-14 -m " + machine + " -d " + stem + ".def -l " + stem + suffix + ".lib");
}

class ImportWalk : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_dir = std::make_unique<test::TempDir>();
        const std::filesystem::path dir = s_dir->path() / "build";
        std::filesystem::create_directories(dir);
        const std::string in = "cd '" + dir.string() + "' && ";
        const std::vector<std::pair<std::string, std::string>> imports = { { "helper.dll", "helper" }, { "placed.dll", "placed" },
            { "catalog.dll", "catalogfn" }, { "other.dll", "otherfn" }, { "api-ms-win-crt-runtime-l1-1-0.dll", "apifn" }, { "wrong.dll", "wrongfn" },
            { "broken.dll", "brokenfn" }, { "later.dll", "later" }, { "chain.dll", "chain" }, { "deep.dll", "deep" } };
        for (const auto& [dll, function] : imports) {
            importLibrary(dir, dll, function, "i386:x86-64", "64");
            importLibrary(dir, dll, function, "i386", "32");
        }
        // The program: no C runtime (clang's mingw target has no libgcc), later.dll delay-loaded.
        std::string program = "__declspec(dllimport) void __stdcall ExitProcess(unsigned);\n"
                              "void* __stdcall __delayLoadHelper2(void* descriptor, void* slot) { (void)descriptor; return slot; }\n";
        std::string calls, libraries;
        for (const auto& [dll, function] : imports) {
            if (dll == "chain.dll" || dll == "deep.dll")
                continue;
            program += "__declspec(dllimport) int " + function + "(void);\n";
            calls += " + " + function + "()";
            libraries += " " + dll.substr(0, dll.rfind('.')) + "$S.lib";
        }
        write(dir / "program.c", program + "void start(void) { ExitProcess(0" + calls + "); }\n");
        for (const auto& [target, machine, suffix] : { std::tuple { "x86_64-windows-msvc", "x86_64", "64" }, std::tuple { "i686-windows-msvc", "i686", "32" } }) {
            std::string libs = libraries;
            for (size_t at; (at = libs.find("$S")) != std::string::npos;)
                libs.replace(at, 2, suffix);
            run(in + "clang --target=" + target + " -c -o program" + suffix + ".obj program.c && lld-link /nologo /entry:start /subsystem:console"
                + " /nodefaultlib /safeseh:no /out:program" + suffix + ".exe program" + suffix + ".obj" + libs + " /usr/" + machine
                + "-w64-mingw32/lib/libkernel32.a /delayload:later.dll");
        }
        // helper.dll imports chain.dll, which imports helper.dll back (a cycle), deep.dll and later.dll.
        write(dir / "helper.c", "__declspec(dllimport) int chain(void);\n__declspec(dllexport) int helper(void) { return chain(); }\n");
        write(dir / "chain.c", "__declspec(dllimport) int helper(void);\n__declspec(dllimport) int deep(void);\n__declspec(dllimport) int later(void);\n"
                               "__declspec(dllexport) int chain(void) { return helper() + deep() + later(); }\n");
        write(dir / "plain.c", "__declspec(dllexport) int wrongfn(void) { return 1; }\n");
        run(in + "x86_64-w64-mingw32-gcc -shared -o helper64.dll helper.c chain64.lib && x86_64-w64-mingw32-gcc -shared -o chain64.dll chain.c helper64.lib deep64.lib later64.lib");
        run(in + "i686-w64-mingw32-gcc -shared -o helper32.dll helper.c chain32.lib && i686-w64-mingw32-gcc -shared -o chain32.dll chain.c helper32.lib deep32.lib later32.lib");
        run(in + "i686-w64-mingw32-gcc -shared -o plain32.dll plain.c && x86_64-w64-mingw32-gcc -shared -o plain64.dll plain.c");
    }
    static void TearDownTestSuite() { s_dir.reset(); }

    void SetUp() override
    {
        const std::filesystem::path build = s_dir->path() / "build";
        root = std::make_unique<test::TempDir>();
        // A 64-bit prefix, the program in a folder of its own with helper.dll beside it.
        windows = root->path() / "drive_c" / "windows";
        std::filesystem::create_directories(windows / "system32");
        std::filesystem::create_directories(windows / "syswow64");
        for (const std::string& s : { std::string("64"), std::string("32") }) {
            const std::filesystem::path games = root->path() / "drive_c" / ("Games" + s);
            std::filesystem::create_directories(games);
            std::filesystem::copy_file(build / ("program" + s + ".exe"), games / "Program.exe");
            std::filesystem::copy_file(build / ("helper" + s + ".dll"), games / "HELPER.DLL");
            // The other machine's DLL under the name the program imports.
            std::filesystem::copy_file(build / (s == "64" ? "plain32.dll" : "plain64.dll"), games / "wrong.dll");
            test::writeFile(games / "broken.dll", "not a PE file");
            const std::filesystem::path system = windows / (s == "64" ? "system32" : "syswow64");
            std::filesystem::copy_file(build / ("chain" + s + ".dll"), system / "chain.dll");
            std::string placeholder = test::readFile(build / ("plain" + s + ".dll"));
            placeholder.replace(0x40, 21, std::string("Wine placeholder DLL\0", 21));
            test::writeFile(system / "placed.dll", placeholder);
        }
        // The wine that runs the prefix ships kernel32 and msvcrt for both machines.
        wine = root->path() / "wine" / "bin" / "wine";
        write(wine, "#!/bin/sh\n");
        for (const char* pe : { "x86_64-windows", "i386-windows" }) {
            write(root->path() / "wine" / "lib" / "wine" / pe / "kernel32.dll", "a builtin");
            write(root->path() / "wine" / "lib" / "wine" / pe / "msvcrt.dll", "a builtin");
        }
    }

    LoaderFolders folders(const std::string& arch) const { return { windows, windows / "system32", windows / "syswow64", arch, wine }; }

    // "name status neededBy... [delay]" for each DLL, by lower-case name.
    static std::map<std::string, std::string> summary(const ProgramNeeds& needs)
    {
        std::map<std::string, std::string> lines;
        for (const NeededDll& dll : needs.dlls) {
            std::string line = dll.status;
            for (const std::string& by : dll.neededBy)
                line += " " + by;
            if (dll.delay)
                line += " delay";
            std::string name = dll.name;
            std::transform(name.begin(), name.end(), name.begin(), ::tolower);
            lines[name] = line;
        }
        return lines;
    }

    static std::unique_ptr<test::TempDir> s_dir;
    std::unique_ptr<test::TempDir> root;
    std::filesystem::path windows;
    std::filesystem::path wine;
};

std::unique_ptr<test::TempDir> ImportWalk::s_dir;

} // namespace

TEST_F(ImportWalk, EveryStatusThroughBothArchitecturesFolders)
{
    for (const std::string& s : { std::string("64"), std::string("32") }) {
        SCOPED_TRACE(s);
        const ProgramNeeds needs = analyzeProgram(root->path() / "drive_c" / ("Games" + s) / "Program.exe", folders("win64"));
        EXPECT_EQ(needs.error, "");
        EXPECT_EQ(needs.machine, s == "64" ? "x64" : "x86");
        EXPECT_EQ(needs.kind, "program");
        EXPECT_FALSE(needs.dotnet);
        const std::map<std::string, std::string> expected = {
            { "helper.dll", "found Program.exe chain.dll" },
            { "placed.dll", "builtin Program.exe" },
            { "catalog.dll", "missing Program.exe" },
            { "other.dll", "missing Program.exe" },
            { "api-ms-win-crt-runtime-l1-1-0.dll", "apiset Program.exe" },
            { "wrong.dll", "wrongarch Program.exe" },
            { "broken.dll", "broken Program.exe" },
            { "later.dll", "missing Program.exe chain.dll" }, // delay-loaded by the program alone
            { "kernel32.dll", "builtin Program.exe HELPER.DLL chain.dll" },
            { "msvcrt.dll", "builtin HELPER.DLL chain.dll" },
            { "chain.dll", "found HELPER.DLL" },
            { "deep.dll", "missing chain.dll" },
        };
        EXPECT_EQ(summary(needs), expected);
        // Found files are named where they are.
        for (const NeededDll& dll : needs.dlls) {
            if (dll.name == "chain.dll") {
                EXPECT_EQ(dll.path, windows / (s == "64" ? "system32" : "syswow64") / "chain.dll");
            }
            if (dll.status == "missing" || dll.status == "apiset") {
                EXPECT_TRUE(dll.path.empty()) << dll.name;
            }
        }
    }
}

TEST_F(ImportWalk, DelayAndAThirtyTwoBitPrefix)
{
    // later.dll alone: delay-loaded by the program, imported outright by nothing once chain.dll
    // is gone.
    std::filesystem::remove(windows / "system32" / "chain.dll");
    const ProgramNeeds needs = analyzeProgram(root->path() / "drive_c" / "Games64" / "Program.exe", folders("win64"));
    EXPECT_EQ(summary(needs)["later.dll"], "missing Program.exe delay");
    EXPECT_EQ(summary(needs)["chain.dll"], "missing HELPER.DLL");

    // In a 32-bit prefix a 32-bit program's system folder is system32: syswow64 is not looked in.
    std::filesystem::rename(windows / "syswow64" / "chain.dll", windows / "system32" / "chain.dll");
    EXPECT_EQ(summary(analyzeProgram(root->path() / "drive_c" / "Games32" / "Program.exe", folders("win32")))["chain.dll"], "found HELPER.DLL");
    std::filesystem::rename(windows / "system32" / "chain.dll", windows / "syswow64" / "chain.dll");
    EXPECT_EQ(summary(analyzeProgram(root->path() / "drive_c" / "Games32" / "Program.exe", folders("win32")))["chain.dll"], "missing HELPER.DLL");
    // A 64-bit program has no system folder in a 32-bit prefix, even with a 64-bit DLL in system32.
    std::filesystem::copy_file(s_dir->path() / "build" / "chain64.dll", windows / "system32" / "chain.dll");
    EXPECT_EQ(summary(analyzeProgram(root->path() / "drive_c" / "Games64" / "Program.exe", folders("win32")))["chain.dll"], "missing HELPER.DLL");
    EXPECT_EQ(summary(analyzeProgram(root->path() / "drive_c" / "Games64" / "Program.exe", folders("win64")))["chain.dll"], "found HELPER.DLL");
}

TEST_F(ImportWalk, AFileThatIsNotAProgram)
{
    const ProgramNeeds needs = analyzeProgram(root->path() / "drive_c" / "Games64" / "broken.dll", folders("win64"));
    EXPECT_EQ(needs.error, "not a PE file: no MZ signature");
    EXPECT_TRUE(needs.dlls.empty());
    EXPECT_EQ(needs.machine, "");
    // A DLL is walked as a program is, and says what it is.
    const ProgramNeeds dll = analyzeProgram(root->path() / "drive_c" / "Games64" / "HELPER.DLL", folders("win64"));
    EXPECT_EQ(dll.kind, "dll");
    EXPECT_EQ(summary(dll)["chain.dll"], "found HELPER.DLL");
}

TEST(WineDllFolders, BesideTheWineThatRunsThePrefix)
{
    test::TempDir dir;
    // Proton: files/bin/wine and files/lib/wine/<machine>-windows.
    std::filesystem::create_directories(dir / "files" / "bin");
    std::filesystem::create_directories(dir / "files" / "lib" / "wine" / "x86_64-windows");
    std::filesystem::create_directories(dir / "files" / "lib" / "wine" / "i386-windows");
    EXPECT_EQ(wineDllFolders(dir / "files" / "bin" / "wine", PeMachine::X64), std::vector<std::filesystem::path> { dir / "files" / "lib" / "wine" / "x86_64-windows" });
    EXPECT_EQ(wineDllFolders(dir / "files" / "bin" / "wine", PeMachine::X86), std::vector<std::filesystem::path> { dir / "files" / "lib" / "wine" / "i386-windows" });
    // Debian: /usr/bin/wine, a link elsewhere, and /usr/lib/<triplet>/wine/<machine>-windows.
    std::filesystem::create_directories(dir / "usr" / "bin");
    std::filesystem::create_directories(dir / "usr" / "lib" / "x86_64-linux-gnu" / "wine" / "x86_64-windows");
    std::filesystem::create_directories(dir / "alternatives");
    std::filesystem::create_symlink(dir / "usr" / "bin" / "wine-stable", dir / "alternatives" / "wine");
    test::writeFile(dir / "usr" / "bin" / "wine-stable", "#!/bin/sh\n");
    EXPECT_EQ(wineDllFolders(dir / "alternatives" / "wine", PeMachine::X64),
        std::vector<std::filesystem::path> { dir / "usr" / "lib" / "x86_64-linux-gnu" / "wine" / "x86_64-windows" });
    EXPECT_TRUE(wineDllFolders(dir / "alternatives" / "wine", PeMachine::Arm64).empty());
    EXPECT_TRUE(wineDllFolders("", PeMachine::X64).empty());
}
