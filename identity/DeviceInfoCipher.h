// The device information's encoding: Blowfish (ECB) over the document's complete 8-byte blocks,
// each read as two little-endian 32-bit halves, the tail of fewer than 8 bytes left as it is, then
// Base64. The same fixed key encodes and decodes.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace tvn {

// The key-expanded Blowfish state (16 rounds, the standard P-array and S-boxes), from OpenSSL.
class BlowfishCipher {
public:
    explicit BlowfishCipher(std::string_view key);
    ~BlowfishCipher();
    BlowfishCipher(const BlowfishCipher&) = delete;
    BlowfishCipher& operator=(const BlowfishCipher&) = delete;

    // One block as its two 32-bit words, left and right.
    std::array<uint32_t, 2> encrypt(std::array<uint32_t, 2> block) const;
    std::array<uint32_t, 2> decrypt(std::array<uint32_t, 2> block) const;

    // Every complete 8-byte block of `bytes` in place, halves read little-endian; the tail stays.
    void encryptBlocks(std::string& bytes) const;
    void decryptBlocks(std::string& bytes) const;

private:
    struct State;
    std::unique_ptr<State> m_state;
};

inline constexpr std::string_view kDeviceInfoKey = "k7#Qm2p!Zx9&Lw4";

std::string encodeDeviceInfo(std::string_view document);
// The inverse; text that is not Base64 decodes what it can.
std::string decodeDeviceInfo(std::string_view text);

} // namespace tvn
