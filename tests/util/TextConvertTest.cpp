#include "util/TextConvert.h"

#include <clocale>
#include <gtest/gtest.h>

using namespace tvn;

TEST(TextConvert, Utf8AndWideRoundTrip)
{
    EXPECT_EQ(wideToUtf8(L""), "");
    EXPECT_EQ(wideToUtf8(L"A\u00e9"), "\x41\xC3\xA9");
    EXPECT_EQ(utf8ToWide("\x41\xC3\xA9"), L"A\u00e9");
    EXPECT_EQ(utf8ToWide(wideToUtf8(L"\u4f60\u597d \U0001F600")), L"\u4f60\u597d \U0001F600");
}

TEST(TextConvert, InvalidInputIsSkippedAndTheRestSurvives)
{
    EXPECT_EQ(utf8ToWide("a\xFF" "b"), L"ab");
    EXPECT_EQ(utf8ToWide("\xE4\xBD"), L""); // truncated sequence at the end
    // A lone surrogate is not a character: it is dropped whole, and what follows stays aligned.
    std::wstring wide = L"x";
    wide += static_cast<wchar_t>(0xD800);
    wide += L"\u00e9y";
    EXPECT_EQ(wideToUtf8(wide), "x\xC3\xA9y");
}

// The scratch buffer is 256 bytes: characters cut at its edge must come out whole.
TEST(TextConvert, LongInputCrossesTheScratchBuffer)
{
    std::wstring wide;
    for (int i = 0; i < 1000; ++i)
        wide += (i % 3) ? L'\u4f60' : L'a';
    const std::string utf8 = wideToUtf8(wide);
    EXPECT_EQ(utf8.size(), 334u + 666u * 3);
    EXPECT_EQ(utf8ToWide(utf8), wide);
}

TEST(TextConvert, Gbk)
{
    EXPECT_EQ(gbkToUtf8("\xC4\xE3\xBA\xC3"), "\xE4\xBD\xA0\xE5\xA5\xBD"); // 你好
    EXPECT_EQ(gbkToWide("\xC4\xE3" "a"), L"\u4f60a");
}

TEST(TextConvert, AnsiIsTheLocaleCodePage)
{
    std::setlocale(LC_ALL, "C");
    EXPECT_EQ(wideToAnsi(L"abc\u00e9"), "abc"); // not representable in ASCII: skipped
    EXPECT_EQ(ansiToWide("abc"), L"abc");
    if (std::setlocale(LC_ALL, "C.UTF-8")) {
        EXPECT_EQ(wideToAnsi(L"\u00e9"), "\xC3\xA9");
        EXPECT_EQ(ansiToWide("\xC3\xA9"), L"\u00e9");
    }
    std::setlocale(LC_ALL, "C");
}

TEST(TextConvert, UnknownEncodingGivesNothing)
{
    Converter converter("no-such-encoding", "UTF-8");
    EXPECT_FALSE(converter.isValid());
    std::string out = "kept";
    EXPECT_FALSE(converter.convert(std::string_view("abc"), out));
    EXPECT_EQ(out, "kept");

    Converter valid("UTF-8", "UTF-8");
    std::string empty;
    EXPECT_TRUE(valid.convert(std::string_view(), empty));
    EXPECT_TRUE(valid.convert(std::string_view("z"), empty));
    EXPECT_EQ(empty, "z");
}
