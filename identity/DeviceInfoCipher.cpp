// The device information's Blowfish encoding. OpenSSL's block functions take the block as two
// native words, so the byte order is fixed here, at the edge.

#define OPENSSL_SUPPRESS_DEPRECATED // the low-level Blowfish calls are the only ones with a 15-byte key
#include "identity/DeviceInfoCipher.h"

#include "util/Base64.h"

#include <openssl/blowfish.h>

namespace tvn {

struct BlowfishCipher::State {
    BF_KEY key;
};

namespace {

uint32_t readLittleEndian(const char* bytes)
{
    const auto* b = reinterpret_cast<const unsigned char*>(bytes);
    return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
}

void writeLittleEndian(uint32_t word, char* bytes)
{
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<char>((word >> (8 * i)) & 0xFF);
}

template<typename Transform>
void eachBlock(std::string& bytes, Transform transform)
{
    for (size_t at = 0; at + 8 <= bytes.size(); at += 8) {
        const std::array<uint32_t, 2> block = transform({ readLittleEndian(&bytes[at]), readLittleEndian(&bytes[at + 4]) });
        writeLittleEndian(block[0], &bytes[at]);
        writeLittleEndian(block[1], &bytes[at + 4]);
    }
}

} // namespace

BlowfishCipher::BlowfishCipher(std::string_view key)
    : m_state(std::make_unique<State>())
{
    BF_set_key(&m_state->key, static_cast<int>(key.size()), reinterpret_cast<const unsigned char*>(key.data()));
}

BlowfishCipher::~BlowfishCipher() = default;

std::array<uint32_t, 2> BlowfishCipher::encrypt(std::array<uint32_t, 2> block) const
{
    BF_LONG data[2] = { block[0], block[1] };
    BF_encrypt(data, &m_state->key);
    return { static_cast<uint32_t>(data[0]), static_cast<uint32_t>(data[1]) };
}

std::array<uint32_t, 2> BlowfishCipher::decrypt(std::array<uint32_t, 2> block) const
{
    BF_LONG data[2] = { block[0], block[1] };
    BF_decrypt(data, &m_state->key);
    return { static_cast<uint32_t>(data[0]), static_cast<uint32_t>(data[1]) };
}

void BlowfishCipher::encryptBlocks(std::string& bytes) const
{
    eachBlock(bytes, [this](std::array<uint32_t, 2> block) { return encrypt(block); });
}

void BlowfishCipher::decryptBlocks(std::string& bytes) const
{
    eachBlock(bytes, [this](std::array<uint32_t, 2> block) { return decrypt(block); });
}

std::string encodeDeviceInfo(std::string_view document)
{
    std::string bytes(document);
    BlowfishCipher(kDeviceInfoKey).encryptBlocks(bytes);
    return base64Encode(bytes);
}

std::string decodeDeviceInfo(std::string_view text)
{
    const std::vector<uint8_t> decoded = base64Decode(text);
    std::string bytes(decoded.begin(), decoded.end());
    BlowfishCipher(kDeviceInfoKey).decryptBlocks(bytes);
    return bytes;
}

} // namespace tvn
