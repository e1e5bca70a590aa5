#include "tests/support/TestTLS.h"

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

namespace quillory::testsupport {

namespace {

EVP_PKEY* NewKey() {
    EVP_PKEY* key = EVP_EC_gen("P-256");
    if (key == nullptr)
        throw std::runtime_error("test TLS: cannot make a key");
    return key;
}

void AddExtension(X509* cert, X509* issuer, int nid, const std::string& value) {
    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, issuer, cert, nullptr, nullptr, 0);
    X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value.c_str());
    if (ext == nullptr)
        throw std::runtime_error("test TLS: bad extension " + value);
    X509_add_ext(cert, ext, -1);
    X509_EXTENSION_free(ext);
}

// A certificate for `key` named `commonName`, issued by `issuer` (by itself
// when `issuer` is null); signed by the caller.
X509* NewCertificate(EVP_PKEY* key, const std::string& commonName, X509* issuer, long validFrom,
                     long validTo) {
    static long serial = 1;
    X509* cert = X509_new();
    X509_set_version(cert, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(cert), serial++);
    X509_gmtime_adj(X509_getm_notBefore(cert), validFrom);
    X509_gmtime_adj(X509_getm_notAfter(cert), validTo);
    X509_set_pubkey(cert, key);
    X509_NAME* name = X509_get_subject_name(cert);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>(commonName.c_str()), -1, -1,
                               0);
    X509_set_issuer_name(cert, issuer ? X509_get_subject_name(issuer) : name);
    return cert;
}

} // namespace

TTestCA::TTestCA(const std::string& name) {
    char pattern[] = "/tmp/quillory-tls-XXXXXX";
    if (::mkdtemp(pattern) == nullptr)
        throw std::runtime_error("test TLS: no temporary folder");
    FFolder = pattern;
    FCertFile = FFolder + "/ca.pem";
    FKey = NewKey();
    FCert = NewCertificate(FKey, name, nullptr, -86400, 365L * 86400);
    AddExtension(FCert, FCert, NID_basic_constraints, "critical,CA:TRUE");
    AddExtension(FCert, FCert, NID_key_usage, "critical,keyCertSign,cRLSign");
    AddExtension(FCert, FCert, NID_subject_key_identifier, "hash");
    X509_sign(FCert, FKey, EVP_sha256());
    FILE* f = std::fopen(FCertFile.c_str(), "w");
    if (f == nullptr)
        throw std::runtime_error("test TLS: cannot write " + FCertFile);
    PEM_write_X509(f, FCert);
    std::fclose(f);
}

TTestCA::~TTestCA() {
    X509_free(FCert);
    EVP_PKEY_free(FKey);
    std::error_code ignored;
    std::filesystem::remove_all(FFolder, ignored);
}

TServerContext TTestCA::ServerContext(const TCertificateOptions& options) const {
    EVP_PKEY* key = NewKey();
    X509* cert = NewCertificate(key, options.DNSNames.empty() ? "server" : options.DNSNames[0],
                                FCert, options.ValidFrom, options.ValidTo);
    std::string names;
    for (const std::string& n : options.DNSNames)
        names += (names.empty() ? "DNS:" : ",DNS:") + n;
    for (const std::string& ip : options.IPAddresses)
        names += (names.empty() ? "IP:" : ",IP:") + ip;
    if (!names.empty())
        AddExtension(cert, FCert, NID_subject_alt_name, names);
    AddExtension(cert, FCert, NID_basic_constraints, "CA:FALSE");
    AddExtension(cert, FCert, NID_ext_key_usage, "serverAuth");
    AddExtension(cert, FCert, NID_authority_key_identifier, "keyid:always");
    X509_sign(cert, FKey, EVP_sha256());

    SSL_CTX* ctx = SSL_CTX_new(TLS_server_method());
    SSL_CTX_use_certificate(ctx, cert);
    SSL_CTX_use_PrivateKey(ctx, key);
    X509_free(cert);
    EVP_PKEY_free(key);
    return TServerContext(ctx, SSL_CTX_free);
}

TTestCA& TrustedTestCA() {
    static TTestCA ca("Quillory Test CA");
    static const bool pointed = [] {
        ::setenv("SSL_CERT_FILE", ca.CertFile().c_str(), 1);
        // A folder without hashed certificates: the system's CAs are not used.
        ::setenv("SSL_CERT_DIR", std::filesystem::path(ca.CertFile()).parent_path().c_str(), 1);
        return true;
    }();
    (void)pointed;
    return ca;
}

} // namespace quillory::testsupport
