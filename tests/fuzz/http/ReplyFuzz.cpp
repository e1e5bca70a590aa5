// Feeds arbitrary bytes to the HTTP client as a server's reply: status line,
// header block, 100 replies, chunked and counted bodies, redirects and error
// replies. The reply arrives over one end of a socket pair whose other end
// is shut for writing, so every read ends.
//
// The first byte chooses what goes before the rest: nothing (the bytes are
// the whole reply), or the head of a chunked reply or of one read until
// close, so the bytes are a body driven through the body limit; its low bits
// also choose that limit. Whatever the input, the caller never receives more
// than the limit, and the body never holds much more memory than that.
#include "http/HTTPClient.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

using namespace quillory;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1 || size > 200000)
        return 0;
    const std::uint8_t mode = data[0];
    ++data;
    --size;
    std::string reply;
    switch (mode >> 6) {
    case 1:
        reply = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
        break;
    case 2:
        reply = "HTTP/1.0 200 OK\r\n\r\n";
        break;
    default:
        break;
    }
    reply.append(reinterpret_cast<const char*>(data), size);
    const std::int64_t limit = static_cast<std::int64_t>(mode & 63) * 97;
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0)
        return 0;
    int big = 1 << 20;
    ::setsockopt(pair[1], SOL_SOCKET, SO_SNDBUF, &big, sizeof big);
    ::setsockopt(pair[0], SOL_SOCKET, SO_RCVBUF, &big, sizeof big);
    std::size_t sent = 0;
    while (sent < reply.size()) {
        ssize_t n = ::send(pair[1], reply.data() + sent, reply.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            break;
        sent += static_cast<std::size_t>(n);
    }
    ::shutdown(pair[1], SHUT_WR);
    {
        THTTPClient client;
        client.HandleRedirects = false; // nothing to follow on a socket pair
        client.ReadTimeout(50);
        client.ExchangeTimeout = 2000;
        client.MaxBodySize = limit;
        client.Host = "127.0.0.1";
        client.Port = 1;
        client.AdoptConnectedSocket(pair[0]);
        TStringStream target;
        try {
            client.GetToStream("http://127.0.0.1:1/f.txt", target);
        } catch (const std::exception&) {
            // Every failure must be an exception of ours, never a crash.
        }
        if (target.Size() > limit)
            __builtin_trap(); // a body beyond the limit reached the caller
        // Nor did the body's memory ever hold much more than the limit (the
        // slack covers the string's own small buffer).
        if (target.PeakHeld() > limit + limit / 8 + 64)
            __builtin_trap();
        client.CloseConnection();
    }
    ::close(pair[1]);
    return 0;
}
