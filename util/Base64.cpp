// Base64 encoding and decoding.

#include "util/Base64.h"

namespace tvn {

namespace {

constexpr std::string_view kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int alphabetValue(char c)
{
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}

} // namespace

std::string base64Encode(const void* data, size_t length)
{
    const auto* bytes = static_cast<const uint8_t*>(data);
    std::string encoded;
    encoded.reserve((length + 2) / 3 * 4);
    size_t i = 0;
    for (; i + 3 <= length; i += 3) {
        const uint32_t group = bytes[i] << 16 | bytes[i + 1] << 8 | bytes[i + 2];
        encoded += kAlphabet[group >> 18 & 63];
        encoded += kAlphabet[group >> 12 & 63];
        encoded += kAlphabet[group >> 6 & 63];
        encoded += kAlphabet[group & 63];
    }
    const size_t tail = length - i;
    if (tail) {
        const uint32_t group = bytes[i] << 16 | (tail == 2 ? bytes[i + 1] << 8 : 0);
        encoded += kAlphabet[group >> 18 & 63];
        encoded += kAlphabet[group >> 12 & 63];
        encoded += tail == 2 ? kAlphabet[group >> 6 & 63] : '=';
        encoded += '=';
    }
    return encoded;
}

std::vector<uint8_t> base64Decode(std::string_view text)
{
    std::vector<uint8_t> decoded;
    decoded.reserve(text.size() / 4 * 3);
    uint32_t group = 0;
    int count = 0;
    for (const char c : text) {
        const int value = alphabetValue(c);
        if (value < 0)
            break; // "=" or any other character ends the input
        group = group << 6 | static_cast<uint32_t>(value);
        if (++count == 4) {
            decoded.push_back(static_cast<uint8_t>(group >> 16));
            decoded.push_back(static_cast<uint8_t>(group >> 8));
            decoded.push_back(static_cast<uint8_t>(group));
            group = 0;
            count = 0;
        }
    }
    // A final partial group of n characters carries n - 1 bytes (a lone character carries none).
    if (count >= 2) {
        group <<= 6 * (4 - count);
        decoded.push_back(static_cast<uint8_t>(group >> 16));
        if (count == 3)
            decoded.push_back(static_cast<uint8_t>(group >> 8));
    }
    return decoded;
}

} // namespace tvn
