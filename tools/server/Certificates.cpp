// Certificate making with OpenSSL 3: EC P-256 keys, SHA-256 signatures, ten years' validity.

#include "tools/server/Certificates.h"

#include <fcntl.h>
#include <memory>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace tvn::server {

namespace {

struct KeyDeleter {
    void operator()(EVP_PKEY* key) const noexcept { EVP_PKEY_free(key); }
};
struct CertificateDeleter {
    void operator()(X509* certificate) const noexcept { X509_free(certificate); }
};
struct FileDeleter {
    void operator()(FILE* file) const noexcept { std::fclose(file); }
};
using Key = std::unique_ptr<EVP_PKEY, KeyDeleter>;
using Certificate = std::unique_ptr<X509, CertificateDeleter>;

void check(bool ok, const char* what)
{
    if (!ok)
        throw std::runtime_error(std::string("certificate: ") + what);
}

Key newKey()
{
    Key key(EVP_EC_gen("P-256"));
    check(key != nullptr, "key generation failed");
    return key;
}

void addExtension(X509* certificate, X509* issuer, int nid, const char* value)
{
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, issuer, certificate, nullptr, nullptr, 0);
    X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value);
    check(extension != nullptr, "bad extension");
    X509_add_ext(certificate, extension, -1);
    X509_EXTENSION_free(extension);
}

// A certificate for `key` named `commonName`, signed by `issuerKey` (itself when issuer is null).
Certificate newCertificate(EVP_PKEY* key, const char* commonName, X509* issuer, EVP_PKEY* issuerKey, long serial)
{
    Certificate certificate(X509_new());
    check(certificate != nullptr, "allocation failed");
    X509_set_version(certificate.get(), 2);
    ASN1_INTEGER_set(X509_get_serialNumber(certificate.get()), serial);
    X509_gmtime_adj(X509_getm_notBefore(certificate.get()), -3600);
    X509_gmtime_adj(X509_getm_notAfter(certificate.get()), 10L * 365 * 24 * 3600);
    X509_set_pubkey(certificate.get(), key);
    X509_NAME* name = X509_get_subject_name(certificate.get());
    X509_NAME_add_entry_by_txt(name, "O", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("tvn reference server"), -1, -1, 0);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>(commonName), -1, -1, 0);
    X509* signer = issuer ? issuer : certificate.get();
    X509_set_issuer_name(certificate.get(), X509_get_subject_name(signer));
    if (!issuer) {
        addExtension(certificate.get(), signer, NID_basic_constraints, "critical,CA:TRUE");
        addExtension(certificate.get(), signer, NID_key_usage, "critical,keyCertSign,cRLSign");
    } else {
        addExtension(certificate.get(), signer, NID_basic_constraints, "CA:FALSE");
        addExtension(certificate.get(), signer, NID_ext_key_usage, "serverAuth");
        addExtension(certificate.get(), signer, NID_subject_alt_name, "IP:127.0.0.1,DNS:localhost");
    }
    check(X509_sign(certificate.get(), issuerKey, EVP_sha256()) > 0, "signing failed");
    return certificate;
}

// Key files are the user's alone: made with mode 0600, never through a link.
std::unique_ptr<FILE, FileDeleter> openForWriting(const std::filesystem::path& path)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
    check(fd >= 0 && ::fchmod(fd, 0600) == 0, "cannot write the state folder");
    std::unique_ptr<FILE, FileDeleter> file(::fdopen(fd, "wb"));
    if (!file)
        ::close(fd);
    check(file != nullptr, "cannot write the state folder");
    return file;
}

// The state folder holds the authority's key: a folder of this user's own, closed to others.
void makePrivateFolder(const std::filesystem::path& folder)
{
    std::filesystem::create_directories(folder);
    struct stat status {};
    check(::lstat(folder.c_str(), &status) == 0 && S_ISDIR(status.st_mode), "the state folder is not a folder");
    check(status.st_uid == ::getuid(), "the state folder belongs to another user");
    check(::chmod(folder.c_str(), 0700) == 0, "cannot close the state folder to others");
}

} // namespace

CertificateFiles ensureCertificates(const std::filesystem::path& folder)
{
    const CertificateFiles files { folder / "ca.pem", folder / "server.pem", folder / "server.key" };
    makePrivateFolder(folder);
    if (std::filesystem::exists(files.authority) && std::filesystem::exists(files.certificate)
        && std::filesystem::exists(files.privateKey))
        return files;

    const Key authorityKey = newKey();
    const Certificate authority = newCertificate(authorityKey.get(), "tvn reference authority", nullptr, authorityKey.get(), 1);
    const Key serverKey = newKey();
    const Certificate server = newCertificate(serverKey.get(), "127.0.0.1", authority.get(), authorityKey.get(), 2);

    check(PEM_write_X509(openForWriting(files.authority).get(), authority.get()) == 1, "cannot write ca.pem");
    check(PEM_write_X509(openForWriting(files.certificate).get(), server.get()) == 1, "cannot write server.pem");
    check(PEM_write_PrivateKey(openForWriting(files.privateKey).get(), serverKey.get(), nullptr, nullptr, 0, nullptr, nullptr) == 1,
        "cannot write server.key");
    return files;
}

} // namespace tvn::server
