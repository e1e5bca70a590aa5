#pragma once
// Scripted TCP servers on 127.0.0.1 for tests: each listens on an ephemeral
// port, runs a handler per accepted connection on its own thread, records
// every byte it received per connection, and stops (closing every socket and
// joining every thread) in its destructor.
#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct ssl_ctx_st;
struct ssl_st;

namespace quillory::testsupport {

class TLoopbackServer;

// One accepted connection, as seen by a handler.
class TServerConnection {
public:
    TServerConnection(TLoopbackServer& server, int socket, int index);
    // Runs the server side of a TLS handshake on the connection; false (with
    // the reason in HandshakeError) when the client gave up.
    bool AcceptTLS(ssl_ctx_st* context);
    std::string HandshakeError;
    ~TServerConnection();
    TServerConnection(const TServerConnection&) = delete;
    TServerConnection& operator=(const TServerConnection&) = delete;

    int Index() const { return FIndex; }

    // Reads one HTTP request: the head up to the empty line and, when the
    // head has a Content-Length, that many body bytes. Returns the bytes (also
    // recorded), or what arrived before the client closed or `limitMs` passed.
    std::string ReadRequest(int limitMs = 5000);
    // Reads until `count` bytes arrived, the client closed or the time is up.
    std::string ReadBytes(std::size_t count, int limitMs = 5000);
    // Reads until the client closes (or the time is up).
    std::string ReadUntilClose(int limitMs = 5000);
    // True when the client closed within `limitMs` (bytes read meanwhile are recorded).
    bool WaitForClose(int limitMs);

    // Sends bytes; false when the client is gone.
    bool Send(const std::string& bytes);
    // Closes the connection (after sending what was sent).
    void Close();

private:
    // Receives into the pending bytes; false on close, error or time-out.
    bool Fill(int limitMs);
    TLoopbackServer& FServer;
    int FSocket;
    int FIndex;
    std::string FPending;   // received, not yet handed out
    ssl_st* FSSL = nullptr; // the TLS session, when the server speaks TLS
    bool FClosedByPeer = false;
};

class TLoopbackServer {
public:
    using THandler = std::function<void(TServerConnection&)>;

    // With a `tls` context the server speaks TLS: each connection's handshake
    // runs before its handler, which then reads and sends plain bytes.
    explicit TLoopbackServer(THandler handler, std::shared_ptr<ssl_ctx_st> tls = nullptr);
    ~TLoopbackServer();
    TLoopbackServer(const TLoopbackServer&) = delete;
    TLoopbackServer& operator=(const TLoopbackServer&) = delete;

    int Port() const { return FPort; }
    // "http://127.0.0.1:<port>" (https for a TLS server) followed by `path`.
    std::string Url(const std::string& path = "/") const;

    // How many connections were accepted so far.
    int ConnectionCount() const;
    // Every byte received on connection `index` so far (empty when there is no
    // such connection).
    std::string Received(int index) const;
    // All connections' bytes, in accept order.
    std::vector<std::string> AllReceived() const;
    // Waits until `count` connections were accepted and their handlers ended.
    bool WaitForHandlers(int count, int limitMs = 5000) const;
    // Whether received bytes are kept for Received (on by default; tests
    // that count the bytes their process holds turn it off).
    std::atomic<bool> Recording{true};
    // The reasons of the TLS handshakes that failed, in order.
    std::vector<std::string> HandshakeErrors() const;

    // A loopback port on which nothing listens (connections are refused).
    static int UnusedPort();

private:
    friend class TServerConnection;
    void AcceptLoop();
    void Record(int index, const char* bytes, std::size_t count);

    THandler FHandler;
    std::shared_ptr<ssl_ctx_st> FTLS;
    std::vector<std::string> FHandshakeErrors;
    int FListen = -1;
    int FPort = 0;
    int FWake[2] = {-1, -1};
    std::atomic<bool> FStop{false};
    std::thread FAcceptThread;
    mutable std::mutex FLock;
    mutable std::condition_variable FChanged;
    std::vector<std::string> FReceived;
    std::vector<int> FSockets;
    std::vector<std::thread> FWorkers;
    int FFinished = 0;
};

// The common case: connection i reads one request per reply in Replies[i],
// answers each with its bytes, then closes (unless KeepOpen, in which case
// it waits for the client to close). Connections beyond the scripts are
// closed at once.
struct TConnectionScript {
    std::vector<std::string> Replies;
    bool KeepOpen = false;
};

class TScriptedServer : public TLoopbackServer {
public:
    explicit TScriptedServer(std::vector<TConnectionScript> scripts,
                             std::shared_ptr<ssl_ctx_st> tls = nullptr);
    // One connection per reply, each closed after its reply.
    static std::vector<TConnectionScript> OnePerConnection(const std::vector<std::string>& replies);

private:
    static THandler MakeHandler(std::vector<TConnectionScript> scripts);
};

} // namespace quillory::testsupport
