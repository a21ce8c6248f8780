// With Debian's wine and mingw-w64 (an opt-in test: cmake -DTVN_WINE_TESTS=ON, ctest -L wine): a
// Windows program and the DLL it needs, both built here with mingw-w64; in a prefix that wineboot
// made, without the DLL, the program fails to start and the page's analysis calls the DLL missing
// and Wine's own DLLs builtin; the page repairs the prefix (the reference server serves the DLL);
// the program then starts and prints its line, and the analysis finds the DLL.
#include "tests/e2e/Desktop.h"
#include "tools/server/ReferenceServer.h"

using namespace tvn;
using test::output;

namespace {

class WineRepair : public test::Window {
protected:
    void beforeStart() override
    {
        const std::filesystem::path build = installation.dir / "build";
        std::filesystem::create_directories(build);
        const std::string sources = TVN_WINE_TEST_SOURCES;
        ASSERT_EQ(std::system(("x86_64-w64-mingw32-gcc -shared -o '" + (build / "tvnhello.dll").string() + "' '" + sources + "/tvnhello.c'").c_str()), 0);
        ASSERT_EQ(std::system(("x86_64-w64-mingw32-gcc -o '" + (build / "greet.exe").string() + "' '" + sources + "/greet.c' '" + (build / "tvnhello.dll").string() + "'").c_str()), 0);

        prefix = installation.dir / "prefix";
        ASSERT_EQ(std::system(("WINEPREFIX='" + prefix.string() + "' WINEDLLOVERRIDES='mscoree,mshtml=' wineboot --init >/dev/null 2>&1; WINEPREFIX='"
                                  + prefix.string() + "' wineserver --wait")
                                  .c_str()),
            0);
        std::filesystem::create_directories(prefix / "drive_c" / "greet");
        std::filesystem::copy_file(build / "greet.exe", prefix / "drive_c" / "greet" / "greet.exe");

        std::filesystem::create_directories(installation.dir / "catalog");
        std::filesystem::copy_file(build / "tvnhello.dll", installation.dir / "catalog" / "tvnhello.dll");
        server = std::make_unique<server::ReferenceServer>(server::ReferenceServerOptions { installation.dir / "state", installation.dir / "catalog", {}, "wine-token", {} });
        ASSERT_TRUE(server->start());
        const std::filesystem::path config = installation.dir / "config" / "tvn" / "config.ini";
        test::writeFile(config, test::readFile(config) + "[server]\napi = " + server->address() + "\nca = " + server->authorityFile().string()
                                    + "\n[system]\nwineprefix = " + prefix.string() + "\n");
    }
    void TearDown() override
    {
        test::Window::TearDown();
        std::system(("WINEPREFIX='" + prefix.string() + "' wineserver --kill >/dev/null 2>&1").c_str());
        if (server)
            server->stop();
    }

    std::string greet() { return output("WINEPREFIX='" + prefix.string() + "' wine 'C:\\greet\\greet.exe'"); }

    std::filesystem::path prefix;
    std::unique_ptr<server::ReferenceServer> server;
};

} // namespace

TEST_F(WineRepair, TheProgramStartsOnceTheDllIsRepaired)
{
    EXPECT_EQ(greet().find("hello from tvnhello.dll"), std::string::npos); // cannot start yet
    run("var wine = module('wine')");
    const std::string analysis = "wine.analyze('C:\\\\greet\\\\greet.exe').then(function (n) { out = n.error || n.dlls.map(function (d) {"
                                 " return d.name.toLowerCase() + ':' + d.status; }).sort().join(); })";
    EXPECT_EQ(runAsync(analysis), "kernel32.dll:builtin,msvcrt.dll:builtin,tvnhello.dll:missing");
    const std::string item = R"({ filePath: 'C:\\windows\\system32\\tvnhello.dll', checkPath: ['C:\\windows\\system32\\'], fileName: 'tvnhello.dll', fileType: 'sys' })";
    run("var repair = module('biz_repair')");
    EXPECT_EQ(runAsync("repair.scanDlls([" + item + "], function (e) { out = String(e.isExist); })"), "false");
    EXPECT_EQ(runAsync("repair.repairDlls([" + item + "], function (e) { out = String(e.errorCode); })"), "0");
    EXPECT_EQ(runAsync("repair.scanDlls([" + item + "], function (e) { out = String(e.isExist); })"), "true");
    EXPECT_NE(greet().find("hello from tvnhello.dll"), std::string::npos);
    EXPECT_EQ(runAsync(analysis), "kernel32.dll:builtin,msvcrt.dll:builtin,tvnhello.dll:found");
}
