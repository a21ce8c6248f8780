// Message box rules: the page's options to flags and icon, the buttons shown, the answer of an id,
// and the request's trip over the window channel.
#include "window/MessageBox.h"
#include "tests/support/Environment.h"

#include <clocale>
#include <filesystem>
#include <gtest/gtest.h>
#include <libintl.h>
#include <nlohmann/json.hpp>

using namespace tvn;

TEST(MessageBox, ButtonNamesAreExact)
{
    EXPECT_EQ(standardButtonFlags("yes,no"), kButtonYes | kButtonNo);
    EXPECT_EQ(standardButtonFlags("ok, cancel"), kButtonOk); // " cancel" keeps its blank and matches nothing
    EXPECT_EQ(standardButtonFlags("OK,retry,close,,help"), kButtonRetry | kButtonClose);
    EXPECT_EQ(standardButtonFlags(""), 0);
    EXPECT_EQ(messageBoxIcon("warning"), MessageBoxIcon::Warning);
    EXPECT_EQ(messageBoxIcon("shield"), MessageBoxIcon::Shield);
    EXPECT_EQ(messageBoxIcon("Warning"), MessageBoxIcon::None);
}

TEST(MessageBox, ShownButtonsAndAnswers)
{
    MessageBoxRequest request;
    request.standardButtons = standardButtonFlags("close,cancel,yes");
    request.customButtons = { { 1000, "later", "&Later" }, { 1001, "now", "A_B && C" } };
    EXPECT_EQ(shownButtons(request), (std::vector<ShownButton> { { 1000, "_Later" }, { 1001, "A__B & C" }, { kIdYes, "_Yes" },
                                         { kIdCancel, "_Cancel" }, { kIdClose, "C_lose" } }));
    EXPECT_EQ(dismissResult(request), kIdCancel);
    EXPECT_EQ(messageBoxAnswer(1000, request.customButtons), "later");
    EXPECT_EQ(messageBoxAnswer(kIdClose, request.customButtons), "close");
    EXPECT_EQ(messageBoxAnswer(kIdNo, {}), "no");
    EXPECT_EQ(messageBoxAnswer(0, request.customButtons), "");
    EXPECT_EQ(messageBoxAnswer(1002, request.customButtons), "");

    // Nothing asked for: OK alone, and no Cancel for Escape to stand for.
    const MessageBoxRequest bare;
    EXPECT_EQ(shownButtons(bare), (std::vector<ShownButton> { { kIdOk, "_OK" } }));
    EXPECT_EQ(dismissResult(bare), std::nullopt);
}

// The standard buttons speak the desktop's language (the page's own buttons come translated).
TEST(MessageBox, StandardButtonsInTheDesktopsLanguage)
{
    test::EnvironmentChange environment;
    environment.unset("LANGUAGE"); // the locale alone says which
    const std::string before = std::setlocale(LC_ALL, nullptr);
    ASSERT_NE(std::setlocale(LC_ALL, "zh_CN.UTF-8"), nullptr) << "the zh_CN.UTF-8 locale (install-deps makes it)";
    bindtextdomain("tvn", (std::filesystem::path(TVN_EXECUTABLE).parent_path() / "locale").c_str());
    bind_textdomain_codeset("tvn", "UTF-8");
    MessageBoxRequest request;
    request.standardButtons = standardButtonFlags("yes,no");
    request.customButtons = { { 1000, "later", "&Later" } };
    const std::vector<ShownButton> shown = shownButtons(request);
    std::setlocale(LC_ALL, before.c_str());
    EXPECT_EQ(shown, (std::vector<ShownButton> { { 1000, "_Later" }, { kIdYes, "是(_Y)" }, { kIdNo, "否(_N)" } }));
}

TEST(MessageBox, RequestTravelsAsJson)
{
    MessageBoxRequest request { "Title", "Main", "Text 中文", kButtonYes | kButtonNo, MessageBoxIcon::Warning, { { 1000, "later", "Later" } } };
    const std::optional<MessageBoxRequest> back = messageBoxRequestFromJson(nlohmann::json::parse(toJson(request).dump()));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->title, "Title");
    EXPECT_EQ(back->text, "Text 中文");
    EXPECT_EQ(back->standardButtons, kButtonYes | kButtonNo);
    EXPECT_EQ(back->icon, MessageBoxIcon::Warning);
    ASSERT_EQ(back->customButtons.size(), 1u);
    EXPECT_EQ(back->customButtons[0].id, 1000);
    EXPECT_EQ(back->customButtons[0].text, "Later");

    EXPECT_FALSE(messageBoxRequestFromJson(nlohmann::json::array()));
    EXPECT_EQ(messageBoxRequestFromJson({ { "icon", 99 } })->icon, MessageBoxIcon::None);
}
