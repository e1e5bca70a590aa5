#pragma once
// TLS over an already connected, non-blocking socket (OpenSSL 3): the
// server's certificate is verified against the system's trust store (or the
// one OpenSSL's SSL_CERT_FILE / SSL_CERT_DIR select) and against the host
// name; TLS 1.2 or newer, with SNI. The session never waits itself: each call
// says what it needs (readable or writable) and the connection waits for that
// in its usual slices, pumping messages.
#include "http/NetExceptions.h"

#include <cstddef>
#include <string>

struct ssl_st;

namespace quillory {

// A certificate or handshake failure; the message names the host and the
// reason ("Cannot make a secure connection to shop.example: certificate has
// expired.").
class ETLSError : public ENetException {
public:
    // `certificate`: the server's certificate (or its name) was not accepted.
    ETLSError(const std::string& host, const std::string& reason, bool certificate = false)
        : ENetException("Cannot make a secure connection to " + host + ": " + reason + "."),
          Reason(reason), Certificate(certificate) {}
    TNetFailureKind Kind() const override {
        return Certificate ? TNetFailureKind::TLSCertificate : TNetFailureKind::TLSHandshake;
    }
    std::string Reason;
    bool Certificate = false;
};

class TTLSSession {
public:
    // What a call that could not finish waits for.
    enum TWant { wNone = 0, wRead = -1, wWrite = -2 };

    TTLSSession(int socket, const std::string& host);
    ~TTLSSession();
    TTLSSession(const TTLSSession&) = delete;
    TTLSSession& operator=(const TTLSSession&) = delete;

    // One step of the handshake: wNone when it is complete, else what to
    // wait for. A failure (certificate, protocol, close) throws ETLSError.
    TWant Handshake();
    // Bytes read (> 0), 0 when the server closed, or wRead / wWrite.
    int Read(char* buffer, int count);
    // Bytes written (> 0) or wRead / wWrite. The same block must be offered
    // again after a wait.
    int Write(const char* buffer, int count);
    // Decrypted bytes already held by the session.
    std::size_t Pending() const;
    // Sends the closing alert when that can be done without waiting.
    void Shutdown();

    const std::string& Host() const { return FHost; }

private:
    // Turns an OpenSSL result into a want, 0 for a close, or throws.
    int Result(int rc, bool handshake);
    ssl_st* FSSL = nullptr;
    std::string FHost;
};

} // namespace quillory
