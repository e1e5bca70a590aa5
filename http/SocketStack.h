#pragma once
// The socket layer: one per process while any network object exists. Wraps
// the POSIX socket calls and reports failures with the Windows Sockets error
// numbers and texts the rest of the program (and its messages) is built on.
#include <cstdint>
#include <mutex>
#include <string>

namespace quillory {

using TSocket = int;
constexpr TSocket InvalidSocket = -1;

class TSocketStack {
public:
    // Reference counting by the network objects (TNetComponent): the first
    // Acquire makes the process-wide instance, the last Release frees it.
    static TSocketStack& Acquire();
    static void Release();
    // The instance while one exists, nullptr otherwise.
    static TSocketStack* Instance();
    static int InstanceCount();

    // "LOCALHOST" (any case) gives 127.0.0.1, a dotted IPv4 address is kept,
    // an empty name is the local computer (127.0.0.1); anything else is looked
    // up and its first IPv4 address returned. A failed lookup throws
    // ESocketError (11001 "Host not found." for an unknown name).
    std::string LookupHost(const std::string& host);
    // Four dot-separated numbers from 0 to 255.
    static bool IsIP(const std::string& text);

    // Thin wrappers that record the error number of a failing call.
    TSocket NewSocket();
    // 0 on success, otherwise the mapped error number.
    int Bind(TSocket s, const std::string& ip, int port);
    int Connect(TSocket s, const std::string& ip, int port);
    // >0 readable, 0 time-out, <0 error. A negative time-out waits without limit.
    int Select(TSocket s, int timeoutMs, short events = 0x001 /* POLLIN */);
    // Count received, 0 when the peer closed, -1 on error (LastError set).
    int Recv(TSocket s, char* buffer, int count);
    int Send(TSocket s, const char* buffer, int count);
    void Shutdown(TSocket s);
    void CloseSocket(TSocket s);
    void GetSockName(TSocket s, std::string& ip, int& port);
    void GetPeerName(TSocket s, std::string& ip, int& port);

    // The error number of the last failing call made on this thread.
    int LastError() const { return FLastError; }
    void SetLastError(int e) { FLastError = e; }

    // Throws ESocketError for `errorNumber` (LastError when -1).
    [[noreturn]] void RaiseSocketError(int errorNumber = -1);

    // "Socket Error # <n>" CR LF and the text for n (empty for unknown numbers).
    static std::string SocketErrorMessage(int errorNumber);
    static std::string WSTranslateSocketErrorMsg(int errorNumber);
    // errno values and resolver (getaddrinfo) failures onto Windows Sockets numbers.
    static int MapErrno(int err);
    static int MapResolverError(int eaiCode);

private:
    TSocketStack() = default;
    static thread_local int FLastError;
};

// Windows Sockets numbers used by the transport.
enum : int {
    WSAEINTR = 10004,
    WSAEBADF = 10009,
    WSAENOTSOCK = 10038,
    WSAEADDRINUSE = 10048,
    WSAECONNABORTED = 10053,
    WSAECONNRESET = 10054,
    WSAESHUTDOWN = 10058,
    WSAETIMEDOUT = 10060,
    WSAENETDOWN = 10050,
    WSAENETUNREACH = 10051,
    WSAECONNREFUSED = 10061,
    WSAEHOSTDOWN = 10064,
    WSAEHOSTUNREACH = 10065,
    WSAHOST_NOT_FOUND = 11001,
    WSATRY_AGAIN = 11002,
    WSANO_DATA = 11004,
};

} // namespace quillory
