#include "util/ResponseText.h"

#include <gtest/gtest.h>

using namespace tvn;

namespace {
HeaderMap contentType(const std::string& value) { return { { "Content-type", value } }; }
const std::string kGbkNiHao = "\xC4\xE3\xBA\xC3";
const std::string kUtf8NiHao = "\xE4\xBD\xA0\xE5\xA5\xBD";
}

TEST(ResponseText, CharsetComesFromTheExactHeaderName)
{
    EXPECT_EQ(charsetOf({}), "");
    EXPECT_EQ(charsetOf(contentType("text/html; charset=utf-8 ")), "utf-8");
    EXPECT_EQ(charsetOf(contentType("text/html;charset=\tgbk\r\n")), "gbk");
    EXPECT_EQ(charsetOf(contentType("text/html; Charset=utf-8")), "");
    EXPECT_EQ(charsetOf({ { "Content-Type", "text/html; charset=gbk" } }), "");
}

TEST(ResponseText, NamedCharsets)
{
    EXPECT_EQ(responseText(contentType("text/html; charset=utf-8 "), kUtf8NiHao), kUtf8NiHao);
    EXPECT_EQ(responseText(contentType("application/json;charset=gb2312"), kGbkNiHao), kUtf8NiHao);
    EXPECT_EQ(responseText(contentType("text/plain; charset=gbk"), kGbkNiHao), kUtf8NiHao);
    EXPECT_EQ(responseText(contentType("text/plain; charset=UTF-8"), "abc"), "");
    EXPECT_EQ(responseText(contentType("text/plain; charset=iso-8859-1"), "abc"), "");
}

TEST(ResponseText, WithoutCharsetTheBodyDecides)
{
    EXPECT_EQ(responseText({}, ""), "");
    EXPECT_EQ(responseText({}, "abc"), "abc");
    EXPECT_EQ(responseText({}, kUtf8NiHao), kUtf8NiHao);
    EXPECT_EQ(responseText({}, kGbkNiHao), kUtf8NiHao);
    // A capital T is another header: its charset is not read, the body is classified instead.
    EXPECT_EQ(responseText({ { "Content-Type", "text/plain; charset=gbk" } }, kUtf8NiHao), kUtf8NiHao);
}

TEST(ResponseText, Utf8Walk)
{
    EXPECT_TRUE(looksLikeUtf8("plain"));
    EXPECT_FALSE(looksLikeUtf8("\xC4\xE3"));         // 0xE3 is no continuation byte
    EXPECT_FALSE(looksLikeUtf8("ab\xE4"));           // continuation bytes missing at the end
    EXPECT_FALSE(looksLikeUtf8("\xE4\xBD"));
    EXPECT_FALSE(looksLikeUtf8("\x80"));             // a stray continuation byte
    EXPECT_FALSE(looksLikeUtf8("\xF8\x80\x80\x80")); // no such lead
    EXPECT_FALSE(looksLikeUtf8("\xED\xA0\x80"));     // a surrogate's form decides GBK at once
    EXPECT_TRUE(looksLikeUtf8("\xED\x9F\xBF"));
    EXPECT_TRUE(looksLikeUtf8("\xC0\x80"));          // overlong forms pass the walk
    EXPECT_TRUE(looksLikeUtf8("\xF5\x80\x80\x80"));
    EXPECT_TRUE(looksLikeUtf8("\xF0\x9F\x98\x80"));
}
