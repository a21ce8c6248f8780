#include "util/Base64.h"

#include <gtest/gtest.h>
#include <random>

using namespace tvn;

namespace {
std::string text(const std::vector<uint8_t>& bytes) { return { bytes.begin(), bytes.end() }; }
}

TEST(Base64, EncodeWithPadding)
{
    EXPECT_EQ(base64Encode(""), "");
    EXPECT_EQ(base64Encode("f"), "Zg==");
    EXPECT_EQ(base64Encode("fo"), "Zm8=");
    EXPECT_EQ(base64Encode("foo"), "Zm9v");
    EXPECT_EQ(base64Encode("foobar"), "Zm9vYmFy");
    EXPECT_EQ(base64Encode("\xFF\xFE\xFD"), "//79");
}

TEST(Base64, DecodeStopsAtPaddingOrAForeignCharacter)
{
    EXPECT_EQ(text(base64Decode("Zg==")), "f");
    EXPECT_EQ(text(base64Decode("Zm8=")), "fo");
    EXPECT_EQ(text(base64Decode("Zm9vYmFy")), "foobar");
    EXPECT_EQ(text(base64Decode("Zm9v YmFy")), "foo");
    EXPECT_EQ(text(base64Decode("Zm 9v")), "f"); // two characters before the space: one byte
    EXPECT_EQ(text(base64Decode("Z")), "");
    EXPECT_EQ(text(base64Decode("")), "");
    EXPECT_EQ(text(base64Decode("//79")), "\xFF\xFE\xFD");
}

TEST(Base64, RandomRoundTrip)
{
    std::mt19937 random(7);
    for (size_t length = 0; length < 100; ++length) {
        std::string bytes(length, '\0');
        for (char& c : bytes)
            c = static_cast<char>(random());
        ASSERT_EQ(text(base64Decode(base64Encode(bytes))), bytes) << length;
    }
}
