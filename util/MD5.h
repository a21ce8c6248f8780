// MD5 message digest (RFC 1321), rendered as 32 lower-case hexadecimal digits.
//
// Used for the single-instance name, the resource pack's entry digests and the device id. Not a
// security primitive: nothing here relies on it resisting collisions.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tvn {

class MD5 {
public:
    MD5();
    explicit MD5(std::string_view bytes);

    void update(const void* data, size_t length);
    void update(std::string_view bytes) { update(bytes.data(), bytes.size()); }

    // Finishes the digest on the first call; later calls give the same text. Feeding more after
    // that is a programmer error.
    std::string hexdigest();

private:
    void transform(const uint8_t block[64]);
    void finish();

    std::array<uint32_t, 4> m_state;
    uint64_t m_bitCount = 0;
    std::array<uint8_t, 64> m_buffer {};
    std::array<uint8_t, 16> m_digest {};
    bool m_finished = false;
};

} // namespace tvn
