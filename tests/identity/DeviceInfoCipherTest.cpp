// The device information's Blowfish encoding: the cipher against published vectors and OpenSSL's
// command-line tool, the byte order of the halves, the untouched tail, the round trip.
#include "identity/DeviceInfoCipher.h"
#include "tests/support/TempDir.h"
#include "util/Base64.h"

#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>

using namespace tvn;

namespace {

std::string fromHex(std::string_view hex)
{
    std::string bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes += static_cast<char>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16));
    return bytes;
}

std::array<uint32_t, 2> bigEndianBlock(std::string_view hex)
{
    return { static_cast<uint32_t>(std::stoul(std::string(hex.substr(0, 8)), nullptr, 16)),
        static_cast<uint32_t>(std::stoul(std::string(hex.substr(8, 8)), nullptr, 16)) };
}

} // namespace

// Eric Young's test vectors, keys of 8, 15 and 16 bytes.
TEST(DeviceInfoCipher, PublishedVectors)
{
    struct Vector {
        const char* key;
        const char* plain;
        const char* cipher;
    };
    for (const Vector& v : { Vector { "0000000000000000", "0000000000000000", "4EF997456198DD78" },
             Vector { "FFFFFFFFFFFFFFFF", "FFFFFFFFFFFFFFFF", "51866FD5B85ECB8A" },
             Vector { "3000000000000000", "1000000000000001", "7D856F9A613063F2" },
             Vector { "FEDCBA9876543210", "0123456789ABCDEF", "0ACEAB0FC6A0A28D" },
             Vector { "F0E1D2C3B4A5968778695A4B3C2D1E", "FEDCBA9876543210", "79D9373A714CA34F" },
             Vector { "F0E1D2C3B4A5968778695A4B3C2D1E0F", "FEDCBA9876543210", "93142887EE3BE15C" } }) {
        const BlowfishCipher cipher(fromHex(v.key));
        EXPECT_EQ(cipher.encrypt(bigEndianBlock(v.plain)), bigEndianBlock(v.cipher)) << v.key;
        EXPECT_EQ(cipher.decrypt(bigEndianBlock(v.cipher)), bigEndianBlock(v.plain)) << v.key;
    }
}

// The halves are little-endian: byte-swapping each word and running the standard (big-endian) tool
// must give the same blocks, swapped back.
TEST(DeviceInfoCipher, HalvesAreLittleEndianAgainstOpenSslTool)
{
    const std::string key = fromHex("F0E1D2C3B4A5968778695A4B3C2D1E0F");
    std::string document = R"({"CPUID": "BFEBFBFF000906EA", "DiskSerialNumber": "S4EW"})"; // not a multiple of 8
    std::string ours = document;
    BlowfishCipher(key).encryptBlocks(ours);

    const size_t whole = document.size() / 8 * 8;
    std::string swapped = document.substr(0, whole);
    for (size_t i = 0; i < whole; i += 4)
        std::swap(swapped[i], swapped[i + 3]), std::swap(swapped[i + 1], swapped[i + 2]);
    test::TempDir dir;
    {
        std::ofstream(dir / "in", std::ios::binary) << swapped;
    }
    const std::string command = "openssl enc -bf-ecb -provider legacy -provider default -nopad -K F0E1D2C3B4A5968778695A4B3C2D1E0F -in '"
        + (dir / "in").string() + "' -out '" + (dir / "out").string() + "' 2>/dev/null";
    if (std::system(command.c_str()) != 0)
        GTEST_SKIP() << "no openssl tool with the legacy provider";
    std::string theirs = test::readFile(dir / "out");
    ASSERT_EQ(theirs.size(), whole);
    for (size_t i = 0; i < whole; i += 4)
        std::swap(theirs[i], theirs[i + 3]), std::swap(theirs[i + 1], theirs[i + 2]);
    EXPECT_EQ(ours.substr(0, whole), theirs);
    EXPECT_EQ(ours.substr(whole), document.substr(whole)); // the tail is left as it was
}

TEST(DeviceInfoCipher, RoundTripKeepsEveryTail)
{
    const std::string document = R"({"CPUID": "178BFBFF00A50F00", "DiskSerialNumber": "", "MainBoardSN": "中文", "MainBoardUUID": "x"})";
    for (size_t tail = 0; tail < 8; ++tail) {
        const std::string text = document.substr(0, 64 + tail);
        const std::string encoded = encodeDeviceInfo(text);
        EXPECT_NE(base64Decode(encoded), std::vector<uint8_t>(text.begin(), text.end()));
        EXPECT_EQ(decodeDeviceInfo(encoded), text) << tail;
    }
    // Shorter than one block: nothing is encrypted.
    EXPECT_EQ(encodeDeviceInfo("{\"a\":1}"), base64Encode(std::string_view("{\"a\":1}")));
    EXPECT_EQ(decodeDeviceInfo(""), "");
}
