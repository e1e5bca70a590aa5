#include "http/TLSSession.h"

#include "http/SocketStack.h"

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <mutex>
#include <pthread.h>

namespace quillory {

namespace {

// One client context per process, made again when SSL_CERT_FILE or
// SSL_CERT_DIR changed since it was made (the trust store is read once per
// context, and reading it costs far more than a handshake).
class TContextCache {
public:
    ~TContextCache() {
        if (FContext)
            SSL_CTX_free(FContext);
    }
    // A new reference to the current context (the caller frees it).
    SSL_CTX* Acquire() {
        std::lock_guard<std::mutex> guard(FLock);
        const std::string file = Env("SSL_CERT_FILE"), dir = Env("SSL_CERT_DIR");
        if (FContext == nullptr || file != FFile || dir != FDir) {
            SSL_CTX* made = Make();
            if (FContext)
                SSL_CTX_free(FContext);
            FContext = made;
            FFile = file;
            FDir = dir;
        }
        SSL_CTX_up_ref(FContext);
        return FContext;
    }

private:
    static std::string Env(const char* name) {
        const char* value = std::getenv(name);
        return value ? value : "";
    }
    static SSL_CTX* Make() {
        SSL_CTX* ctx = SSL_CTX_new(TLS_client_method());
        if (ctx == nullptr)
            throw ENetException("Cannot set up TLS.");
        SSL_CTX_set_min_proto_version(ctx, TLS1_2_VERSION);
        SSL_CTX_set_verify(ctx, SSL_VERIFY_PEER, nullptr);
        // The system's trust store; OpenSSL reads SSL_CERT_FILE and
        // SSL_CERT_DIR in place of it when they are set.
        SSL_CTX_set_default_verify_paths(ctx);
        // A server that closes without the closing alert reads as a close:
        // HTTP's own framing (lengths, chunks) tells whether a body is whole.
        SSL_CTX_set_options(ctx, SSL_OP_IGNORE_UNEXPECTED_EOF);
        SSL_CTX_set_mode(ctx, SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
        return ctx;
    }
    std::mutex FLock;
    SSL_CTX* FContext = nullptr;
    std::string FFile, FDir;
};

TContextCache& Contexts() {
    static TContextCache cache;
    return cache;
}

// Why a certificate was refused, in the words people know.
std::string VerifyReason(long result) {
    switch (result) {
    case X509_V_ERR_CERT_HAS_EXPIRED:
        return "certificate has expired";
    case X509_V_ERR_CERT_NOT_YET_VALID:
        return "certificate is not yet valid";
    case X509_V_ERR_HOSTNAME_MISMATCH:
    case X509_V_ERR_IP_ADDRESS_MISMATCH:
        return "host name mismatch";
    case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
    case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
    case X509_V_ERR_CERT_UNTRUSTED:
        return std::string("certificate is not trusted (") + X509_verify_cert_error_string(result) +
               ")";
    default:
        return X509_verify_cert_error_string(result);
    }
}

std::string LastErrorReason() {
    const unsigned long e = ERR_peek_last_error();
    const char* reason = e ? ERR_reason_error_string(e) : nullptr;
    return reason ? reason : "handshake failed";
}

// OpenSSL writes to the socket with write(), which raises SIGPIPE when the
// server has gone; that must be an error of the exchange, not the end of the
// program. The signal is held back on this thread for the length of one call
// and a SIGPIPE that call caused is taken off again.
class TNoSigPipe {
public:
    TNoSigPipe() {
        sigemptyset(&FPipe);
        sigaddset(&FPipe, SIGPIPE);
        sigset_t pending;
        sigemptyset(&pending);
        sigpending(&pending);
        FWasPending = sigismember(&pending, SIGPIPE) == 1;
        pthread_sigmask(SIG_BLOCK, &FPipe, &FOld);
    }
    ~TNoSigPipe() {
        if (!FWasPending) {
            sigset_t pending;
            sigemptyset(&pending);
            sigpending(&pending);
            if (sigismember(&pending, SIGPIPE) == 1) {
                const timespec zero{0, 0};
                while (sigtimedwait(&FPipe, nullptr, &zero) < 0 && errno == EINTR) {
                }
            }
        }
        pthread_sigmask(SIG_SETMASK, &FOld, nullptr);
    }
    TNoSigPipe(const TNoSigPipe&) = delete;
    TNoSigPipe& operator=(const TNoSigPipe&) = delete;

private:
    sigset_t FPipe, FOld;
    bool FWasPending = false;
};

} // namespace

TTLSSession::TTLSSession(int socket, const std::string& host) : FHost(host) {
    SSL_CTX* ctx = Contexts().Acquire();
    FSSL = SSL_new(ctx);
    SSL_CTX_free(ctx); // the session holds its own reference
    if (FSSL == nullptr || SSL_set_fd(FSSL, socket) != 1) {
        if (FSSL)
            SSL_free(FSSL);
        FSSL = nullptr;
        throw ETLSError(host, "cannot set up TLS");
    }
    // The name to verify: an address is compared with the certificate's
    // address entries, a name with its DNS names (and sent as SNI).
    if (TSocketStack::IsIP(host)) {
        X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(FSSL), host.c_str());
    } else {
        SSL_set_tlsext_host_name(FSSL, host.c_str());
        SSL_set1_host(FSSL, host.c_str());
    }
    SSL_set_connect_state(FSSL);
}

TTLSSession::~TTLSSession() {
    if (FSSL)
        SSL_free(FSSL);
}

int TTLSSession::Result(int rc, bool handshake) {
    const int error = SSL_get_error(FSSL, rc);
    switch (error) {
    case SSL_ERROR_WANT_READ:
        return wRead;
    case SSL_ERROR_WANT_WRITE:
        return wWrite;
    case SSL_ERROR_ZERO_RETURN:
        if (handshake)
            throw ETLSError(FHost, "the server closed the connection during the handshake");
        return 0;
    case SSL_ERROR_SYSCALL: {
        const int err = errno;
        if (handshake)
            throw ETLSError(
                FHost, ERR_peek_last_error() == 0 && err == 0
                           ? "the server closed the connection during the handshake"
                           : TSocketStack::WSTranslateSocketErrorMsg(TSocketStack::MapErrno(err)));
        if (ERR_peek_last_error() == 0 && err == 0)
            return 0;
        throw ESocketError(TSocketStack::MapErrno(err));
    }
    default:
        break;
    }
    if (handshake) {
        const long verify = SSL_get_verify_result(FSSL);
        if (verify != X509_V_OK)
            throw ETLSError(FHost, VerifyReason(verify), true);
    }
    throw ETLSError(FHost, LastErrorReason());
}

TTLSSession::TWant TTLSSession::Handshake() {
    TNoSigPipe noSigPipe;
    ERR_clear_error();
    errno = 0;
    const int rc = SSL_do_handshake(FSSL);
    if (rc == 1)
        return wNone;
    return static_cast<TWant>(Result(rc, true));
}

int TTLSSession::Read(char* buffer, int count) {
    TNoSigPipe noSigPipe;
    ERR_clear_error();
    errno = 0;
    const int rc = SSL_read(FSSL, buffer, count);
    return rc > 0 ? rc : Result(rc, false);
}

int TTLSSession::Write(const char* buffer, int count) {
    TNoSigPipe noSigPipe;
    ERR_clear_error();
    errno = 0;
    const int rc = SSL_write(FSSL, buffer, count);
    if (rc > 0)
        return rc;
    const int r = Result(rc, false);
    if (r == 0)
        throw EConnClosedGracefully();
    return r;
}

std::size_t TTLSSession::Pending() const {
    return static_cast<std::size_t>(SSL_pending(FSSL));
}

void TTLSSession::Shutdown() {
    TNoSigPipe noSigPipe;
    ERR_clear_error();
    if (SSL_is_init_finished(FSSL))
        SSL_shutdown(FSSL);
    ERR_clear_error();
}

} // namespace quillory
