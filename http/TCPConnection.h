#pragma once
// A blocking, buffered TCP connection: connect within a time limit (on a
// short-lived worker thread), send byte blocks, wait for incoming data in
// pump slices, take lines and byte runs out of an input buffer, notice a
// close by the server, and close.
#include "http/Stream.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace quillory {

enum TMaxLineAction { maException, maSplit };

class TTLSSession;

// Every object of the connection family holds the process-wide socket layer
// for its lifetime.
class TNetComponent {
public:
    TNetComponent();
    virtual ~TNetComponent();
    TNetComponent(const TNetComponent&) = delete;
    TNetComponent& operator=(const TNetComponent&) = delete;
};

// Received bytes not yet consumed, first in, first out.
class TManagedBuffer {
public:
    std::size_t Size() const { return FData.size() - FStart; }
    bool Empty() const { return Size() == 0; }
    const char* Data() const { return FData.data() + FStart; }
    void Append(const char* bytes, std::size_t count);
    // Position of `needle` at or after `from` (relative to the front), or npos.
    std::size_t Find(const std::string& needle, std::size_t from) const;
    // Takes the first `count` bytes out.
    std::string Extract(std::size_t count);
    void Remove(std::size_t count);
    void Clear();
    // The most bytes of memory the buffer has held at once (both blocks
    // while it grew).
    std::size_t PeakHeld() const { return std::max(FPeakHeld, FData.capacity()); }

private:
    std::string FData;
    std::size_t FStart = 0;
    std::size_t FPeakHeld = 0;
};

// One socket: handle, allocated flag, local and peer address.
class TSocketHandle {
public:
    ~TSocketHandle();
    void Allocate();
    void Adopt(int handle);
    // Marks the handle not allocated, stops sending and releases it.
    void CloseSocket();
    bool HandleAllocated() const { return FHandle >= 0; }
    int Handle() const { return FHandle; }
    // True when data or a close is waiting. Waits in pump slices (see
    // TAntiFreeze); timeoutMs -2 means no limit.
    bool Readable(int timeoutMs);
    // The same for room to send.
    bool Writable(int timeoutMs);
    void UpdateBindingLocal();
    void UpdateBindingPeer();

    std::string IP, PeerIP;
    int Port = 0, PeerPort = 0;

private:
    bool WaitFor(short events, int timeoutMs);
    int FHandle = -1;
};

class TTCPConnection : public TNetComponent {
public:
    TTCPConnection();
    ~TTCPConnection() override;

    // Runs CheckClosed without raising; then true when a transport exists and
    // its socket is allocated.
    bool IsConnected();
    // See the implementation for the rules; raises EConnClosedGracefully when
    // asked to and the connection counts as closed.
    void CheckClosed(bool raiseIfClosed, bool ignoreBuffer);
    // Bytes received, 0 when the server closed, -1 on a time-out without
    // raising. timeoutMs -1: ReadTimeout (0 there means no limit).
    int FillInputBuffer(bool raiseIfClosed = true, int timeoutMs = -1, bool raiseOnTimeout = true);
    // One line up to `terminator` (LF when empty; with LF a CR before it is
    // dropped too). maxLength -1: MaxLineLength; 0: no limit.
    std::string ReadLine(const std::string& terminator = "\n", int timeoutMs = -1,
                         int maxLength = -1);
    // Reads `count` bytes (or until the server closes) into `stream`. With
    // `maxBytes` 0 or more, more bytes than that raise
    // EReplyLimitExceeded::BodyTooLarge.
    void ReadToStream(TStream& stream, std::int64_t count, bool untilClose = false,
                      std::int64_t maxBytes = -1);

    // A time limit over every wait for incoming data from now on, on top of
    // the read time-out of each wait: when it has passed, EExchangeTimeout.
    // 0 or less clears it.
    void SetDeadline(int limitMs);
    void SendBytes(const char* block, std::size_t count, bool sendNow = false);
    void SendBytes(const std::string& block) { SendBytes(block.data(), block.size()); }
    void WriteLine(const std::string& text);
    void SendStream(TStream& stream, bool fromStart = true);

    // Collects outgoing bytes; a threshold above 0 flushes when reached.
    void OpenWriteBuffer(int threshold = -1);
    // Sends the collected bytes in one block and stops collecting.
    void CloseWriteBuffer();
    // Stops collecting and drops what was collected.
    void CancelWriteBuffer();
    void FlushWriteBuffer();

    // Takes over an already connected stream socket (for example one end of a
    // socket pair) as this connection's transport; the connection owns it
    // from then on.
    void AdoptConnectedSocket(int handle);

    // Closes the socket and releases the transport. Harmless when nothing is open.
    virtual void CloseConnection();

    // For a connection kept open between requests: checks without waiting
    // whether it can carry the next request. False (and the caller closes it)
    // when the server has closed it or sent bytes nobody asked for.
    bool IdleConnectionUsable();
    // True while the open connection runs TLS.
    bool Secure() const { return FTLS != nullptr; }

    // Settings.
    int ReadTimeout() const { return FReadTimeout; }
    void ReadTimeout(int ms) { FReadTimeout = ms; }
    void SetReadTimeout(int ms) { FReadTimeout = ms; }
    int RecvBufferSize = 131072;
    int SendBufferSize = 32768;
    int MaxLineLength = 16384;
    TMaxLineAction MaxLineAction = maException;
    bool ASCIIFilter = false;
    // Local address to bind before connecting; empty and 0 leave the choice
    // to the system.
    std::string BoundIP;
    int BoundPort = 0;

    // Results of the last ReadLine.
    bool ReadLnSplit() const { return FReadLnSplit; }
    bool ReadLnTimedOut() const { return FReadLnTimedOut; }
    const TManagedBuffer& InputBuffer() const { return FInputBuffer; }
    bool ClosedGracefully() const { return FClosedGracefully; }
    // Bytes received since the connection was opened or the count reset.
    std::uint64_t BytesReceived() const { return FBytesReceived; }
    void ResetBytesReceived() { FBytesReceived = 0; }
    // The transport's socket, or nullptr without a transport.
    TSocketHandle* Binding() { return FHasTransport ? FTransport.get() : nullptr; }

protected:
    // Makes the transport if needed, connects to host:port within timeoutMs
    // and, when `secure`, runs the TLS handshake (certificate and host name
    // verified) within the same limit.
    void OpenConnection(const std::string& host, int port, int timeoutMs, bool secure = false);
    // Called after the connection was closed (by CloseConnection or on this
    // side after a close by the server).
    virtual void DoOnDisconnected() {}

private:
    // Makes the transport if needed (refusing while connected) and resets the
    // input state for a new connection.
    void PrepareTransport();
    void ConnectSocket(const std::string& host, int port, int timeoutMs);
    void ConnectWithTimeout(int socket, const std::string& ip, int port, int limit, bool pumping);
    void CloseTransportSocket();
    void StartTLS(const std::string& host, int limit);
    // Waits for what a TLS call asked for; false when `timeoutMs` ran out.
    bool WaitForTLS(int want, int timeoutMs);
    void SendRaw(const char* block, std::size_t count);

    int FReadTimeout = 0;
    TManagedBuffer FInputBuffer;
    std::vector<char> FRecvBuffer; // scratch block for one receive call
    std::vector<char> FSendBuffer; // scratch block for one stream send
    std::unique_ptr<std::string> FWriteBuffer;
    int FWriteBufferThreshold = 0;
    bool FClosedGracefully = false;
    std::uint64_t FBytesReceived = 0;
    bool FUnused = true; // nothing sent on this connection yet
    bool FHasDeadline = false;
    int FDeadlineLimit = 0;
    std::chrono::steady_clock::time_point FDeadline;
    // The transport object is kept once made, so a wait that is in progress
    // never touches freed memory; FHasTransport says whether it is in use.
    std::unique_ptr<TSocketHandle> FTransport;
    std::unique_ptr<TTLSSession> FTLS; // while the connection runs TLS
    bool FHasTransport = false;
    bool FReadLnSplit = false;
    bool FReadLnTimedOut = false;
};

// A connection with a target.
class TTCPClient : public TTCPConnection {
public:
    std::string Host;
    int Port = 0;
    // Opens a connection to Host:Port. A limit of 0 or -1 means the default:
    // 120 s on a worker thread while pumping is in use, else one blocking connect.
    void Connect(int timeoutMs = -1) { OpenConnection(Host, Port, timeoutMs); }
};

} // namespace quillory
