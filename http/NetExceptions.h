#pragma once
// Exceptions of the HTTP client and its TCP transport. Every class carries the
// exact message the user may see; all descend from ENetException so a caller
// can catch every network failure in one place.
#include "platform/ConvertError.h"

#include <cstdint>
#include <stdexcept>
#include <string>

namespace quillory {

// What kind of fault a network failure is, for callers that tell the user
// why (or decide what to do) without reading the message text.
enum class TNetFailureKind {
    Other,
    Refused,        // the host answered, nothing listens on the port
    TimedOut,       // connect, read or the whole exchange ran out of time
    UnknownHost,    // the name lookup failed
    Unreachable,    // no route, network or host down
    TLSCertificate, // the server's certificate was not accepted
    TLSHandshake,   // a secure connection could not be set up otherwise
    HTTPStatus,     // the server answered with an error status
    CutShort,       // the reply ended before it was complete
};

// The kind of a Windows Sockets style error number (10061 refused, ...).
TNetFailureKind SocketFailureKind(int errorNumber);

class ENetException : public std::runtime_error {
public:
    explicit ENetException(const std::string& message) : std::runtime_error(MessageText(message)) {}
    virtual TNetFailureKind Kind() const { return TNetFailureKind::Other; }
    // The socket error number behind the failure, or 0.
    virtual int SocketError() const { return 0; }
};

// --- socket layer -----------------------------------------------------------

// A failing socket call. LastError holds the Windows Sockets style number
// (10061 for a refused connection, 11001 for an unknown host, ...); the
// message is "Socket Error # <number>" CR LF and the text for the number.
// A failure that carries a socket error number, and the kind it stands for.
class ESocketFailure : public ENetException {
public:
    ESocketFailure(const std::string& message, int errorNumber)
        : ENetException(message), LastError(errorNumber) {}
    TNetFailureKind Kind() const override { return SocketFailureKind(LastError); }
    int SocketError() const override { return LastError; }
    int LastError = 0;
};

class ESocketError : public ESocketFailure {
public:
    explicit ESocketError(int errorNumber);
    ESocketError(int errorNumber, const std::string& message)
        : ESocketFailure(message, errorNumber) {}
};

class ESocketLibraryError : public ENetException {
public:
    using ENetException::ENetException;
};
class EStackInitializationFailed : public ENetException {
public:
    EStackInitializationFailed() : ENetException("Winsock Initialization Error.") {}
};
class EInvalidSocket : public ENetException {
public:
    EInvalidSocket() : ENetException("Cannot allocate socket.") {}
};
class ECouldNotBindSocket : public ENetException {
public:
    ECouldNotBindSocket()
        : ENetException("Could not bind socket. Address and port are already in use.") {}
};
class EAlreadyConnected : public ENetException {
public:
    EAlreadyConnected() : ENetException("Already connected.") {}
};
// A connect that failed on the worker thread. The message is the socket error
// text; LastError keeps its number.
class EConnectException : public ESocketFailure {
public:
    using ESocketFailure::ESocketFailure;
};
// A connect that ran out of time; it stands for the socket error 10060.
class EConnectTimeout : public ENetException {
public:
    EConnectTimeout() : ENetException("Connect timed out.") {}
    TNetFailureKind Kind() const override { return TNetFailureKind::TimedOut; }
    int SocketError() const override;
};
class EReadTimeout : public ENetException {
public:
    EReadTimeout() : ENetException("Read Timeout") {}
    TNetFailureKind Kind() const override { return TNetFailureKind::TimedOut; }
};
// The server closed the connection where more was expected.
class EConnClosedGracefully : public ENetException {
public:
    EConnClosedGracefully() : ENetException("Connection Closed Gracefully.") {}
    TNetFailureKind Kind() const override { return TNetFailureKind::CutShort; }
};
class ENotConnected : public ENetException {
public:
    ENotConnected() : ENetException("Not Connected") {}
};
class EClosedSocket : public ENetException {
public:
    EClosedSocket() : ENetException("Disconnected.") {}
};
class EReadLnMaxLineLengthExceeded : public ENetException {
public:
    EReadLnMaxLineLengthExceeded() : ENetException("Max line length exceeded.") {}
};
class ENoDataToRead : public ENetException {
public:
    ENoDataToRead() : ENetException("No data to read.") {}
};

// --- HTTP -------------------------------------------------------------------

class EUnknownProtocol : public ENetException {
public:
    EUnknownProtocol() : ENetException("") {}
};
class EIOHandlerPropInvalid : public ENetException {
public:
    EIOHandlerPropInvalid() : ENetException("IOHandler value is not valid") {}
};
// A second exchange started on a client that is still busy with one (possible
// when the message pump runs another handler during a wait).
class ERequestInProgress : public ENetException {
public:
    ERequestInProgress() : ENetException("A request is already in progress.") {}
};

class EProtocolReplyError : public ENetException {
public:
    EProtocolReplyError(const std::string& message, int replyCode)
        : ENetException(message), ReplyCode(replyCode) {}
    int ReplyCode = 0;
};

// An error reply: the message is the reply's status line (for example
// "HTTP/1.1 404 Not Found"), ReplyCode its status code, ReplyBody its body.
class EHTTPProtocolException : public EProtocolReplyError {
public:
    EHTTPProtocolException(const std::string& statusLine, int replyCode, std::string replyBody)
        : EProtocolReplyError(statusLine, replyCode), ReplyBody(std::move(replyBody)) {}
    TNetFailureKind Kind() const override { return TNetFailureKind::HTTPStatus; }
    std::string ReplyBody;
};

// --- limits on what a server sends ---------------------------------------------

// A reply beyond one of the client's limits (head lines or size, interim
// replies, body size). The connection is closed; nothing of it counts as a
// reply.
class EReplyLimitExceeded : public ENetException {
public:
    using ENetException::ENetException;
    // "The server's reply is larger than 256 MiB."
    static EReplyLimitExceeded BodyTooLarge(std::int64_t limit);
};
// The whole exchange took longer than the client allows.
class EExchangeTimeout : public ENetException {
public:
    // `limitMs` is shown in seconds: "The server took too long to answer (300 s)."
    explicit EExchangeTimeout(int limitMs);
    TNetFailureKind Kind() const override { return TNetFailureKind::TimedOut; }
};
// An address holding a control character (CR, LF, NUL, ...): refused before
// anything is sent, so no one can slip a header line into a request.
class EInvalidURL : public ENetException {
public:
    EInvalidURL()
        : ENetException("The address holds a control character (such as a line break) and "
                        "was not used.") {}
};
// A reply that ended before its stated end: fewer bytes than its
// Content-Length, or a chunked body without its last chunk. Nothing of it
// counts as a reply.
class EReplyIncomplete : public ENetException {
public:
    using ENetException::ENetException;
    TNetFailureKind Kind() const override { return TNetFailureKind::CutShort; }
};
// A reply whose framing cannot be read (a chunk size that is not a
// hexadecimal number, or one too large to be real).
class EReplyMalformed : public ENetException {
public:
    using ENetException::ENetException;
};
// A redirect that is not followed: from "https" to plain "http", to a scheme
// other than "http" and "https", or a request with a body (a form) to
// another site.
class ERedirectRefused : public ENetException {
public:
    using ENetException::ENetException;
};
// An address whose user name or password cannot be told apart from the rest
// unambiguously (see SplitUserInfo in URI.h); refused before anything is sent.
class EInvalidUserInfo : public ENetException {
public:
    using ENetException::ENetException;
};
// "256 MiB", "64 KiB" or "1000 bytes": a size limit as people read it.
std::string SizeText(std::int64_t bytes);

// --- form bodies ------------------------------------------------------------

class EInvalidObjectType : public ENetException {
public:
    EInvalidObjectType()
        : ENetException("Unsupported object type. You can assign only one of the following "
                        "types or thir descendants: TStrings, TStream.") {}
};

// --- number conversion ------------------------------------------------------

// A text that had to be a number and was not (a port, a range, a cookie port
// list) raises EConvertError: not a network failure in itself, so it stands
// outside ENetException.

// Reads a whole decimal number (optional sign, surrounding blanks allowed) or
// throws EConvertError "'<text>' is not a valid integer value".
int StrToInt(const std::string& text);
// The same without throwing.
bool TryStrToInt(const std::string& text, int& out);
bool TryStrToInt64(const std::string& text, std::int64_t& out);

} // namespace quillory
