#include "tests/support/LoopbackServer.h"

#include <openssl/err.h>
#include <openssl/ssl.h>

#include <arpa/inet.h>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace quillory::testsupport {

namespace {

using Clock = std::chrono::steady_clock;

int MillisLeft(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() < 0 ? 0 : static_cast<int>(left.count());
}

// Content-Length of a request head, or 0.
std::size_t ContentLength(const std::string& head) {
    std::string lower;
    for (char c : head)
        lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    std::size_t pos = lower.find("\r\ncontent-length:");
    if (pos == std::string::npos)
        return 0;
    return static_cast<std::size_t>(std::strtoull(head.c_str() + pos + 17, nullptr, 10));
}

} // namespace

// --- TServerConnection ------------------------------------------------------

TServerConnection::TServerConnection(TLoopbackServer& server, int socket, int index)
    : FServer(server), FSocket(socket), FIndex(index) {}

TServerConnection::~TServerConnection() {
    Close();
}

bool TServerConnection::AcceptTLS(ssl_ctx_st* context) {
    // The handshake of a client that stalls must not hold the test.
    timeval limit{5, 0};
    ::setsockopt(FSocket, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    FSSL = SSL_new(context);
    SSL_set_fd(FSSL, FSocket);
    ERR_clear_error();
    if (SSL_accept(FSSL) == 1)
        return true;
    const unsigned long e = ERR_peek_last_error();
    const char* reason = e ? ERR_reason_error_string(e) : nullptr;
    HandshakeError = reason ? reason : "handshake failed";
    SSL_free(FSSL);
    FSSL = nullptr;
    return false;
}

bool TServerConnection::Fill(int limitMs) {
    if (FSocket < 0 || FClosedByPeer)
        return false;
    if (FSSL == nullptr || SSL_pending(FSSL) == 0) {
        pollfd p{FSocket, POLLIN, 0};
        int rc = ::poll(&p, 1, limitMs);
        if (rc <= 0)
            return false;
    }
    char block[65536];
    ssize_t n =
        FSSL ? SSL_read(FSSL, block, sizeof block) : ::recv(FSocket, block, sizeof block, 0);
    if (n <= 0) {
        FClosedByPeer = true;
        return false;
    }
    FServer.Record(FIndex, block, static_cast<std::size_t>(n));
    FPending.append(block, static_cast<std::size_t>(n));
    return true;
}

std::string TServerConnection::ReadRequest(int limitMs) {
    auto deadline = Clock::now() + std::chrono::milliseconds(limitMs);
    std::size_t end;
    while ((end = FPending.find("\r\n\r\n")) == std::string::npos)
        if (!Fill(MillisLeft(deadline))) {
            std::string partial = std::move(FPending);
            FPending.clear();
            return partial;
        }
    std::size_t total = end + 4 + ContentLength(FPending.substr(0, end + 2));
    while (FPending.size() < total)
        if (!Fill(MillisLeft(deadline)))
            break;
    std::size_t take = std::min(total, FPending.size());
    std::string request = FPending.substr(0, take);
    FPending.erase(0, take);
    return request;
}

std::string TServerConnection::ReadBytes(std::size_t count, int limitMs) {
    auto deadline = Clock::now() + std::chrono::milliseconds(limitMs);
    while (FPending.size() < count)
        if (!Fill(MillisLeft(deadline)))
            break;
    std::size_t take = std::min(count, FPending.size());
    std::string out = FPending.substr(0, take);
    FPending.erase(0, take);
    return out;
}

std::string TServerConnection::ReadUntilClose(int limitMs) {
    auto deadline = Clock::now() + std::chrono::milliseconds(limitMs);
    while (Fill(MillisLeft(deadline))) {
    }
    std::string out = std::move(FPending);
    FPending.clear();
    return out;
}

bool TServerConnection::WaitForClose(int limitMs) {
    auto deadline = Clock::now() + std::chrono::milliseconds(limitMs);
    while (!FClosedByPeer && MillisLeft(deadline) > 0)
        Fill(MillisLeft(deadline));
    FPending.clear();
    return FClosedByPeer;
}

bool TServerConnection::Send(const std::string& bytes) {
    std::size_t sent = 0;
    while (FSocket >= 0 && sent < bytes.size()) {
        ssize_t n =
            FSSL ? SSL_write(FSSL, bytes.data() + sent, static_cast<int>(bytes.size() - sent))
                 : ::send(FSocket, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        sent += static_cast<std::size_t>(n);
    }
    return FSocket >= 0;
}

void TServerConnection::Close() {
    if (FSocket < 0)
        return;
    int s = FSocket;
    FSocket = -1;
    {
        std::lock_guard<std::mutex> guard(FServer.FLock);
        FServer.FSockets[static_cast<std::size_t>(FIndex)] = -1;
    }
    if (FSSL) {
        SSL_shutdown(FSSL);
        SSL_free(FSSL);
        FSSL = nullptr;
    }
    ::shutdown(s, SHUT_WR);
    ::close(s);
}

// --- TLoopbackServer --------------------------------------------------------

TLoopbackServer::TLoopbackServer(THandler handler, std::shared_ptr<ssl_ctx_st> tls)
    : FHandler(std::move(handler)), FTLS(std::move(tls)) {
    FListen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int one = 1;
    ::setsockopt(FListen, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    if (::bind(FListen, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(FListen, 64) != 0 || ::pipe2(FWake, O_CLOEXEC) != 0)
        throw std::runtime_error("loopback server: cannot listen");
    socklen_t len = sizeof addr;
    ::getsockname(FListen, reinterpret_cast<sockaddr*>(&addr), &len);
    FPort = ntohs(addr.sin_port);
    FAcceptThread = std::thread([this] { AcceptLoop(); });
}

TLoopbackServer::~TLoopbackServer() {
    FStop = true;
    char byte = 1;
    ssize_t ignored = ::write(FWake[1], &byte, 1);
    (void)ignored;
    FAcceptThread.join();
    {
        // Unblock handlers still reading from clients.
        std::lock_guard<std::mutex> guard(FLock);
        for (int s : FSockets)
            if (s >= 0)
                ::shutdown(s, SHUT_RDWR);
    }
    for (std::thread& t : FWorkers)
        t.join();
    ::close(FListen);
    ::close(FWake[0]);
    ::close(FWake[1]);
}

void TLoopbackServer::AcceptLoop() {
    while (!FStop) {
        pollfd fds[2] = {{FListen, POLLIN, 0}, {FWake[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) <= 0 || fds[1].revents != 0)
            continue;
        int s = ::accept4(FListen, nullptr, nullptr, SOCK_CLOEXEC);
        if (s < 0)
            continue;
        int one = 1;
        ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        int index;
        {
            std::lock_guard<std::mutex> guard(FLock);
            index = static_cast<int>(FReceived.size());
            FReceived.emplace_back();
            FSockets.push_back(s);
            FChanged.notify_all();
        }
        FWorkers.emplace_back([this, s, index] {
            {
                TServerConnection connection(*this, s, index);
                try {
                    if (!FTLS || connection.AcceptTLS(FTLS.get())) {
                        FHandler(connection);
                    } else {
                        std::lock_guard<std::mutex> guard(FLock);
                        FHandshakeErrors.push_back(connection.HandshakeError);
                    }
                } catch (...) {
                    // A failing handler only ends its own connection.
                }
            }
            std::lock_guard<std::mutex> guard(FLock);
            ++FFinished;
            FChanged.notify_all();
        });
    }
}

void TLoopbackServer::Record(int index, const char* bytes, std::size_t count) {
    if (!Recording)
        return;
    std::lock_guard<std::mutex> guard(FLock);
    FReceived[static_cast<std::size_t>(index)].append(bytes, count);
}

std::vector<std::string> TLoopbackServer::HandshakeErrors() const {
    std::lock_guard<std::mutex> guard(FLock);
    return FHandshakeErrors;
}

std::string TLoopbackServer::Url(const std::string& path) const {
    return std::string(FTLS ? "https" : "http") + "://127.0.0.1:" + std::to_string(FPort) + path;
}

int TLoopbackServer::ConnectionCount() const {
    std::lock_guard<std::mutex> guard(FLock);
    return static_cast<int>(FReceived.size());
}

std::string TLoopbackServer::Received(int index) const {
    std::lock_guard<std::mutex> guard(FLock);
    if (index < 0 || index >= static_cast<int>(FReceived.size()))
        return "";
    return FReceived[static_cast<std::size_t>(index)];
}

std::vector<std::string> TLoopbackServer::AllReceived() const {
    std::lock_guard<std::mutex> guard(FLock);
    return FReceived;
}

bool TLoopbackServer::WaitForHandlers(int count, int limitMs) const {
    std::unique_lock<std::mutex> lock(FLock);
    return FChanged.wait_for(lock, std::chrono::milliseconds(limitMs),
                             [&] { return FFinished >= count; });
}

int TLoopbackServer::UnusedPort() {
    int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    socklen_t len = sizeof addr;
    ::getsockname(s, reinterpret_cast<sockaddr*>(&addr), &len);
    ::close(s); // bound but never listening: the port refuses until reused
    return ntohs(addr.sin_port);
}

// --- TScriptedServer --------------------------------------------------------

TScriptedServer::TScriptedServer(std::vector<TConnectionScript> scripts,
                                 std::shared_ptr<ssl_ctx_st> tls)
    : TLoopbackServer(MakeHandler(std::move(scripts)), std::move(tls)) {}

std::vector<TConnectionScript>
TScriptedServer::OnePerConnection(const std::vector<std::string>& replies) {
    std::vector<TConnectionScript> scripts;
    for (const std::string& r : replies)
        scripts.push_back(TConnectionScript{{r}, false});
    return scripts;
}

TLoopbackServer::THandler TScriptedServer::MakeHandler(std::vector<TConnectionScript> scripts) {
    return [scripts = std::move(scripts)](TServerConnection& c) {
        if (c.Index() >= static_cast<int>(scripts.size()))
            return;
        const TConnectionScript& script = scripts[static_cast<std::size_t>(c.Index())];
        for (const std::string& reply : script.Replies) {
            c.ReadRequest();
            c.Send(reply);
        }
        if (script.KeepOpen)
            c.WaitForClose(10000);
    };
}

} // namespace quillory::testsupport
