// The reference server's certificates: a self-signed authority and a server certificate for
// 127.0.0.1 and localhost signed by it, made on first start and kept in the server's state folder.
#pragma once

#include <filesystem>
#include <string>

namespace tvn::server {

struct CertificateFiles {
    std::filesystem::path authority;   // ca.pem: what clients trust
    std::filesystem::path certificate; // server.pem
    std::filesystem::path privateKey;  // server.key
};

// The files in `folder`, made there (with the folder) when any is missing. Throws
// std::runtime_error when they can be neither found nor made.
CertificateFiles ensureCertificates(const std::filesystem::path& folder);

} // namespace tvn::server
