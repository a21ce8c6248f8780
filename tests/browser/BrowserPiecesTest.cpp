// The browser process's pure pieces: the window's size by DPI, the web process's start data, the
// user-message parameters, the developer menu's marker and labels, the prompt's text limit.
#include "browser/ContextMenu.h"
#include "browser/MainWindow.h"
#include "browser/NavigationPolicy.h"
#include "browser/ScriptDialogs.h"
#include "ipc/InitData.h"
#include "ipc/JsonMessage.h"
#include "tests/support/TempDir.h"
#include "util/JsonText.h"

#include <gtest/gtest.h>

using namespace tvn;

TEST(MainWindowSize, ScalesWithTheDpi)
{
    EXPECT_EQ(mainWindowSize(96).width, 1168);
    EXPECT_EQ(mainWindowSize(96).height, 832);
    EXPECT_EQ(mainWindowSize(120).width, 1460);
    EXPECT_EQ(mainWindowSize(120).height, 1040);
    EXPECT_EQ(mainWindowSize(144).width, 1752);
    EXPECT_EQ(mainWindowSize(144).height, 1248);
    EXPECT_EQ(mainWindowSize(0).width, 1168); // unknown DPI: unscaled
}

TEST(InitData, RoundTrip)
{
    const InitData data { 0x4a00007, { "/opt/tvn/tvn", "--scene=a b" }, "/opt/tvn/tvn", "/run/tvn.sock", "app://dist.pak" };
    GVariant* variant = g_variant_ref_sink(toVariant(data));
    const auto back = initDataFromVariant(variant);
    g_variant_unref(variant);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->mainWindowId, data.mainWindowId);
    EXPECT_EQ(back->browserArguments, data.browserArguments);
    EXPECT_EQ(back->executablePath, data.executablePath);
    EXPECT_EQ(back->windowChannel, data.windowChannel);
    EXPECT_EQ(back->startOrigin, data.startOrigin);

    // Arguments need not be UTF-8; a GVariant string must be.
    GVariant* odd = g_variant_ref_sink(toVariant({ 1, { "--file=\xC0\xAF" }, "/opt/tvn/tvn", "", "" }));
    EXPECT_EQ(initDataFromVariant(odd)->browserArguments, std::vector<std::string> { "--file=\xEF\xBF\xBD\xEF\xBF\xBD" });
    g_variant_unref(odd);

    GVariant* other = g_variant_ref_sink(g_variant_new_string("x"));
    EXPECT_FALSE(initDataFromVariant(other));
    g_variant_unref(other);
    EXPECT_FALSE(initDataFromVariant(nullptr));
}

TEST(JsonMessage, Parameters)
{
    const nlohmann::json call = { "openFileDialog", { 1, { { "title", "Pick" } } }, "12" };
    GVariant* parameters = g_variant_ref_sink(jsonParameters(call));
    EXPECT_EQ(argumentsOf(parameters), call);
    g_variant_unref(parameters);

    // A file name need not be UTF-8: it travels with replacement characters instead of throwing.
    GVariant* named = g_variant_ref_sink(jsonParameters({ "/tmp/\xFF\xFEname.txt" }));
    EXPECT_EQ(argumentsOf(named), nlohmann::json::array({ "/tmp/\xEF\xBF\xBD\xEF\xBF\xBDname.txt" }));
    g_variant_unref(named);

    GVariant* notJson = g_variant_ref_sink(g_variant_new_string("{not json"));
    EXPECT_EQ(argumentsOf(notJson), nlohmann::json::array());
    g_variant_unref(notJson);
    EXPECT_EQ(argumentsOf(nullptr), nlohmann::json::array());
}

TEST(ContextMenu, DeveloperMarkerAndLabels)
{
    test::TempDir dir;
    EXPECT_FALSE(developerMenuEnabled(dir.path(), dir / "root-dev.$$$"));
    test::writeFile(dir / "root-dev.$$$", "");
    EXPECT_TRUE(developerMenuEnabled(dir.path(), dir / "root-dev.$$$"));
    std::filesystem::remove(dir / "root-dev.$$$");
    test::writeFile(dir / "dev.$$$", "");
    EXPECT_TRUE(developerMenuEnabled(dir.path(), dir / "root-dev.$$$"));

    EXPECT_EQ(gtkMnemonic("&Reload"), "_Reload");
    EXPECT_EQ(gtkMnemonic("&Show DevTools"), "_Show DevTools");
    EXPECT_EQ(gtkMnemonic("Save && quit_now"), "Save & quit__now");
}

TEST(ScriptDialogs, TextsCutToCharacters)
{
    EXPECT_EQ(cutToCharacters(std::string(2000, 'a'), kPromptLimit).size(), 1023u);
    EXPECT_EQ(cutToCharacters("确定取消", 3), "确定取");                // characters, not bytes
    EXPECT_EQ(cutToCharacters("ab\xE7\xA1", 10), "ab");          // a broken sequence goes
    EXPECT_EQ(cutToCharacters("", 5), "");
}

// The main frame stays home; the world goes to the desktop's browser; dropped files go nowhere.
TEST(NavigationPolicy, Verdicts)
{
    const std::string home = "app://dist.pak";
    EXPECT_EQ(navigationVerdict("app://dist.pak/other.html", home, false), NavigationVerdict::Stay);
    EXPECT_EQ(navigationVerdict("https://example.com/a", home, false), NavigationVerdict::OpenOutside);
    EXPECT_EQ(navigationVerdict("HTTP://example.com/a", home, false), NavigationVerdict::OpenOutside);
    for (const char* refused : { "mailto:a@example.com", "file:///etc/passwd", "app://other.pak/index.html", "data:text/html,x",
             "javascript:1", "about:blank", "ftp://a/", "https:example.com", "https://example.com\\@x/", "https://a\x01.example/" })
        EXPECT_EQ(navigationVerdict(refused, home, false), NavigationVerdict::Refuse) << refused;

    // A file start page: its folder is home, yet a file dropped there never becomes the page.
    test::TempDir dir;
    test::writeFile(dir / "b.html", "<p>");
    const std::string folder = "file://" + dir.path().string() + "/";
    EXPECT_EQ(navigationVerdict(folder + "b.html", folder, false), NavigationVerdict::Stay);
    EXPECT_EQ(navigationVerdict(folder + "b.html", folder, true), NavigationVerdict::Refuse);
    EXPECT_EQ(navigationVerdict("https://example.com/", home, true), NavigationVerdict::Refuse);
}

TEST(JsonText, NeverThrowsOnBytes)
{
    EXPECT_EQ(validUtf8("plain"), "plain");
    EXPECT_EQ(validUtf8("\xE7\xA1\xAE\xF0\x9F\x98\x80"), "\xE7\xA1\xAE\xF0\x9F\x98\x80");     // 确 and an emoji stay
    EXPECT_EQ(validUtf8("a\xFF" "b"), "a\xEF\xBF\xBD" "b");
    EXPECT_EQ(validUtf8("\xE7\xA1"), "\xEF\xBF\xBD\xEF\xBF\xBD");                           // a cut sequence
    EXPECT_EQ(validUtf8("\xC0\xAF"), "\xEF\xBF\xBD\xEF\xBF\xBD");                           // overlong "/"
    EXPECT_EQ(validUtf8("\xED\xA0\x80"), "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");       // a surrogate
    EXPECT_EQ(validUtf8("\xF4\x90\x80\x80").substr(0, 3), "\xEF\xBF\xBD");                   // beyond U+10FFFF
    EXPECT_EQ(jsonText(nlohmann::json { { "f", "\xFF" } }), "{\"f\":\"\xEF\xBF\xBD\"}");
}
