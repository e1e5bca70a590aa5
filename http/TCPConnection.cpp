#include "http/TCPConnection.h"

#include "http/AntiFreeze.h"
#include "http/NetExceptions.h"
#include "http/SocketStack.h"
#include "http/TLSSession.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <fcntl.h>
#include <mutex>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace quillory {

namespace {

TSocketStack& Stack() {
    TSocketStack* stack = TSocketStack::Instance();
    if (stack == nullptr)
        throw ESocketLibraryError("Error on call Winsock2 library function socket");
    return *stack;
}

// Upper bound for pre-sizing a target stream from a length the server
// announced: beyond it the stream grows as bytes really arrive, so a bogus
// length cannot make us allocate gigabytes up front. Below it the whole body
// fits in the memory reserved first: a large reply is not copied again and
// again into ever larger blocks (reserved memory that is never written costs
// no pages, so a length that overstates costs little).
constexpr std::int64_t kMaxPresize = 64 * 1024 * 1024;

constexpr int kConnectPending = -1;

// Starts a non-blocking connect of `socket`: 0 when it is already connected,
// kConnectPending while the handshake runs, or the error number.
int StartConnect(int socket, const std::string& ip, int port) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    inet_pton(AF_INET, ip.c_str(), &addr.sin_addr);
    if (::connect(socket, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0)
        return 0;
    if (errno == EINPROGRESS || errno == EINTR)
        return kConnectPending;
    return TSocketStack::MapErrno(errno);
}

// The outcome of a connect whose socket became writable.
int ConnectResult(int socket) {
    int soError = 0;
    socklen_t len = sizeof soError;
    if (::getsockopt(socket, SOL_SOCKET, SO_ERROR, &soError, &len) != 0)
        return TSocketStack::MapErrno(errno);
    return soError == 0 ? 0 : TSocketStack::MapErrno(soError);
}

// The connect worker: waits for a started connect to finish, reports through
// a condition variable, and can be cancelled through a pipe. It touches only
// its socket, its result and its finished mark.
class TConnectThread {
public:
    explicit TConnectThread(int socket) : FSocket(socket) {
        if (::pipe2(FCancel, O_CLOEXEC) != 0)
            throw ESocketError(TSocketStack::MapErrno(errno));
        FThread = std::thread([this] { Execute(); });
    }
    ~TConnectThread() {
        Cancel();
        ::close(FCancel[0]);
        ::close(FCancel[1]);
    }
    // Waits up to `ms` for the worker; true when it has finished.
    bool WaitFor(int ms) {
        std::unique_lock<std::mutex> lock(FLock);
        return FDone.wait_for(lock, std::chrono::milliseconds(ms), [this] { return FFinished; });
    }
    // Asks the worker to stop and waits for it to end.
    void Cancel() {
        if (!FThread.joinable())
            return;
        char byte = 1;
        ssize_t ignored = ::write(FCancel[1], &byte, 1);
        (void)ignored;
        FThread.join();
    }
    int Error() const { return FError; }

private:
    void Execute() {
        pollfd fds[2] = {{FSocket, POLLOUT, 0}, {FCancel[0], POLLIN, 0}};
        int n;
        do {
            n = ::poll(fds, 2, -1);
        } while (n < 0 && errno == EINTR);
        int error;
        if (n < 0)
            error = TSocketStack::MapErrno(errno);
        else if (fds[1].revents != 0)
            error = 0; // cancelled from the waiting side: not a failure of its own
        else
            error = ConnectResult(FSocket);
        std::lock_guard<std::mutex> guard(FLock);
        FError = error;
        FFinished = true;
        FDone.notify_all();
    }

    int FSocket;
    int FCancel[2] = {-1, -1};
    std::thread FThread;
    std::mutex FLock;
    std::condition_variable FDone;
    bool FFinished = false;
    int FError = 0;
};

} // namespace

// --- TNetComponent ----------------------------------------------------------

TNetComponent::TNetComponent() {
    TSocketStack::Acquire();
}
TNetComponent::~TNetComponent() {
    TSocketStack::Release();
}

// --- TManagedBuffer ---------------------------------------------------------

void TManagedBuffer::Append(const char* bytes, std::size_t count) {
    if (FStart > 0 && FStart >= FData.size() / 2) {
        FData.erase(0, FStart);
        FStart = 0;
    }
    const std::size_t old = FData.capacity();
    FData.append(bytes, count);
    if (FData.capacity() != old)
        FPeakHeld = std::max(FPeakHeld, old + FData.capacity());
}

std::size_t TManagedBuffer::Find(const std::string& needle, std::size_t from) const {
    std::size_t pos = FData.find(needle, FStart + from);
    return pos == std::string::npos ? std::string::npos : pos - FStart;
}

std::string TManagedBuffer::Extract(std::size_t count) {
    count = std::min(count, Size());
    std::string out = FData.substr(FStart, count);
    Remove(count);
    return out;
}

void TManagedBuffer::Remove(std::size_t count) {
    FStart += std::min(count, Size());
    if (FStart == FData.size())
        Clear();
}

void TManagedBuffer::Clear() {
    FData.clear();
    FStart = 0;
}

// --- TSocketHandle ----------------------------------------------------------

TSocketHandle::~TSocketHandle() {
    CloseSocket();
}

void TSocketHandle::Allocate() {
    CloseSocket();
    FHandle = Stack().NewSocket();
    if (FHandle < 0) {
        FHandle = -1;
        throw EInvalidSocket();
    }
}

void TSocketHandle::Adopt(int handle) {
    CloseSocket();
    FHandle = handle;
}

void TSocketHandle::CloseSocket() {
    if (FHandle < 0)
        return;
    int handle = FHandle;
    FHandle = -1;
    TSocketStack& stack = Stack();
    stack.Shutdown(handle);
    stack.CloseSocket(handle);
}

bool TSocketHandle::Readable(int timeoutMs) {
    return WaitFor(POLLIN, timeoutMs);
}

bool TSocketHandle::Writable(int timeoutMs) {
    return WaitFor(POLLOUT, timeoutMs);
}

bool TSocketHandle::WaitFor(short events, int timeoutMs) {
    if (!HandleAllocated())
        throw EConnClosedGracefully();
    // With the pump in use, a long wait is cut into slices and messages are
    // processed after each slice that ended empty. The first slice takes the
    // odd remainder.
    int slice = timeoutMs;
    int slices = 1;
    bool endless = false;
    if (TAntiFreeze::PumpingInUse()) {
        int idle = TAntiFreeze::SliceLength();
        if (timeoutMs == -2) {
            endless = true;
            slice = idle;
        } else if (timeoutMs > idle) {
            slice = timeoutMs % idle == 0 ? idle : timeoutMs % idle;
            slices = 1 + (timeoutMs - slice) / idle;
        }
        for (int i = 0; endless || i < slices; ++i) {
            if (!HandleAllocated()) // closed by a handler the pump ran
                throw EConnClosedGracefully();
            bool readable = Stack().Select(FHandle, slice, events) > 0;
            TAntiFreeze::PumpMessages(!readable);
            if (readable)
                return true;
            slice = idle;
        }
        return false;
    }
    bool readable = Stack().Select(FHandle, timeoutMs == -2 ? -1 : timeoutMs, events) > 0;
    TAntiFreeze::PumpMessages(!readable);
    return readable;
}

void TSocketHandle::UpdateBindingLocal() {
    Stack().GetSockName(FHandle, IP, Port);
}
void TSocketHandle::UpdateBindingPeer() {
    Stack().GetPeerName(FHandle, PeerIP, PeerPort);
}

// --- TTCPConnection ---------------------------------------------------------

TTCPConnection::TTCPConnection() = default;

TTCPConnection::~TTCPConnection() {
    CloseTransportSocket();
}

void TTCPConnection::PrepareTransport() {
    if (FHasTransport && IsConnected())
        throw EAlreadyConnected();
    if (!FTransport)
        FTransport = std::make_unique<TSocketHandle>();
    FHasTransport = true;
    FInputBuffer.Clear();
    FClosedGracefully = false;
    FBytesReceived = 0;
    FUnused = true;
}

void TTCPConnection::OpenConnection(const std::string& host, int port, int timeoutMs, bool secure) {
    PrepareTransport();
    try {
        ConnectSocket(host, port, timeoutMs);
        if (secure) {
            // The handshake is always bounded (a server that stalls it must
            // not hold the program): the connect limit, or 120 s.
            int limit = timeoutMs;
            if (limit <= 0)
                limit = 120000;
            StartTLS(host, limit);
        }
    } catch (...) {
        CloseTransportSocket();
        throw;
    }
}

bool TTCPConnection::WaitForTLS(int want, int timeoutMs) {
    return want == TTLSSession::wWrite ? FTransport->Writable(timeoutMs)
                                       : FTransport->Readable(timeoutMs);
}

// The handshake runs on the non-blocking socket: each step that cannot go on
// waits for the socket in the usual slices (pumping messages), all steps
// together within `limit` ms.
void TTCPConnection::StartTLS(const std::string& host, int limit) {
    const int socket = FTransport->Handle();
    ::fcntl(socket, F_SETFL, ::fcntl(socket, F_GETFL) | O_NONBLOCK);
    // TLS writes whole records (the handshake's last one, then the request
    // head, then the body): holding each small record back until the one
    // before it is acknowledged would add the peer's delayed-ACK time (about
    // 40 ms) to every request.
    int one = 1;
    ::setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    FTLS = std::make_unique<TTLSSession>(socket, host);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limit);
    while (true) {
        const TTLSSession::TWant want = FTLS->Handshake();
        if (want == TTLSSession::wNone)
            return;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        if (left <= 0 || !WaitForTLS(want, static_cast<int>(left)))
            throw ETLSError(host, "the handshake timed out");
    }
}

bool TTCPConnection::IdleConnectionUsable() {
    if (!IsConnected())
        return false;
    // A connection that has carried no request has no idle time behind it:
    // what waits on it is the answer to its first request.
    if (FUnused)
        return true;
    if (!FInputBuffer.Empty())
        return false;
    if (FTLS && FTLS->Pending() > 0)
        return false;
    TSocketStack& stack = Stack();
    // A TLS server may still send records that carry no data (session
    // tickets); those are read and the connection stays usable.
    for (int i = 0; i < 4; ++i) {
        if (stack.Select(FTransport->Handle(), 0) <= 0)
            return true;
        if (!FTLS)
            return false; // a close, or bytes nobody asked for
        try {
            char byte;
            if (FTLS->Read(&byte, 1) != TTLSSession::wRead)
                return false;
        } catch (const ENetException&) {
            return false;
        }
    }
    return false;
}

// Connects within `limit` ms without blocking the calling thread: the
// connect is started non-blocking; when the handshake is not complete at
// once, a worker thread waits for it while this thread waits in slices,
// pumping messages, and wakes as soon as the worker reports.
void TTCPConnection::ConnectWithTimeout(int socket, const std::string& ip, int port, int limit,
                                        bool pumping) {
    const int flags = ::fcntl(socket, F_GETFL);
    ::fcntl(socket, F_SETFL, flags | O_NONBLOCK);
    int result = StartConnect(socket, ip, port);
    if (result == kConnectPending) {
        pollfd p{socket, POLLOUT, 0};
        if (::poll(&p, 1, 0) > 0)
            result = ConnectResult(socket);
    }
    if (result == kConnectPending) {
        int slice = 125;
        if (pumping)
            slice = std::min(slice, TAntiFreeze::SliceLength());
        TConnectThread worker(socket);
        int remaining = limit;
        bool finished = false;
        while (remaining > slice) {
            if (worker.WaitFor(slice)) {
                finished = true;
                break;
            }
            TAntiFreeze::PumpMessages(true);
            remaining -= slice;
        }
        if (!finished)
            finished = worker.WaitFor(remaining);
        if (!finished) {
            worker.Cancel();
            FTransport->CloseSocket();
            throw EConnectTimeout();
        }
        worker.Cancel(); // joins the finished thread
        result = worker.Error();
    }
    ::fcntl(socket, F_SETFL, flags);
    if (result != 0)
        throw EConnectException(TSocketStack::SocketErrorMessage(result), result);
}

void TTCPConnection::ConnectSocket(const std::string& host, int port, int timeoutMs) {
    TSocketStack& stack = Stack();
    FTransport->Allocate();
    int socket = FTransport->Handle();
    if (!BoundIP.empty() || BoundPort != 0) {
        int rc = stack.Bind(socket, BoundIP, BoundPort);
        if (rc == WSAEADDRINUSE)
            throw ECouldNotBindSocket();
        if (rc != 0)
            stack.RaiseSocketError(rc);
        FTransport->UpdateBindingLocal();
    }
    std::string ip = stack.LookupHost(host);
    FTransport->PeerIP = ip;
    FTransport->PeerPort = port;
    if (port < 0 || port > 65535)
        stack.RaiseSocketError(10049);

    bool pumping = TAntiFreeze::PumpingInUse();
    int limit = timeoutMs;
    if (limit == 0 || limit == -1)
        limit = pumping ? 120000 : 0;
    if (limit <= 0) {
        int rc = stack.Connect(socket, ip, port);
        if (rc != 0)
            stack.RaiseSocketError(rc);
    } else {
        ConnectWithTimeout(socket, ip, port, limit, pumping);
    }
    FTransport->UpdateBindingLocal();
    FTransport->UpdateBindingPeer();
}

void TTCPConnection::AdoptConnectedSocket(int handle) {
    PrepareTransport();
    FTransport->Adopt(handle);
}

bool TTCPConnection::IsConnected() {
    CheckClosed(false, false);
    return FHasTransport && FTransport->HandleAllocated();
}

void TTCPConnection::CloseTransportSocket() {
    if (FTLS) {
        if (FTransport && FTransport->HandleAllocated())
            FTLS->Shutdown();
        FTLS.reset();
    }
    if (FTransport)
        FTransport->CloseSocket();
}

void TTCPConnection::CheckClosed(bool raiseIfClosed, bool ignoreBuffer) {
    if (!FHasTransport)
        return;
    bool closed = FClosedGracefully || !FTransport->HandleAllocated();
    if (FClosedGracefully && FTransport->HandleAllocated()) {
        CloseTransportSocket();
        DoOnDisconnected();
    }
    if (closed && raiseIfClosed && (FInputBuffer.Empty() || ignoreBuffer))
        throw EConnClosedGracefully();
}

void TTCPConnection::SetDeadline(int limitMs) {
    FHasDeadline = limitMs > 0;
    FDeadlineLimit = limitMs;
    if (FHasDeadline)
        FDeadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
}

int TTCPConnection::FillInputBuffer(bool raiseIfClosed, int timeoutMs, bool raiseOnTimeout) {
    if (timeoutMs == -1)
        timeoutMs = FReadTimeout <= 0 ? -2 : FReadTimeout;
    CheckClosed(raiseIfClosed, false);
    if (!(FHasTransport && FTransport->HandleAllocated())) {
        if (raiseIfClosed)
            throw ENotConnected();
        return 0;
    }
    TSocketStack& stack = Stack();
    // The receive buffer: one scratch block of RecvBufferSize bytes, kept.
    std::vector<char>& block = FRecvBuffer;
    block.resize(static_cast<std::size_t>(std::max(RecvBufferSize, 1)));
    int received = 0;
    do {
        // The exchange's deadline shortens a wait that would outlast it.
        int wait = timeoutMs;
        bool deadlineBound = false;
        if (FHasDeadline) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                                  FDeadline - std::chrono::steady_clock::now())
                                  .count();
            if (left <= 0)
                throw EExchangeTimeout(FDeadlineLimit);
            if (wait == -2 || left < wait) {
                wait = static_cast<int>(left);
                deadlineBound = true;
            }
        }
        const bool held = FTLS && FTLS->Pending() > 0;
        if (!held && !FTransport->Readable(wait)) {
            if (deadlineBound)
                throw EExchangeTimeout(FDeadlineLimit);
            if (raiseOnTimeout)
                throw EReadTimeout();
            return -1;
        }
        if (!FTransport->HandleAllocated())
            throw EClosedSocket();
        if (FTLS) {
            received = FTLS->Read(block.data(), static_cast<int>(block.size()));
            if (received == TTLSSession::wRead || received == TTLSSession::wWrite) {
                // A record not yet complete, or one without data: wait again.
                if (received == TTLSSession::wWrite && !FTransport->Writable(wait)) {
                    if (deadlineBound)
                        throw EExchangeTimeout(FDeadlineLimit);
                    if (raiseOnTimeout)
                        throw EReadTimeout();
                    return -1;
                }
                received = -1;
                continue;
            }
        } else {
            received =
                stack.Recv(FTransport->Handle(), block.data(), static_cast<int>(block.size()));
        }
        FClosedGracefully = received == 0;
        if (received < 0) {
            int error = stack.LastError();
            if (error == WSAESHUTDOWN || error == WSAECONNABORTED) {
                CloseTransportSocket();
                if (FInputBuffer.Empty())
                    stack.RaiseSocketError(error);
                received = 0;
            } else {
                stack.RaiseSocketError(error);
            }
        }
        if (received > 0) {
            if (ASCIIFilter)
                for (int i = 0; i < received; ++i)
                    block[i] = static_cast<char>(block[i] & 0x7F);
            FInputBuffer.Append(block.data(), static_cast<std::size_t>(received));
            FBytesReceived += static_cast<std::uint64_t>(received);
        }
        CheckClosed(raiseIfClosed, false);
    } while (received <= 0 && FHasTransport && FTransport->HandleAllocated());
    return received;
}

std::string TTCPConnection::ReadLine(const std::string& terminator, int timeoutMs, int maxLength) {
    const std::string term = terminator.empty() ? std::string("\n") : terminator;
    if (maxLength == -1)
        maxLength = MaxLineLength;
    FReadLnSplit = false;
    FReadLnTimedOut = false;
    std::size_t searchFrom = 0;
    const std::size_t limit = maxLength > 0 ? static_cast<std::size_t>(maxLength) : 0;
    while (true) {
        std::size_t pos = FInputBuffer.Find(term, searchFrom);
        bool tooLong =
            limit > 0 && (pos != std::string::npos ? pos > limit : FInputBuffer.Size() > limit);
        if (tooLong) {
            if (MaxLineAction == maException)
                throw EReadLnMaxLineLengthExceeded();
            FReadLnSplit = true;
            return FInputBuffer.Extract(limit);
        }
        if (pos != std::string::npos) {
            std::string line = FInputBuffer.Extract(pos);
            FInputBuffer.Remove(term.size());
            if (term == "\n" && !line.empty() && line.back() == '\r')
                line.pop_back();
            return line;
        }
        // Continue the next search where this one could still find a match.
        searchFrom = FInputBuffer.Size() >= term.size() ? FInputBuffer.Size() - term.size() + 1 : 0;
        CheckClosed(true, true);
        int received = FillInputBuffer(true, timeoutMs, timeoutMs == -1);
        if (received <= 0) {
            FReadLnTimedOut = true;
            return "";
        }
    }
}

void TTCPConnection::ReadToStream(TStream& stream, std::int64_t count, bool untilClose,
                                  std::int64_t maxBytes) {
    if (count < 0 && !untilClose) {
        // A 4-byte count in network order comes first.
        while (FInputBuffer.Size() < 4) {
            FillInputBuffer(true, -1, true);
            CheckClosed(true, true);
        }
        std::string bytes = FInputBuffer.Extract(4);
        count = 0;
        for (char c : bytes)
            count = (count << 8) | static_cast<unsigned char>(c);
    }
    struct TCutToPosition {
        TStream& S;
        ~TCutToPosition() {
            try {
                std::int64_t pos = S.Position();
                if (S.Size() > pos)
                    S.SetSize(pos);
            } catch (...) {
                // The stream refused: leave it as it is; the read's own
                // outcome (or exception) is what the caller needs to see.
            }
        }
    } cut{stream};

    if (count >= 0 && !untilClose)
        stream.Reserve(stream.Position() + std::min(count, kMaxPresize));

    std::int64_t written = 0;
    auto writeFromBuffer = [&](std::size_t n) {
        if (n == 0)
            return;
        written += static_cast<std::int64_t>(n);
        if (maxBytes >= 0 && written > maxBytes)
            throw EReplyLimitExceeded::BodyTooLarge(maxBytes);
        stream.Write(FInputBuffer.Data(), static_cast<std::int64_t>(n));
        FInputBuffer.Remove(n);
    };

    std::int64_t remaining = count;
    if (untilClose) {
        writeFromBuffer(FInputBuffer.Size());
    } else {
        std::size_t n = static_cast<std::size_t>(
            std::min<std::int64_t>(remaining, static_cast<std::int64_t>(FInputBuffer.Size())));
        writeFromBuffer(n);
        remaining -= static_cast<std::int64_t>(n);
    }

    auto open = [&] {
        return FHasTransport && FTransport->HandleAllocated() && !FClosedGracefully;
    };
    while (open() && (untilClose || remaining > 0)) {
        std::size_t block =
            untilClose
                ? 1
                : static_cast<std::size_t>(std::min<std::int64_t>(remaining, RecvBufferSize));
        try {
            while (FInputBuffer.Size() < block) {
                FillInputBuffer(true, -1, true);
                CheckClosed(true, true);
            }
        } catch (const EConnClosedGracefully&) {
            // Whatever arrived before the close is kept. When reading until
            // close, that is the normal end.
            std::size_t n = untilClose ? FInputBuffer.Size()
                                       : std::min<std::size_t>(FInputBuffer.Size(), block);
            writeFromBuffer(n);
            if (untilClose)
                return;
            throw;
        }
        std::size_t n = untilClose ? FInputBuffer.Size() : block;
        writeFromBuffer(n);
        if (!untilClose)
            remaining -= static_cast<std::int64_t>(n);
    }
    if (untilClose)
        writeFromBuffer(FInputBuffer.Size());
}

void TTCPConnection::SendBytes(const char* block, std::size_t count, bool sendNow) {
    if (count == 0)
        return;
    CheckClosed(true, true);
    if (!(FHasTransport && FTransport->HandleAllocated()))
        throw ENotConnected();
    if (FWriteBuffer && !sendNow) {
        FWriteBuffer->append(block, count);
        if (FWriteBufferThreshold > 0 &&
            FWriteBuffer->size() >= static_cast<std::size_t>(FWriteBufferThreshold))
            FlushWriteBuffer();
        return;
    }
    SendRaw(block, count);
}

void TTCPConnection::SendRaw(const char* block, std::size_t count) {
    FUnused = false;
    TSocketStack& stack = Stack();
    std::size_t sent = 0;
    while (sent < count) {
        if (!FTransport->HandleAllocated())
            throw EClosedSocket();
        int chunk = static_cast<int>(std::min<std::size_t>(count - sent, 1u << 30));
        if (FTLS) {
            const int n = FTLS->Write(block + sent, chunk);
            TAntiFreeze::PumpMessages(false);
            if (n > 0) {
                sent += static_cast<std::size_t>(n);
            } else if (!WaitForTLS(n, FReadTimeout > 0 ? FReadTimeout : -2)) {
                CloseTransportSocket();
                throw EReadTimeout();
            }
            continue;
        }
        int n = stack.Send(FTransport->Handle(), block + sent, chunk);
        TAntiFreeze::PumpMessages(false);
        if (n < 0) {
            int error = stack.LastError();
            if (error == WSAESHUTDOWN || error == WSAECONNABORTED || error == WSAECONNRESET)
                CloseTransportSocket();
            stack.RaiseSocketError(error);
        }
        if (n == 0) {
            FClosedGracefully = true;
            CheckClosed(true, false);
            throw EConnClosedGracefully();
        }
        sent += static_cast<std::size_t>(n);
    }
}

void TTCPConnection::WriteLine(const std::string& text) {
    SendBytes(text + "\r\n");
}

void TTCPConnection::SendStream(TStream& stream, bool fromStart) {
    if (fromStart)
        stream.Seek(0, soBeginning);
    const std::int64_t end = stream.Size();
    std::vector<char>& block = FSendBuffer;
    block.resize(static_cast<std::size_t>(std::max(SendBufferSize, 1)));
    while (true) {
        std::int64_t n = std::min<std::int64_t>(end - stream.Position(),
                                                static_cast<std::int64_t>(block.size()));
        if (n <= 0)
            break;
        std::int64_t got = stream.Read(block.data(), n);
        if (got <= 0)
            throw ENoDataToRead();
        SendBytes(block.data(), static_cast<std::size_t>(got));
    }
}

void TTCPConnection::OpenWriteBuffer(int threshold) {
    FWriteBuffer = std::make_unique<std::string>();
    FWriteBufferThreshold = threshold;
}

void TTCPConnection::CloseWriteBuffer() {
    if (!FWriteBuffer)
        return;
    std::string content = std::move(*FWriteBuffer);
    FWriteBuffer.reset();
    SendBytes(content.data(), content.size(), true);
}

void TTCPConnection::CancelWriteBuffer() {
    FWriteBuffer.reset();
}

void TTCPConnection::FlushWriteBuffer() {
    if (!FWriteBuffer || FWriteBuffer->empty())
        return;
    std::string content = std::move(*FWriteBuffer);
    FWriteBuffer->clear();
    SendBytes(content.data(), content.size(), true);
}

void TTCPConnection::CloseConnection() {
    if (!FHasTransport)
        return;
    FClosedGracefully = true;
    CloseTransportSocket();
    FHasTransport = false;
    DoOnDisconnected();
}

} // namespace quillory
