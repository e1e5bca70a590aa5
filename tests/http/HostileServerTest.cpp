// The client against servers that try to exhaust its memory or hold it for
// ever, over plain TCP and over TLS: each ends with the clear error of the
// limit that stopped it (a size, a count, or the shortened whole-exchange
// deadline), and with the bytes the client held (counted by this binary's
// allocator, not the process size) bounded.
#include "http/CookieManager.h"
#include "http/HTTPClient.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/TestTLS.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <malloc.h>
#include <new>
#include <thread>
#include <unistd.h>

using namespace quillory;
using namespace quillory::testsupport;

// --- bytes held -------------------------------------------------------------
// Every operator new of the test binary is counted: the live total and its
// highest value since the last reset.

namespace {
std::atomic<long long> gLiveBytes{0};
std::atomic<long long> gPeakBytes{0};

void CountAllocation(void* p) {
    const long long now = gLiveBytes += static_cast<long long>(malloc_usable_size(p));
    long long peak = gPeakBytes.load();
    while (now > peak && !gPeakBytes.compare_exchange_weak(peak, now)) {
    }
}
} // namespace

void* operator new(std::size_t size) {
    void* p = std::malloc(size == 0 ? 1 : size);
    if (p == nullptr)
        throw std::bad_alloc();
    CountAllocation(p);
    return p;
}
void* operator new[](std::size_t size) {
    return operator new(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    void* p = std::malloc(size == 0 ? 1 : size);
    if (p != nullptr)
        CountAllocation(p);
    return p;
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept {
    return operator new(size, tag);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    operator delete(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    operator delete(p);
}
void operator delete(void* p) noexcept {
    if (p == nullptr)
        return;
    gLiveBytes -= static_cast<long long>(malloc_usable_size(p));
    std::free(p);
}
void operator delete[](void* p) noexcept {
    operator delete(p);
}
void operator delete(void* p, std::size_t) noexcept {
    operator delete(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    operator delete(p);
}

namespace {

constexpr long long kMiB = 1024 * 1024;

// Measures the most bytes held above the level at construction.
class THeldBytes {
public:
    THeldBytes() : FBase(gLiveBytes.load()) { gPeakBytes = FBase; }
    long long Peak() const { return gPeakBytes.load() - FBase; }

private:
    long long FBase;
};

// Sends `bytes` until the client goes away: whole blocks, or one byte at a
// time `gapMs` apart.
void SendForEver(TServerConnection& c, const std::string& bytes, int gapMs = 0) {
    for (std::size_t i = 0;; i = (i + 1) % bytes.size()) {
        if (!gapMs) {
            if (!c.Send(bytes))
                return;
            continue;
        }
        if (!c.Send(bytes.substr(i, 1)))
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(gapMs));
        if (c.WaitForClose(0))
            return;
    }
}

// After the request the server sends `Head`, then `Repeat` for ever (one byte
// every 50 ms when `Drip`).
struct THostileCase {
    const char* Name;
    std::string Head, Repeat;
    bool Drip;
    std::int64_t MaxBodySize;
    std::string Error;
};

std::vector<THostileCase> HostileCases() {
    const std::string filler(32768, 'f'), ok = "HTTP/1.1 200 OK\r\n";
    const std::int64_t dflt = kDefaultMaxBodySize;
    const std::string slow = "The server took too long to answer (0.6 s).";
    return {
        {"header lines without end", ok, "X-Filler: " + std::string(60, 'a') + "\r\n", false, dflt,
         "The server's reply head has more than 200 lines."},
        {"long header lines without end", ok, "X-Filler: " + std::string(16000, 'a') + "\r\n",
         false, dflt, "The server's reply head is larger than 256 KiB."},
        {"an endless chunked body", ok + "Transfer-Encoding: chunked\r\n\r\n",
         "8000\r\n" + filler + "\r\n", false, kMiB, "The server's reply is larger than 1 MiB."},
        {"an endless body without a length", "HTTP/1.0 200 OK\r\n\r\n", filler, false, kMiB,
         "The server's reply is larger than 1 MiB."},
        {"a 2 GB Content-Length, then 2 GB", ok + "Content-Length: 2147483648\r\n\r\n", filler,
         false, dflt, "The server's reply is larger than 256 MiB."},
        {"one byte at a time in the head", "", ok + "X-Slow: abcdefghijklmnopqrstuvwxyz", true,
         dflt, slow},
        {"one byte at a time in the body", ok + "Content-Length: 100000\r\n\r\n", "body", true,
         dflt, slow},
        {"100 Continue without end", "", "HTTP/1.1 100 Continue\r\n\r\n", false, dflt,
         "The server sent more than 10 interim replies."},
    };
}

class HostileServerTest : public ::testing::TestWithParam<bool> {
protected:
    HostileServerTest() {
        std::signal(SIGPIPE, SIG_IGN);
        if (GetParam())
            tls = TrustedTestCA().ServerContext();
    }
    TServerContext tls;
};

TEST_P(HostileServerTest, EveryKindEndsWithTheErrorOfItsLimitInBoundedMemory) {
    for (const THostileCase& row : HostileCases()) {
        SCOPED_TRACE(row.Name);
        TLoopbackServer server(
            [&row](TServerConnection& c) {
                c.ReadRequest();
                if (!row.Head.empty())
                    c.Send(row.Head);
                SendForEver(c, row.Repeat, row.Drip ? 50 : 0);
            },
            tls);
        server.Recording = false;
        THTTPClient client;
        client.ReadTimeout(300); // each single wait; the drips never reach it
        client.ExchangeTimeout = 600;
        client.MaxBodySize = row.MaxBodySize;
        std::string message = "no error";
        THeldBytes held;
        try {
            client.Get(server.Url("/list"));
        } catch (const ENetException& e) {
            message = e.what();
        }
        EXPECT_EQ(message, row.Error);
        // The body's limit (when it is the one reached) plus a few buffers.
        const long long budget =
            (row.MaxBodySize == kDefaultMaxBodySize ? 0 : 3 * row.MaxBodySize) + 4 * kMiB;
        EXPECT_LT(held.Peak(), budget);
        EXPECT_FALSE(client.IsConnected());
    }
}

TEST_P(HostileServerTest, CookiesAreHeldToFiftyPerDomainOfAtMostFourKiB) {
    // 20,000 "Set-Cookie" lines of 4 KB over 334 replies on one connection,
    // and one cookie of 5 KB.
    const int replies = 334, perReply = 60;
    TLoopbackServer server(
        [&](TServerConnection& c) {
            for (int r = 0; r < replies; ++r) {
                c.ReadRequest();
                std::string head = "HTTP/1.1 200 OK\r\n";
                for (int i = 0; i < perReply; ++i)
                    head += "Set-Cookie: c" + std::to_string(r * perReply + i) + "=" +
                            std::string(3980, 'v') + "; path=/\r\n";
                if (r == replies - 1)
                    head += "Set-Cookie: big=" + std::string(5000, 'b') + "\r\n";
                c.Send(head + "Content-Length: 2\r\n\r\nOK");
            }
            c.WaitForClose(5000);
        },
        tls);
    server.Recording = false; // every request carries 200 KB of cookies back
    THTTPClient client;
    client.ReadTimeout(5000);
    THeldBytes held;
    for (int r = 0; r < replies; ++r)
        ASSERT_EQ(client.Get(server.Url("/")), "OK");
    ASSERT_NE(client.CookieManager(), nullptr);
    const TCookies& cookies = client.CookieManager()->CookieCollection();
    ASSERT_EQ(cookies.Domains.size(), 1u);
    const auto& items = cookies.Domains[0].Cookies.Items;
    ASSERT_EQ(items.size(), kMaxCookiesPerDomain);
    // The newest fifty stayed, the oldest went first; the 5 KB one was dropped.
    EXPECT_EQ(items.front()->CookieName, "c" + std::to_string(replies * perReply - 50));
    EXPECT_EQ(items.back()->CookieName, "c" + std::to_string(replies * perReply - 1));
    EXPECT_LT(held.Peak(), 4 * kMiB);
}

INSTANTIATE_TEST_SUITE_P(PlainAndTLS, HostileServerTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "TLS" : "Plain"; });

TEST(HostileServerFileTest, ADownloadIntoAFileStopsAtTheLimit) {
    std::signal(SIGPIPE, SIG_IGN);
    TLoopbackServer server([](TServerConnection& c) {
        c.ReadRequest();
        c.Send("HTTP/1.0 200 OK\r\n\r\n");
        SendForEver(c, std::string(32768, 'd'));
    });
    char name[] = "/tmp/quillory-download-XXXXXX";
    const int fd = ::mkstemp(name);
    ASSERT_GE(fd, 0);
    ::close(fd);
    {
        THTTPClient client;
        client.MaxBodySize = 512 * 1024;
        TFileStream file(name, TFileStream::fmCreate);
        EXPECT_THROW(client.GetToStream(server.Url("/mainappupdate.inf"), file),
                     EReplyLimitExceeded);
        EXPECT_LE(file.Size(), 512 * 1024);
    }
    std::remove(name);
}

TEST(HostileAddressTest, ControlCharactersAreRefusedBeforeAnythingIsSentAndSpacesEncoded) {
    TScriptedServer server(
        TScriptedServer::OnePerConnection({"HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nOK"}));
    THTTPClient client;
    for (const std::string& bad :
         {server.Url("/a\r\nX-Evil: 1"), server.Url("/a\nb"), server.Url(std::string("/a\0b", 4)),
          server.Url("/a\tb"), server.Url("/a\x7f")}) {
        try {
            client.Get(bad);
            ADD_FAILURE() << "no error";
        } catch (const EInvalidURL& e) {
            EXPECT_STREQ(e.what(), "The address holds a control character (such as a line "
                                   "break) and was not used.");
        }
    }
    EXPECT_EQ(server.ConnectionCount(), 0);
    EXPECT_EQ(client.Get(server.Url("/my shop/list.php?q=a b")), "OK");
    ASSERT_TRUE(server.WaitForHandlers(1));
    EXPECT_EQ(server.Received(0).rfind("GET /my%20shop/list.php?q=a%20b HTTP/1.1\r\n", 0), 0u);
}

TEST(HostileRedirectTest, ALocationWithAControlCharacterIsRefusedToo) {
    TScriptedServer server(TScriptedServer::OnePerConnection(
        {"HTTP/1.1 302 Found\r\nLocation: /x\x01y\r\nContent-Length: 0\r\n\r\n"}));
    THTTPClient client;
    client.HandleRedirects = true;
    EXPECT_THROW(client.Get(server.Url("/")), EInvalidURL);
    EXPECT_EQ(server.ConnectionCount(), 1);
}

TEST(ReplyMemoryTest, ABigReplyReachesTheCallerWithoutACopy) {
    // 8 MiB with a stated length: the bytes held stay near one copy of the
    // body (its buffer growing geometrically), not two.
    const std::string body(8 * kMiB, 'r');
    TLoopbackServer server([&](TServerConnection& c) {
        c.ReadRequest();
        c.Send("HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n");
        for (std::size_t at = 0; at < body.size(); at += 65536)
            c.Send(body.substr(at, 65536));
    });
    THTTPClient client;
    client.ReadTimeout(5000);
    std::string got;
    THeldBytes held;
    got = client.Get(server.Url("/"));
    EXPECT_EQ(got.size(), body.size());
    EXPECT_LT(held.Peak(), 14 * kMiB);
}

} // namespace

namespace {

// A body of `size` bytes in the given transfer coding, sent in pieces so the
// server side holds little of it at a time.
enum class TCoding { Length, Chunks1, Chunks4K, OneChunk, UntilClose };

void SendBody(TServerConnection& c, TCoding coding, std::size_t size) {
    const std::size_t piece = 16384;
    const bool chunked = coding != TCoding::Length && coding != TCoding::UntilClose;
    c.Send(coding == TCoding::Length
               ? "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(size) + "\r\n\r\n"
           : chunked ? "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
                     : "HTTP/1.0 200 OK\r\n\r\n");
    const std::size_t chunk = coding == TCoding::Chunks1    ? 1
                              : coding == TCoding::Chunks4K ? 4096
                              : coding == TCoding::OneChunk ? size
                                                            : piece;
    std::string out;
    for (std::size_t sent = 0; sent < size; sent += chunk) {
        const std::size_t n = std::min(chunk, size - sent);
        char line[32];
        std::snprintf(line, sizeof line, "%zx\r\n", n);
        out += chunked ? line : "";
        for (std::size_t left = n; left > 0; left -= std::min(left, piece)) {
            out.append(std::min(left, piece), 'b');
            if (out.size() >= piece && !c.Send(std::exchange(out, {})))
                return;
        }
        out += chunked ? "\r\n" : "";
    }
    c.Send(chunked ? out + "0\r\n\r\n" : out);
}

TEST(BodyLimitMemoryTest, EveryCodingHoldsAtMostAQuarterMoreThanTheLimit) {
    std::signal(SIGPIPE, SIG_IGN);
    const std::int64_t limit = 4 * kMiB;
    const std::string tooLarge = "The server's reply is larger than 4 MiB.";
    struct TCase {
        const char* Name;
        TCoding Coding;
        std::size_t Size;
        std::string Error; // empty: the whole body arrives
    } cases[] = {{"stated length at the limit", TCoding::Length, limit, ""},
                 {"stated length above the limit", TCoding::Length, limit + 1, tooLarge},
                 {"1-byte chunks up to the limit", TCoding::Chunks1, limit, ""},
                 {"4 KiB chunks beyond the limit", TCoding::Chunks4K, limit + 4096, tooLarge},
                 {"one chunk of the limit", TCoding::OneChunk, limit, ""},
                 {"one chunk beyond the limit", TCoding::OneChunk, limit + 1, tooLarge},
                 {"until close up to the limit", TCoding::UntilClose, limit, ""},
                 {"until close beyond the limit", TCoding::UntilClose, limit + 1, tooLarge}};
    for (const TCase& row : cases) {
        SCOPED_TRACE(row.Name);
        TLoopbackServer server([&row](TServerConnection& c) {
            c.ReadRequest();
            SendBody(c, row.Coding, row.Size);
        });
        server.Recording = false;
        THTTPClient client;
        client.ReadTimeout(5000);
        client.MaxBodySize = limit;
        client.RecvBufferSize = 16384; // small beside the limit, as 128 KiB beside 256 MiB
        TStringStream target;
        THeldBytes held;
        std::string message;
        try {
            client.GetToStream(server.Url("/list"), target);
        } catch (const ENetException& e) {
            message = e.what();
        }
        EXPECT_EQ(message, row.Error);
        EXPECT_TRUE(!message.empty() || target.Size() == static_cast<std::int64_t>(row.Size));
        EXPECT_LE(held.Peak(), limit + limit / 4);
        EXPECT_LE(target.PeakHeld(), limit + limit / 8 + 16); // the stream's own count agrees
    }
}

TEST(BodyLimitMemoryTest, ChunkSizesThatCannotBeRealEndTheExchangeAtOnce) {
    std::signal(SIGPIPE, SIG_IGN);
    struct TCase {
        std::string SizeLine;
        std::int64_t Limit;
        std::string Error;
    } cases[] = {
        {"FFFFFFFFFFFFFFFF", kDefaultMaxBodySize, "The server's reply is larger than 256 MiB."},
        {"10000001", kDefaultMaxBodySize, "The server's reply is larger than 256 MiB."},
        {"000000000000000000000000000010000001", kDefaultMaxBodySize,
         "The server's reply is larger than 256 MiB."},
        // A chunk after the body already reached the limit.
        {"3\r\nabc\r\n5", 3, "The server's reply is larger than 3 bytes."},
        {"8000000000000000", -1, "The server's reply cannot be read: a chunk size is too large."},
        {"zz", -1, "The server's reply cannot be read: a chunk size is not a hexadecimal number."},
        {"-5", -1, "The server's reply cannot be read: a chunk size is not a hexadecimal number."},
        {"", -1, "The server's reply cannot be read: a chunk of it has no size."}};
    for (const TCase& row : cases) {
        SCOPED_TRACE(row.SizeLine);
        // The server then waits: a client that read on would time out instead.
        TLoopbackServer server([&row](TServerConnection& c) {
            c.ReadRequest();
            c.Send("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n" + row.SizeLine +
                   "\r\nabc\r\n");
            c.WaitForClose(10000);
        });
        THTTPClient client;
        client.ReadTimeout(10000);
        client.MaxBodySize = row.Limit;
        std::string message = "no error";
        try {
            client.Get(server.Url("/"));
        } catch (const ENetException& e) {
            message = e.what();
        }
        EXPECT_EQ(message, row.Error);
        EXPECT_FALSE(client.IsConnected());
    }
}

} // namespace
