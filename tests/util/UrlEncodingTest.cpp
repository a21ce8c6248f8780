#include "util/UrlEncoding.h"

#include <gtest/gtest.h>

using namespace tvn;

TEST(UrlEncoding, Encode)
{
    EXPECT_EQ(urlEncode(""), "");
    EXPECT_EQ(urlEncode("a b/c~d-e_f.g"), "a%20b%2Fc~d-e_f.g");
    EXPECT_EQ(urlEncode("\xE4+\x01"), "%E4%2B%01");
    EXPECT_EQ(urlEncode(std::string("\0", 1)), "%00");
}

TEST(UrlEncoding, Decode)
{
    EXPECT_EQ(urlDecode("%2f%2F+x"), "// x");
    EXPECT_EQ(urlDecode("%zz%4"), "%zz%4");
    EXPECT_EQ(urlDecode("100%"), "100%");
    EXPECT_EQ(urlDecode("%E4%BD%A0"), "\xE4\xBD\xA0");
    EXPECT_EQ(urlDecode(std::string("ab\0%41", 6)), "ab"); // stops at the first NUL
}

TEST(UrlEncoding, RoundTripOfEveryByte)
{
    std::string all;
    for (int c = 1; c < 256; ++c)
        all += static_cast<char>(c);
    EXPECT_EQ(urlDecode(urlEncode(all)), all);
}
