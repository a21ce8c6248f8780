// The browser process's pure pieces: the window's size by DPI, the web process's start data, the
// user-message parameters, the developer menu's marker and labels, the prompt's text limit.
#include "browser/ContextMenu.h"
#include "browser/InitData.h"
#include "browser/JsonMessage.h"
#include "browser/MainWindow.h"
#include "browser/ScriptDialogs.h"
#include "tests/support/TempDir.h"

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
