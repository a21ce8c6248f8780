// SHA-256 over OpenSSL's EVP digests.

#include "util/Sha256.h"

#include <fstream>
#include <openssl/evp.h>

namespace tvn {

struct Sha256::State {
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    ~State() { EVP_MD_CTX_free(context); }
};

Sha256::Sha256()
    : m_state(std::make_unique<State>())
{
    EVP_DigestInit_ex(m_state->context, EVP_sha256(), nullptr);
}

Sha256::~Sha256() = default;

void Sha256::update(std::string_view bytes)
{
    EVP_DigestUpdate(m_state->context, bytes.data(), bytes.size());
}

std::string Sha256::hexDigest()
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_DigestFinal_ex(m_state->context, digest, &length);
    EVP_DigestInit_ex(m_state->context, EVP_sha256(), nullptr);
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned int i = 0; i < length; ++i) {
        hex += digits[digest[i] >> 4];
        hex += digits[digest[i] & 0xF];
    }
    return hex;
}

std::string sha256Hex(std::string_view bytes)
{
    Sha256 digest;
    digest.update(bytes);
    return digest.hexDigest();
}

std::optional<std::string> sha256OfFile(const std::filesystem::path& path)
{
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return std::nullopt;
    Sha256 digest;
    char buffer[1 << 16];
    while (file.read(buffer, sizeof(buffer)) || file.gcount() > 0)
        digest.update(std::string_view(buffer, static_cast<size_t>(file.gcount())));
    if (file.bad())
        return std::nullopt;
    return digest.hexDigest();
}

bool isSha256Hex(std::string_view text)
{
    if (text.size() != 64)
        return false;
    for (const char c : text) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F')))
            return false;
    }
    return true;
}

} // namespace tvn
