#include "http/SocketStack.h"

#include "http/NetExceptions.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace quillory {

namespace {

std::mutex gStackLock;
TSocketStack* gStack = nullptr;
int gStackUsers = 0;

struct TErrorText {
    int Number;
    const char* Text;
};

const TErrorText kErrorTexts[] = {
    {10004, "Interrupted system call."},
    {10009, "Bad file number."},
    {10013, "Access denied."},
    {10014, "Bad address."},
    {10022, "Invalid argument."},
    {10024, "Too many open files."},
    {10035, "Operation would block. "},
    {10036, "Operation now in progress."},
    {10037, "Operation already in progress."},
    {10038, "Socket operation on non-socket."},
    {10039, "Destination address required."},
    {10040, "Message too long."},
    {10041, "Protocol wrong type for socket."},
    {10042, "Bad protocol option."},
    {10043, "Protocol not supported."},
    {10044, "Socket type not supported."},
    {10045, "Operation not supported on socket."},
    {10046, "Protocol family not supported."},
    {10047, "Address family not supported by protocol family."},
    {10048, "Address already in use."},
    {10049, "Cannot assign requested address."},
    {10050, "Network is down."},
    {10051, "Network is unreachable."},
    {10052, "Net dropped connection or reset."},
    {10053, "Software caused connection abort."},
    {10054, "Connection reset by peer."},
    {10055, "No buffer space available."},
    {10056, "Socket is already connected."},
    {10057, "Socket is not connected."},
    {10058, "Cannot send or receive after socket is closed."},
    {10059, "Too many references, cannot splice."},
    {10060, "Connection timed out."},
    {10061, "Connection refused."},
    {10062, "Too many levels of symbolic links."},
    {10063, "File name too long."},
    {10064, "Host is down."},
    {10065, "No route to host."},
    {10066, "Directory not empty"},
    {11001, "Host not found."},
};

bool ParseOctet(const std::string& part, int& value) {
    if (part.empty() || part.size() > 3)
        return false;
    value = 0;
    for (char c : part) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
    }
    return value <= 255;
}

sockaddr_in MakeAddress(const std::string& ip, int port) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    if (ip.empty())
        addr.sin_addr.s_addr = htonl(INADDR_ANY);
    else
        inet_pton(AF_INET, ip.c_str(), &addr.sin_addr);
    return addr;
}

void ReadAddress(const sockaddr_in& addr, std::string& ip, int& port) {
    char text[INET_ADDRSTRLEN] = {0};
    inet_ntop(AF_INET, &addr.sin_addr, text, sizeof text);
    ip = text;
    port = ntohs(addr.sin_port);
}

} // namespace

thread_local int TSocketStack::FLastError = 0;

TSocketStack& TSocketStack::Acquire() {
    std::lock_guard<std::mutex> guard(gStackLock);
    if (gStackUsers++ == 0)
        gStack = new TSocketStack();
    return *gStack;
}

void TSocketStack::Release() {
    std::lock_guard<std::mutex> guard(gStackLock);
    if (gStackUsers > 0 && --gStackUsers == 0) {
        delete gStack;
        gStack = nullptr;
    }
}

TSocketStack* TSocketStack::Instance() {
    std::lock_guard<std::mutex> guard(gStackLock);
    return gStack;
}

int TSocketStack::InstanceCount() {
    std::lock_guard<std::mutex> guard(gStackLock);
    return gStackUsers;
}

bool TSocketStack::IsIP(const std::string& text) {
    int parts = 0;
    std::size_t start = 0;
    while (true) {
        std::size_t dot = text.find('.', start);
        std::string part =
            text.substr(start, dot == std::string::npos ? std::string::npos : dot - start);
        int value = 0;
        if (!ParseOctet(part, value))
            return false;
        ++parts;
        if (dot == std::string::npos)
            break;
        start = dot + 1;
    }
    return parts == 4;
}

std::string TSocketStack::LookupHost(const std::string& host) {
    std::string upper;
    for (char c : host)
        upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    // An empty name stands for the local computer, as "localhost" does.
    if (upper == "LOCALHOST" || host.empty())
        return "127.0.0.1";
    if (IsIP(host))
        return host;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* result = nullptr;
    int rc = getaddrinfo(host.c_str(), nullptr, &hints, &result);
    if (rc != 0 || result == nullptr) {
        if (result)
            freeaddrinfo(result);
        FLastError = rc == EAI_SYSTEM ? MapErrno(errno) : MapResolverError(rc);
        RaiseSocketError(FLastError);
    }
    std::string ip;
    int port = 0;
    ReadAddress(*reinterpret_cast<sockaddr_in*>(result->ai_addr), ip, port);
    freeaddrinfo(result);
    return ip;
}

TSocket TSocketStack::NewSocket() {
    TSocket s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (s < 0)
        FLastError = MapErrno(errno);
    return s;
}

int TSocketStack::Bind(TSocket s, const std::string& ip, int port) {
    sockaddr_in addr = MakeAddress(ip, port);
    if (::bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0)
        return 0;
    return FLastError = MapErrno(errno);
}

int TSocketStack::Connect(TSocket s, const std::string& ip, int port) {
    sockaddr_in addr = MakeAddress(ip, port);
    int rc;
    do {
        rc = ::connect(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    } while (rc != 0 && errno == EINTR);
    if (rc == 0)
        return 0;
    return FLastError = MapErrno(errno);
}

int TSocketStack::Select(TSocket s, int timeoutMs, short events) {
    pollfd p{s, events, 0};
    int rc;
    do {
        rc = ::poll(&p, 1, timeoutMs < 0 ? -1 : timeoutMs);
    } while (rc < 0 && errno == EINTR);
    if (rc < 0)
        FLastError = MapErrno(errno);
    return rc;
}

int TSocketStack::Recv(TSocket s, char* buffer, int count) {
    ssize_t rc;
    do {
        rc = ::recv(s, buffer, static_cast<size_t>(count), 0);
    } while (rc < 0 && errno == EINTR);
    if (rc < 0)
        FLastError = MapErrno(errno);
    return static_cast<int>(rc);
}

int TSocketStack::Send(TSocket s, const char* buffer, int count) {
    ssize_t rc;
    do {
        // MSG_NOSIGNAL: a peer that went away gives an error, not SIGPIPE.
        rc = ::send(s, buffer, static_cast<size_t>(count), MSG_NOSIGNAL);
    } while (rc < 0 && errno == EINTR);
    if (rc < 0)
        FLastError = MapErrno(errno);
    return static_cast<int>(rc);
}

void TSocketStack::Shutdown(TSocket s) {
    ::shutdown(s, SHUT_WR);
}

void TSocketStack::CloseSocket(TSocket s) {
    ::close(s);
}

void TSocketStack::GetSockName(TSocket s, std::string& ip, int& port) {
    sockaddr_in addr{};
    socklen_t len = sizeof addr;
    if (::getsockname(s, reinterpret_cast<sockaddr*>(&addr), &len) == 0)
        ReadAddress(addr, ip, port);
}

void TSocketStack::GetPeerName(TSocket s, std::string& ip, int& port) {
    sockaddr_in addr{};
    socklen_t len = sizeof addr;
    if (::getpeername(s, reinterpret_cast<sockaddr*>(&addr), &len) == 0)
        ReadAddress(addr, ip, port);
}

void TSocketStack::RaiseSocketError(int errorNumber) {
    if (errorNumber == -1)
        errorNumber = FLastError;
    throw ESocketError(errorNumber);
}

std::string TSocketStack::WSTranslateSocketErrorMsg(int errorNumber) {
    for (const TErrorText& e : kErrorTexts)
        if (e.Number == errorNumber)
            return e.Text;
    return "";
}

std::string TSocketStack::SocketErrorMessage(int errorNumber) {
    return "Socket Error # " + std::to_string(errorNumber) + "\r\n" +
           WSTranslateSocketErrorMsg(errorNumber);
}

int TSocketStack::MapErrno(int err) {
    switch (err) {
    case EINTR:
        return 10004;
    case EBADF:
        return 10009;
    case EACCES:
    case EPERM:
        return 10013;
    case EFAULT:
        return 10014;
    case EINVAL:
        return 10022;
    case EMFILE:
    case ENFILE:
        return 10024;
#if EAGAIN != EWOULDBLOCK
    case EAGAIN:
#endif
    case EWOULDBLOCK:
        return 10035;
    case EINPROGRESS:
        return 10036;
    case EALREADY:
        return 10037;
    case ENOTSOCK:
        return 10038;
    case EDESTADDRREQ:
        return 10039;
    case EMSGSIZE:
        return 10040;
    case EPROTOTYPE:
        return 10041;
    case ENOPROTOOPT:
        return 10042;
    case EPROTONOSUPPORT:
        return 10043;
    case ESOCKTNOSUPPORT:
        return 10044;
    case EOPNOTSUPP:
        return 10045;
    case EPFNOSUPPORT:
        return 10046;
    case EAFNOSUPPORT:
        return 10047;
    case EADDRINUSE:
        return 10048;
    case EADDRNOTAVAIL:
        return 10049;
    case ENETDOWN:
        return 10050;
    case ENETUNREACH:
        return 10051;
    case ENETRESET:
        return 10052;
    case ECONNABORTED:
        return 10053;
    case ECONNRESET:
        return 10054;
    case ENOBUFS:
    case ENOMEM:
        return 10055;
    case EISCONN:
        return 10056;
    case ENOTCONN:
        return 10057;
    case ESHUTDOWN:
    case EPIPE:
        return 10058;
    case ETOOMANYREFS:
        return 10059;
    case ETIMEDOUT:
        return 10060;
    case ECONNREFUSED:
        return 10061;
    case ELOOP:
        return 10062;
    case ENAMETOOLONG:
        return 10063;
    case EHOSTDOWN:
        return 10064;
    case EHOSTUNREACH:
        return 10065;
    case ENOTEMPTY:
        return 10066;
    default:
        return err;
    }
}

int TSocketStack::MapResolverError(int eaiCode) {
    // Whatever the resolver's reason (unknown name, no address, no answer
    // from the name server), the user learns that the host was not found.
    (void)eaiCode;
    return WSAHOST_NOT_FOUND;
}

} // namespace quillory
