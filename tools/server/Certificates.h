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

// The files in `folder`, made there (with the folder) when any is missing; the folder is closed to
// other users (mode 0700) and the files are made with mode 0600. Throws std::runtime_error when
// they can be neither found nor made, or when the folder is not a folder of this user's own.
CertificateFiles ensureCertificates(const std::filesystem::path& folder);

} // namespace tvn::server
