// The file, reg and zip modules in a standalone JavaScriptCore context: their argument rules, the
// listing and the copy's callbacks in order, the registry's rules over a scratch store, and the
// archive listing checked against an independent reader (Python's zipfile).
#include "modules/ModuleHandler.h"
#include "modules/ModuleReg.h"
#include "modules/PageThreads.h"
#include "platform/ZipArchive.h"
#include "tests/support/MainLoop.h"
#include "tests/support/Script.h"
#include "tests/support/TempDir.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

using namespace tvn;

namespace {

class Modules : public testing::Test {
protected:
    void SetUp() override { ModuleHandler::install(context.get(), 1, 1); }
    // The page goes: its threads are stopped and joined, as the web extension does.
    void TearDown() override { PageThreads::current().stopAll(); }

    std::string run(const std::string& code) { return test::runScript(context.get(), code); }
    // Runs the script thread until `condition` (a script expression) is true.
    bool runUntil(const std::string& condition)
    {
        for (int i = 0; i < 10000; ++i) {
            while (g_main_context_iteration(nullptr, FALSE)) { }
            if (run(condition) == "true")
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return false;
    }
    static std::string quoted(const std::filesystem::path& path) { return nlohmann::json(path.string()).dump(); }

    test::TempDir dir;
    GRef<JSCContext> context = GRef<JSCContext>::adopt(jsc_context_new());
};

// Python's standard output and error for `script`.
std::string python(const std::string& script)
{
    const test::TempDir scratch;
    test::writeFile(scratch / "script.py", script);
    std::string output;
    if (FILE* pipe = popen(("python3 '" + (scratch / "script.py").string() + "' 2>&1").c_str(), "r")) {
        char buffer[4096];
        for (size_t n; (n = fread(buffer, 1, sizeof(buffer), pipe)) > 0;)
            output.append(buffer, n);
        pclose(pipe);
    }
    return output;
}

} // namespace

TEST_F(Modules, FileArgumentsAndResults)
{
    run("var file = module('file')");
    for (const char* wrong : { "file.exists()", "file.exists(1)", "file.isDir('a', 'b')", "file.copy('a')", "file.move()", "file.listDir('x')", "file.copyAsync(5)" })
        EXPECT_EQ(run(wrong), "!Invalid arguments") << wrong;
    test::writeFile(dir / "a.txt", "abc");
    EXPECT_EQ(run("[file.exists(" + quoted(dir / "a.txt") + "), file.isFile(" + quoted(dir.path()) + "), file.fileSize(" + quoted(dir / "a.txt")
                  + "), file.copy({ from: " + quoted(dir / "a.txt") + ", to: " + quoted(dir / "b.txt") + " }), file.copy({ from: " + quoted(dir / "a.txt")
                  + ", to: " + quoted(dir / "b.txt") + " }), file.move({ from: " + quoted(dir / "b.txt") + ", to: " + quoted(dir / "c.txt")
                  + " }), file.delete(" + quoted(dir / "c.txt") + ")].join()"),
        "true,false,3,0,183,0,0");
}

// A drive the table does not map names nothing: not found, never made, never written, and nothing
// appears in the working folder under the path as written.
TEST_F(Modules, UnmappedDrivesNameNothing)
{
    std::filesystem::create_directories(dir / "config" / "tvn");
    test::writeFile(dir / "config" / "tvn" / "config.ini", "[system]\nwineprefix = none\n");
    setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
    const std::filesystem::path working = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    test::writeFile(dir / "a.txt", "abc");
    run("var file = module('file')");
    EXPECT_EQ(run("[file.exists('D:\\\\x'), file.makeDir('D:\\\\made'), file.copy({ from: " + quoted(dir / "a.txt")
                  + ", to: 'D:\\\\b.txt' }), file.move({ from: " + quoted(dir / "a.txt") + ", to: 'Q:/c.txt' })].join()"),
        "false,false,3,3");
    EXPECT_EQ(run("file.makeDir('C:\\\\made')"), "true"); // the mapped drive still works
    std::filesystem::current_path(working);
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string> { "a.txt", "config" }));
    EXPECT_TRUE(std::filesystem::is_directory(dir / "config" / "tvn" / "drive_c" / "made"));
}

TEST_F(Modules, ListingComesInOrderThenEnds)
{
    std::filesystem::create_directories(dir / "d" / "e");
    test::writeFile(dir / "d" / "e" / "f.txt", "");
    test::writeFile(dir / "g.txt", "");
    run("var calls = []; module('file').listDir({ path: " + quoted(dir.path()) + ", recursive: true, callback: function (done, isDir, path) {"
        " calls.push([done, isDir, path]); } })");
    ASSERT_TRUE(runUntil("calls.length > 0 && calls[calls.length - 1][0]"));
    const nlohmann::json calls = nlohmann::json::parse(run("JSON.stringify(calls)"));
    ASSERT_EQ(calls.size(), 5u);
    EXPECT_EQ(calls.back(), nlohmann::json::parse(R"([true, false, ""])"));
    std::map<std::string, size_t> position;
    for (size_t i = 0; i + 1 < calls.size(); ++i) {
        EXPECT_FALSE(calls[i][0].get<bool>());
        position[calls[i][2].get<std::string>()] = i;
        EXPECT_EQ(calls[i][1].get<bool>(), std::filesystem::is_directory(calls[i][2].get<std::string>()));
    }
    EXPECT_LT(position[(dir / "d").string()], position[(dir / "d" / "e").string()]); // a folder before what is in it
    EXPECT_LT(position[(dir / "d" / "e").string()], position[(dir / "d" / "e" / "f.txt").string()]);

    // Not recursive (a callback that throws does not stop the others); a missing folder gives only
    // the last call.
    run("var flat = [], none = []; module('file').listDir({ path: " + quoted(dir.path()) + ", callback: function (d, i, p) { flat.push(p); throw new Error('each call stands alone'); } });"
        "module('file').listDir({ path: " + quoted(dir / "missing") + ", callback: function (d, i, p) { none.push([d, i, p]); } })");
    ASSERT_TRUE(runUntil("flat.length === 3 && none.length === 1"));
    EXPECT_EQ(run("JSON.stringify(none)"), R"([[true,false,""]])");
}

TEST_F(Modules, CopyAsyncReportsProgressThenTheEnd)
{
    test::writeFile(dir / "a.bin", std::string(1 << 20, 'a'));
    run("var progress = []; module('file').copyAsync({ from: " + quoted(dir / "a.bin") + ", to: " + quoted(dir / "into") + " + '/',"
        " progress: function (p) { progress.push(p); } })");
    ASSERT_TRUE(runUntil("progress.length > 0 && progress[progress.length - 1].complete"));
    EXPECT_EQ(run("JSON.stringify(progress[progress.length - 1])"), R"({"complete":true,"current":0,"total":0})");
    EXPECT_EQ(run("progress.slice(0, -1).every(function (p) { return !p.complete && p.total === 1048576 && p.current <= p.total; })"), "true");
    EXPECT_EQ(test::readFile(dir / "into" / "a.bin").size(), 1u << 20);

    // A copy that fails ends the same way.
    run("var failed = []; module('file').copyAsync({ from: " + quoted(dir / "none") + ", to: " + quoted(dir / "x") + ", progress: function (p) { failed.push(p); } })");
    ASSERT_TRUE(runUntil("failed.length === 1"));
    EXPECT_EQ(run("JSON.stringify(failed)"), R"([{"complete":true,"current":0,"total":0}])");
}

TEST_F(Modules, RegistryRules)
{
    platform::RegistryStore store(dir / "registry.db");
    const ModuleFactory original = builtinModules().at("reg");
    addBuiltinModule("reg", [&store] { return std::make_shared<ModuleReg>(store); });
    run("var reg = module('reg')");
    EXPECT_EQ(run("reg.exists('x')"), "!Invalid arguments");

    // Every missing key is made; a root's name is exact (lower case is the current user).
    EXPECT_EQ(run("reg.writeString({ key: 'hkey_local_machine', path: 'Software\\\\Tvn\\\\Deep', name: 'v', value: '中文' })"), "true");
    EXPECT_EQ(run("reg.readString({ key: 'HKEY_CURRENT_USER', path: 'software\\\\tvn\\\\deep', name: 'v' })"), "中文");
    EXPECT_EQ(run("reg.readString({ key: 'HKEY_LOCAL_MACHINE', path: 'Software\\\\Tvn\\\\Deep', name: 'v', default: 'dflt' })"), "dflt");
    EXPECT_EQ(run("reg.readString({ path: 'Software\\\\Tvn', name: 'none' })"), "");
    // A number is 4 bytes: a longer string value gives the default.
    EXPECT_EQ(run("reg.writeNumber({ path: 'Software\\\\Tvn', name: 'n', value: '-7' }) && reg.readNumber({ path: 'Software\\\\Tvn', name: 'n' })"), "-7");
    EXPECT_EQ(run("reg.readNumber({ path: 'Software\\\\Tvn\\\\Deep', name: 'v', default: 42 })"), "42");
    // An empty name is the key's default value, not the key.
    EXPECT_EQ(run("reg.exists({ path: 'Software\\\\Tvn', name: '' })"), "false");
    run("reg.writeString({ path: 'Software\\\\Tvn', value: 'd' })");
    EXPECT_EQ(run("reg.exists({ path: 'Software\\\\Tvn', name: '' })"), "true");

    EXPECT_EQ(run("reg.deleteValue({ path: 'Software\\\\Tvn', name: 'none' })"), "false");
    EXPECT_EQ(run("reg.deleteValue({ path: 'Software\\\\Tvn', name: 'n' })"), "true");
    EXPECT_EQ(run("reg.deleteKey({ path: 'Software\\\\Tvn' }) + ',' + reg.exists({ path: 'Software\\\\Tvn\\\\Deep', name: 'v' })"), "true,false");
    testing::internal::CaptureStdout();
    EXPECT_EQ(run("reg.deleteKey({ path: 'Software\\\\Nothing' })"), "true");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Key not found.\n");
    addBuiltinModule("reg", original);

    const std::string path = std::string(518, 'k') + "中x";
    EXPECT_EQ(cutToUtf16Units(path, 519), std::string(518, 'k') + "中");
    EXPECT_EQ(cutToUtf16Units(std::string(518, 'k') + "😀", 519), std::string(518, 'k')); // a pair never split
}

// Our listing against Python's zipfile, over archives with folders, stored and deflated entries, a
// CRC above 0x7FFFFFFF and zip64 records.
TEST_F(Modules, ZipInfoMatchesAnIndependentReader)
{
    const std::string made = python(R"(
import json, sys, zipfile, zlib
folder = ')" + dir.path().string() + R"('
high = next(b'x%d' % i for i in range(100000) if zlib.crc32(b'x%d' % i) > 0x7FFFFFFF)
def make(name, zip64):
    path = folder + '/' + name
    with zipfile.ZipFile(path, 'w') as z:
        z.writestr('dir/', b'')
        z.writestr(zipfile.ZipInfo('dir/stored.txt'), b'stored' * 100, compress_type=zipfile.ZIP_STORED)
        z.writestr('dir/deflated.txt', b'deflated ' * 1000, compress_type=zipfile.ZIP_DEFLATED)
        z.writestr('high.bin', high)
        if zip64:
            with z.open('big64.txt', 'w', force_zip64=True) as f:
                f.write(b'zip64')
    expected = []
    with zipfile.ZipFile(path) as z:
        offset = z.start_dir
        for index, info in enumerate(z.infolist()):
            name_bytes = info.filename.encode('utf-8' if info.flag_bits & 0x800 else 'cp437')
            signed = lambda v: v - (1 << 32) if v & 0x80000000 else v
            expected.append({'index': index, 'name': info.filename, 'size': signed(info.file_size & 0xFFFFFFFF),
                'comp_size': signed(info.compress_size & 0xFFFFFFFF), 'isdir': info.filename.endswith('/'),
                'crc32': signed(info.CRC), 'dir_offset': offset, 'header_offset': info.header_offset})
            offset += 46 + len(name_bytes) + len(info.extra) + len(info.comment)
    return expected
print(json.dumps({'plain': make('plain.zip', False), 'zip64': make('zip64.zip', True)}))
)");
    nlohmann::json expected = nlohmann::json::parse(made, nullptr, false);
    ASSERT_TRUE(expected.is_object()) << made;
    for (const char* name : { "plain", "zip64" }) {
        const std::string info = run("JSON.stringify(module('zip').open({ path: " + quoted(dir / (std::string(name) + ".zip")) + " }).info())");
        EXPECT_EQ(nlohmann::json::parse(info), expected[name]) << name;
    }
    EXPECT_EQ(run("JSON.parse(JSON.stringify(module('zip').open({ path: " + quoted(dir / "plain.zip") + " }).info()))[3].crc32 < 0"), "true");

    // No archive, no entries: a missing file, a file that is no archive, a bad level or mode.
    test::writeFile(dir / "not.zip", std::string(1000, 'P'));
    for (const std::string& options : { "{ path: " + quoted(dir / "none.zip") + " }", "{ path: " + quoted(dir / "not.zip") + " }",
             "{ path: " + quoted(dir / "plain.zip") + ", level: 11 }", "{ path: " + quoted(dir / "plain.zip") + ", mode: 'x' }" })
        EXPECT_EQ(run("module('zip').open(" + options + ").info().length"), "0") << options;
    EXPECT_EQ(run("module('zip').open({ path: " + quoted(dir / "plain.zip") + ", mode: '', level: 26 }).info().length"), "4"); // 26 & 15 = 10
    EXPECT_EQ(run("module('zip').open()"), "!Invalid arguments");
}

// A listing with a callback runs off the script thread and hands the same list over; an archive
// that claims more entries than the cap is listed up to the cap, and its last listed entry is the
// cap's.
TEST_F(Modules, ZipInfoWithACallbackAndTheEntryCap)
{
    ASSERT_EQ(python("import zipfile\nwith zipfile.ZipFile('" + (dir / "many.zip").string() + "', 'w') as z:\n"
                     "    for i in range(" + std::to_string(kMaxZipEntries + 1) + "): z.writestr('e%d' % i, b'')"), "");
    run("var listed = null; var many = module('zip').open({ path: " + quoted(dir / "many.zip") + " });"
        "var returned = many.info(function (entries) { listed = entries; })");
    EXPECT_EQ(run("returned === undefined && listed === null"), "true"); // nothing yet: the list comes later
    ASSERT_TRUE(runUntil("listed !== null"));
    EXPECT_EQ(run("listed.length + ' ' + listed[listed.length - 1].name"), std::to_string(kMaxZipEntries) + " e" + std::to_string(kMaxZipEntries - 1));

    run("var none = null; module('zip').open({ path: " + quoted(dir / "missing.zip") + " }).info(function (entries) { none = entries; })");
    ASSERT_TRUE(runUntil("none !== null"));
    EXPECT_EQ(run("none.length"), "0");
    EXPECT_EQ(run("many.info(5)"), "!Invalid arguments");
}

// An archive opened for writing is finalised when its object goes: a valid empty archive. One
// opened to modify keeps its entries valid.
TEST_F(Modules, ZipArchivesAreLeftValid)
{
    ASSERT_EQ(python("import zipfile\nwith zipfile.ZipFile('" + (dir / "old.zip").string() + "', 'w') as z: z.writestr('a.txt', 'a')"), "");
    run("var w = module('zip').open({ path: " + quoted(dir / "new.zip") + ", mode: 'w' }); var count = w.info().length;"
        "var a = module('zip').open({ path: " + quoted(dir / "old.zip") + ", mode: 'a' }); count += ',' + a.info().length;"
        "var d = module('zip').open({ path: " + quoted(dir / "old.zip") + ", mode: 'd' }); count += ',' + d.info().length;");
    EXPECT_EQ(run("count"), "0,1,1");
    context = GRef<JSCContext>(); // the context goes, and with it every object of its page
    EXPECT_EQ(python("import zipfile\nfor name in ('new.zip', 'old.zip'): print(len(zipfile.ZipFile('" + dir.path().string() + "/' + name).infolist()))"), "0\n1\n");
}

// A central-directory record whose offset field is 0xFFFFFFFF: the zip64 extra field holds it, after
// the sizes that are 0xFFFFFFFF too; other extra fields before it are skipped.
TEST(ZipArchive, LocalHeaderOffsetFromZip64Records)
{
    const auto record = [](uint32_t compressed, uint32_t uncompressed, uint32_t offset, const std::string& extra) {
        std::string bytes(46, '\0');
        const auto put = [&bytes](size_t at, uint64_t value, size_t width) {
            for (size_t i = 0; i < width; ++i)
                bytes[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
        };
        put(0, 0x02014b50, 4);
        put(20, compressed, 4);
        put(24, uncompressed, 4);
        put(28, 4, 2); // name length
        put(30, extra.size(), 2);
        put(42, offset, 4);
        return bytes + "name" + extra;
    };
    const auto field = [](uint16_t id, const std::vector<uint64_t>& values) {
        std::string bytes = { char(id & 0xFF), char(id >> 8), char(values.size() * 8), 0 };
        for (uint64_t value : values)
            for (int i = 0; i < 8; ++i)
                bytes += static_cast<char>((value >> (8 * i)) & 0xFF);
        return bytes;
    };
    EXPECT_EQ(localHeaderOffset(record(10, 10, 1234, "")), 1234u);
    EXPECT_EQ(localHeaderOffset(record(10, 10, 0xFFFFFFFF, field(0x5455, { 7 }) + field(0x0001, { 0x123456789ull }))), 0x123456789ull);
    EXPECT_EQ(localHeaderOffset(record(0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, field(0x0001, { 5000000000ull, 4000000000ull, 0x200000000ull }))), 0x200000000ull);
    EXPECT_EQ(localHeaderOffset(record(10, 0xFFFFFFFF, 0xFFFFFFFF, field(0x0001, { 5000000000ull }))), std::nullopt); // the field is short
    EXPECT_EQ(localHeaderOffset(record(10, 10, 0xFFFFFFFF, "")), std::nullopt);
    EXPECT_EQ(localHeaderOffset(record(10, 10, 1234, "").substr(0, 40)), std::nullopt);
    EXPECT_EQ(localHeaderOffset(std::string(46, 'P')), std::nullopt);
}
