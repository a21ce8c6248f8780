// SHA-256 (OpenSSL's): of bytes fed in pieces, or of a whole file, as 64 lower-case hex digits.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace tvn {

class Sha256 {
public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    void update(std::string_view bytes);
    // The digest of everything fed so far; the object starts afresh.
    std::string hexDigest();

private:
    struct State;
    std::unique_ptr<State> m_state;
};

std::string sha256Hex(std::string_view bytes);
// nullopt when the file cannot be read.
std::optional<std::string> sha256OfFile(const std::filesystem::path&);

// 64 hex digits, in either case.
bool isSha256Hex(std::string_view text);

} // namespace tvn
