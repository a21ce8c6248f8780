// Assembling the pack key: bytes 0-15 are the XOR of two 16-byte constants, bytes 16-23 are eight
// stored bytes each XORed with a one-byte constant.

#include "pak/PackKey.h"

#include <array>
#include <cstdint>

namespace tvn {

namespace {

constexpr std::array<uint8_t, 16> kHeadMask = {
    0x6e, 0x61, 0xda, 0x43, 0x3f, 0x5b, 0xff, 0x6d, 0xee, 0x6f, 0x54, 0xfa, 0x36, 0x5e, 0xf6, 0x37,
};
constexpr std::array<uint8_t, 16> kHeadMasked = {
    0x3f, 0x56, 0xac, 0x60, 0x4b, 0x15, 0xcd, 0x1d, 0xa2, 0x17, 0x6d, 0xba, 0x41, 0x0c, 0xc2, 0x5c,
};
constexpr std::array<uint8_t, 8> kTailMasked = { 0xfd, 0xc2, 0x91, 0x86, 0xca, 0xef, 0x94, 0xd4 };
constexpr uint8_t kTailMask = 0xa7;

} // namespace

std::string packKey()
{
    std::string key;
    key.reserve(kHeadMask.size() + kTailMasked.size());
    for (size_t i = 0; i < kHeadMask.size(); ++i)
        key += static_cast<char>(kHeadMask[i] ^ kHeadMasked[i]);
    for (const uint8_t byte : kTailMasked)
        key += static_cast<char>(byte ^ kTailMask);
    return key;
}

} // namespace tvn
