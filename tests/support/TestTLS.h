#pragma once
// Certificates for TLS tests, made in the test process with OpenSSL: a test
// CA (its certificate written to a PEM file that SSL_CERT_FILE can name) and
// server certificates it signs, valid or expired, for chosen names.
#include <memory>
#include <string>
#include <vector>

struct ssl_ctx_st;
struct evp_pkey_st;
struct x509_st;

namespace quillory::testsupport {

using TServerContext = std::shared_ptr<ssl_ctx_st>;

struct TCertificateOptions {
    std::vector<std::string> DNSNames = {"localhost"};
    std::vector<std::string> IPAddresses = {"127.0.0.1"};
    // Validity, in seconds from now.
    long ValidFrom = -3600;
    long ValidTo = 30L * 86400;
};

class TTestCA {
public:
    // Makes the CA's key and self-signed certificate and writes the
    // certificate to a PEM file in a fresh temporary folder.
    explicit TTestCA(const std::string& name);
    ~TTestCA();
    TTestCA(const TTestCA&) = delete;
    TTestCA& operator=(const TTestCA&) = delete;

    const std::string& CertFile() const { return FCertFile; }
    // A server context whose certificate this CA signed.
    TServerContext ServerContext(const TCertificateOptions& options = {}) const;

private:
    std::string FFolder, FCertFile;
    evp_pkey_st* FKey = nullptr;
    x509_st* FCert = nullptr;
};

// The CA the whole test process trusts: made on first use, and SSL_CERT_FILE
// is pointed at its certificate so the client's trust store is that CA alone.
TTestCA& TrustedTestCA();

} // namespace quillory::testsupport
