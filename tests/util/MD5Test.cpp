#include "util/MD5.h"

#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <random>

using namespace tvn;

namespace {

std::string opensslMd5(const std::string& bytes)
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned length = 0;
    EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_md5(), nullptr);
    static constexpr char kHex[] = "0123456789abcdef";
    std::string text;
    for (unsigned i = 0; i < length; ++i) {
        text += kHex[digest[i] >> 4];
        text += kHex[digest[i] & 15];
    }
    return text;
}

} // namespace

TEST(MD5, Rfc1321Vectors)
{
    EXPECT_EQ(MD5("").hexdigest(), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(MD5("a").hexdigest(), "0cc175b9c0f1b6a831c399e269772661");
    EXPECT_EQ(MD5("abc").hexdigest(), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(MD5("message digest").hexdigest(), "f96b697d7cb7938d525a2f31aaf161d0");
    EXPECT_EQ(MD5("abcdefghijklmnopqrstuvwxyz").hexdigest(), "c3fcd3d76192e4007dfb496cca67e13b");
    EXPECT_EQ(MD5("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789").hexdigest(),
        "d174ab98d277d9f5a5611c2c9f419d9f");
    EXPECT_EQ(MD5("12345678901234567890123456789012345678901234567890123456789012345678901234567890").hexdigest(),
        "57edf4a22be3c955ac49da2e2107b67a");
}

TEST(MD5, HexdigestIsStable)
{
    MD5 md5("abc");
    const std::string first = md5.hexdigest();
    EXPECT_EQ(md5.hexdigest(), first);
}

// Every length around the block and padding boundaries, fed whole and in uneven pieces.
TEST(MD5, AgreesWithOpenSslOnRandomInput)
{
    std::mt19937 random(1321);
    for (size_t length = 0; length < 300; ++length) {
        std::string bytes(length, '\0');
        for (char& c : bytes)
            c = static_cast<char>(random());
        const std::string expected = opensslMd5(bytes);
        ASSERT_EQ(MD5(bytes).hexdigest(), expected) << length;

        MD5 pieces;
        for (size_t at = 0; at < length;) {
            const size_t take = std::min<size_t>(random() % 70, length - at);
            pieces.update(bytes.data() + at, take);
            at += take;
        }
        ASSERT_EQ(pieces.hexdigest(), expected) << length;
    }
    const std::string large(1 << 20, 'x');
    EXPECT_EQ(MD5(large).hexdigest(), opensslMd5(large));
}
