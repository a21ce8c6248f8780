// The device id and its cache file.

#include "identity/DeviceId.h"

#include "core/Paths.h"
#include "identity/HardwareQueries.h"
#include "platform/AtomicFile.h"
#include "util/MD5.h"
#include "util/Strings.h"

#include <array>
#include <fstream>
#include <iterator>
#include <vector>

namespace tvn {

namespace {

// The salt, each byte XORed with 0x41; unscrambled only into a local buffer when needed.
constexpr std::array<unsigned char, 28> kScrambledSalt = {
    0x35, 0x37, 0x2f, 0x7b, 0x34, 0x28, 0x25, 0x6c, 0x22, 0x20, 0x22, 0x29, 0x24, 0x6e,
    0x32, 0x20, 0x2d, 0x35, 0x62, 0x73, 0x71, 0x73, 0x77, 0x6f, 0x37, 0x70, 0x60, 0x60,
};

std::string readCache(const std::filesystem::path& path)
{
    std::ifstream file(path, std::ios::binary);
    return { std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>() };
}

} // namespace

std::string deviceIdChecksum(std::string_view id)
{
    std::array<char, kScrambledSalt.size()> salt;
    for (size_t i = 0; i < salt.size(); ++i)
        salt[i] = static_cast<char>(kScrambledSalt[i] ^ 0x41);
    MD5 md5(id);
    md5.update(salt.data(), salt.size());
    return md5.hexdigest();
}

bool isInvalidUuid(std::string_view text)
{
    const std::string upper = asciiUpper(text);
    for (const char* placeholder : { "", "FFFFFFFF-FFFF-FFFF-FFFF-FFFFFFFFFFFF", "03000200-0400-0500-0006-000700080009",
             "FEFEFEFE-FEFE-FEFE-FEFE-FEFEFEFEFEFE", "00000000-0000-0000-0000-000000000000" }) {
        if (upper == placeholder)
            return true;
    }
    return false;
}

std::string computeDeviceId()
{
    std::string text = wmiQueryJoined("Win32_ComputerSystemProduct", "UUID");
    if (isInvalidUuid(text))
        text.clear();
    if (text.empty())
        text = wmicFingerprint();
    return MD5(text).hexdigest();
}

std::string deviceId()
{
    const std::filesystem::path cache = appDataPath("uid");
    const std::string content = readCache(cache);
    if (const auto pieces = splitNonEmpty(content, ','); pieces.size() == 2 && deviceIdChecksum(pieces[0]) == pieces[1])
        return pieces[0];

    const std::string id = computeDeviceId();
    // Written whole or not at all; a folder that does not exist leaves the id uncached.
    platform::writeFileAtomically(cache, id + "," + deviceIdChecksum(id), 0600);
    return id;
}

} // namespace tvn
