#include "http/TCPConnection.h"
#include "http/AntiFreeze.h"
#include "http/NetExceptions.h"
#include "http/SocketStack.h"
#include "tests/support/LoopbackServer.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace quillory;
using namespace quillory::testsupport;

namespace {

// Installs a pump hook that counts its calls, for the life of the object.
class TCountingPump {
public:
    TCountingPump() {
        TAntiFreeze::SetHook([this](bool) { ++Calls; });
    }
    ~TCountingPump() { TAntiFreeze::SetHook(nullptr); }
    TAntiFreeze Pump;
    int Calls = 0;
};

// A server that sends `bytes` on connect and then waits for the client to go.
TLoopbackServer Sender(const std::string& bytes, bool closeAfter) {
    return TLoopbackServer([bytes, closeAfter](TServerConnection& c) {
        c.Send(bytes);
        if (!closeAfter)
            c.WaitForClose(5000);
    });
}

void ConnectTo(TTCPClient& client, int port) {
    client.Host = "127.0.0.1";
    client.Port = port;
    client.Connect(2000);
}

TEST(SocketErrorTest, MessagesCarryTheNumberAndItsText) {
    EXPECT_EQ(TSocketStack::SocketErrorMessage(10061),
              "Socket Error # 10061\r\nConnection refused.");
    EXPECT_EQ(TSocketStack::SocketErrorMessage(11001), "Socket Error # 11001\r\nHost not found.");
    EXPECT_EQ(TSocketStack::SocketErrorMessage(10035),
              "Socket Error # 10035\r\nOperation would block. ");
    EXPECT_EQ(TSocketStack::SocketErrorMessage(12345), "Socket Error # 12345\r\n");
    EXPECT_EQ(TSocketStack::MapErrno(ECONNREFUSED), 10061);
    EXPECT_EQ(TSocketStack::MapErrno(ECONNRESET), 10054);
    EXPECT_EQ(TSocketStack::MapErrno(ETIMEDOUT), 10060);
    EXPECT_EQ(TSocketStack::MapErrno(EPIPE), 10058);
    ESocketError e(10054);
    EXPECT_EQ(e.LastError, 10054);
    EXPECT_STREQ(e.what(), "Socket Error # 10054\r\nConnection reset by peer.");
}

TEST(SocketStackTest, LooksUpNamesAndKnowsAddresses) {
    TTCPClient holder; // keeps the socket layer alive
    TSocketStack& stack = *TSocketStack::Instance();
    EXPECT_EQ(stack.LookupHost("LocalHost"), "127.0.0.1");
    EXPECT_EQ(stack.LookupHost(""), "127.0.0.1");
    EXPECT_EQ(stack.LookupHost("10.1.2.3"), "10.1.2.3");
    EXPECT_TRUE(TSocketStack::IsIP("255.0.0.1"));
    EXPECT_FALSE(TSocketStack::IsIP("256.0.0.1"));
    EXPECT_FALSE(TSocketStack::IsIP("1.2.3"));
    EXPECT_FALSE(TSocketStack::IsIP("1.2.3.4.5"));
    EXPECT_FALSE(TSocketStack::IsIP("a.b.c.d"));
    try {
        stack.LookupHost("no-such-host.invalid");
        FAIL() << "lookup succeeded";
    } catch (const ESocketError& e) {
        EXPECT_EQ(e.LastError, 11001);
        EXPECT_STREQ(e.what(), "Socket Error # 11001\r\nHost not found.");
    }
}

TEST(SocketStackTest, ExistsWhileNetworkObjectsDo) {
    int before = TSocketStack::InstanceCount();
    {
        TTCPClient a;
        TTCPClient b;
        EXPECT_EQ(TSocketStack::InstanceCount(), before + 2);
        EXPECT_NE(TSocketStack::Instance(), nullptr);
    }
    EXPECT_EQ(TSocketStack::InstanceCount(), before);
    if (before == 0) {
        EXPECT_EQ(TSocketStack::Instance(), nullptr);
    }
}

TEST(ConnectTest, RefusedConnectionReportsNumberAndText) {
    const int port = TLoopbackServer::UnusedPort();
    TTCPClient client;
    client.Host = "127.0.0.1";
    client.Port = port;
    // Without a limit and without a pump: one blocking connect.
    try {
        client.Connect(0);
        FAIL() << "connected";
    } catch (const ESocketError& e) {
        EXPECT_EQ(e.LastError, 10061);
        EXPECT_STREQ(e.what(), "Socket Error # 10061\r\nConnection refused.");
    }
    // With a limit: on the worker thread.
    try {
        client.Connect(3000);
        FAIL() << "connected";
    } catch (const EConnectException& e) {
        EXPECT_EQ(e.LastError, 10061);
        EXPECT_STREQ(e.what(), "Socket Error # 10061\r\nConnection refused.");
    }
    EXPECT_FALSE(client.IsConnected());
}

TEST(ConnectTest, UnknownHostFailsBeforeConnectingWithoutPumping) {
    TCountingPump pump;
    TTCPClient client;
    client.Host = "no-such-host.invalid";
    client.Port = 80;
    try {
        client.Connect(3000);
        FAIL() << "connected";
    } catch (const ESocketError& e) {
        EXPECT_EQ(e.LastError, 11001);
        EXPECT_STREQ(e.what(), "Socket Error # 11001\r\nHost not found.");
    }
    EXPECT_EQ(pump.Calls, 0);
}

// How soon the wait ends after the connect completes is a figure of
// bench/http_roundtrip ("fresh+pump").
TEST(ConnectTest, ConnectedWhilePumpingThenClosedOnceAndAgain) {
    TLoopbackServer server([](TServerConnection& c) { c.WaitForClose(5000); });
    TCountingPump pump;
    TTCPClient client;
    client.Host = "127.0.0.1";
    client.Port = server.Port();
    client.Connect(60000);
    EXPECT_TRUE(client.IsConnected());
    EXPECT_EQ(client.Binding()->PeerPort, server.Port());
    EXPECT_THROW(client.Connect(1000), EAlreadyConnected);
    client.CloseConnection();
    client.CloseConnection(); // twice is harmless
    EXPECT_FALSE(client.IsConnected());
    EXPECT_EQ(client.Binding(), nullptr);
}

// A listening socket whose accept queue is full: further connection
// attempts stay pending (the system drops their handshake) until the queue
// drains.
class TFullBacklog {
public:
    TFullBacklog() {
        FListen = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(FListen, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        ::listen(FListen, 0);
        socklen_t len = sizeof addr;
        ::getsockname(FListen, reinterpret_cast<sockaddr*>(&addr), &len);
        Port = ntohs(addr.sin_port);
        for (int i = 0; i < 4; ++i) {
            int s = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
            ::connect(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
            FFillers.push_back(s);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ~TFullBacklog() {
        Drain();
        for (int s : FFillers)
            ::close(s);
        ::close(FListen);
    }
    // Accepts (and closes) whatever is queued.
    void Drain() {
        int flags = ::fcntl(FListen, F_GETFL);
        ::fcntl(FListen, F_SETFL, flags | O_NONBLOCK);
        int s;
        while ((s = ::accept(FListen, nullptr, nullptr)) >= 0)
            ::close(s);
    }
    int Port = 0;

private:
    int FListen = -1;
    std::vector<int> FFillers;
};

TEST(ConnectTest, PendingConnectTimesOutWhilePumping) {
    TFullBacklog backlog;
    TCountingPump pump;
    pump.Pump.IdleTimeOut = 50;
    TTCPClient client;
    client.Host = "127.0.0.1";
    client.Port = backlog.Port;
    try {
        client.Connect(300);
        FAIL() << "connected";
    } catch (const EConnectTimeout& e) {
        EXPECT_STREQ(e.what(), "Connect timed out.");
    }
    // The whole limit in slices of 50 ms, each but the last followed by a
    // pump: neither given up early nor waited on past the limit.
    EXPECT_GE(pump.Calls, 5);
    EXPECT_LE(pump.Calls, 6);
    EXPECT_FALSE(client.IsConnected());
}

TEST(ConnectTest, PendingConnectCompletesOnTheWorkerWhenTheServerCatchesUp) {
    TFullBacklog backlog;
    TCountingPump pump;
    TTCPClient client;
    client.Host = "127.0.0.1";
    client.Port = backlog.Port;
    std::atomic<bool> done{false};
    std::thread drainer([&backlog, &done] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        while (!done) {
            backlog.Drain();
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    });
    std::string error;
    try {
        client.Connect(60000);
    } catch (const std::exception& e) {
        error = e.what();
    }
    done = true;
    drainer.join();
    EXPECT_EQ(error, "");
    EXPECT_TRUE(client.IsConnected());
    // The handshake is retried by the system after about a second; the wait
    // ends with it, long before the limit's 480 slices of 125 ms have passed.
    EXPECT_GT(pump.Calls, 0);
    EXPECT_LT(pump.Calls, 479);
}

TEST(ConnectTest, CloseWithoutEverConnectingIsHarmless) {
    TTCPClient client;
    EXPECT_NO_THROW(client.CloseConnection());
    EXPECT_FALSE(client.IsConnected());
    EXPECT_THROW(client.ReadLine(), ENotConnected);
    EXPECT_THROW(client.SendBytes("x"), ENotConnected);
}

TEST(ReadLineTest, SplitsAtLineFeedsAndDropsTheCarriageReturnBeforeIt) {
    auto server = Sender("one\r\ntwo\nthr\ree\r\n\r\n", true);
    TTCPClient client;
    ConnectTo(client, server.Port());
    EXPECT_EQ(client.ReadLine(), "one");
    EXPECT_EQ(client.ReadLine(), "two");
    EXPECT_EQ(client.ReadLine(), "thr\ree");
    EXPECT_EQ(client.ReadLine(), "");
    EXPECT_FALSE(client.ReadLnTimedOut());
    EXPECT_THROW(client.ReadLine(), EConnClosedGracefully);
}

TEST(ReadLineTest, LastLineWithoutLineFeedThenClose) {
    auto server = Sender("done\npartial", true);
    TTCPClient client;
    ConnectTo(client, server.Port());
    EXPECT_EQ(client.ReadLine(), "done");
    EXPECT_EQ(client.ReadLine(), "");
    EXPECT_TRUE(client.ReadLnTimedOut());
    try {
        client.ReadLine();
        FAIL() << "no exception";
    } catch (const EConnClosedGracefully& e) {
        EXPECT_STREQ(e.what(), "Connection Closed Gracefully.");
    }
}

TEST(ReadLineTest, LineLengthLimitCountsTheCarriageReturn) {
    std::string ok(16383, 'a');
    std::string tooLong(16384, 'b');
    auto server = Sender(ok + "\r\n" + tooLong + "\r\n", false);
    TTCPClient client;
    ConnectTo(client, server.Port());
    EXPECT_EQ(client.ReadLine(), ok);
    try {
        client.ReadLine();
        FAIL() << "no exception";
    } catch (const EReadLnMaxLineLengthExceeded& e) {
        EXPECT_STREQ(e.what(), "Max line length exceeded.");
    }
    // Splitting instead returns the first MaxLineLength bytes.
    client.MaxLineAction = maSplit;
    EXPECT_EQ(client.ReadLine(), std::string(16384, 'b'));
    EXPECT_TRUE(client.ReadLnSplit());
    EXPECT_EQ(client.ReadLine(), "");
}

TEST(ReadLineTest, UnterminatedFloodIsRefusedWithoutWaitingForTheEnd) {
    auto server = Sender(std::string(40000, 'x'), false);
    TTCPClient client;
    ConnectTo(client, server.Port());
    client.SetReadTimeout(2000);
    EXPECT_THROW(client.ReadLine(), EReadLnMaxLineLengthExceeded);
}

TEST(ReadTimeoutTest, SilentServerEndsTheWaitAndThePumpRuns) {
    TLoopbackServer server([](TServerConnection& c) { c.WaitForClose(5000); });
    TCountingPump pump;
    pump.Pump.IdleTimeOut = 50;
    TTCPClient client;
    ConnectTo(client, server.Port());
    client.ReadTimeout(300);
    int before = pump.Calls;
    try {
        client.ReadLine();
        FAIL() << "no exception";
    } catch (const EReadTimeout& e) {
        EXPECT_STREQ(e.what(), "Read Timeout");
    }
    // 300 ms in 50 ms slices: six slices, each followed by a pump.
    EXPECT_GE(pump.Calls - before, 5);
    EXPECT_LE(pump.Calls - before, 7);
    // The timed-out connection stays usable.
    EXPECT_TRUE(client.IsConnected());
}

TEST(ReadTimeoutTest, PumpThatClosesTheConnectionEndsTheWait) {
    TLoopbackServer server([](TServerConnection& c) { c.WaitForClose(5000); });
    TAntiFreeze pump;
    pump.IdleTimeOut = 20;
    TTCPClient client;
    ConnectTo(client, server.Port());
    TAntiFreeze::SetHook([&client](bool) { client.CloseConnection(); });
    client.ReadTimeout(0); // no limit: only the close can end it
    EXPECT_THROW(client.ReadLine(), ENetException);
    TAntiFreeze::SetHook(nullptr);
}

TEST(ReadToStreamTest, ReadsCountsAndUntilClose) {
    auto server = Sender("0123456789tail-of-stream", true);
    TTCPClient client;
    ConnectTo(client, server.Port());
    TStringStream first;
    client.ReadToStream(first, 10);
    EXPECT_EQ(first.DataString(), "0123456789");
    TStringStream rest;
    client.ReadToStream(rest, -1, true);
    EXPECT_EQ(rest.DataString(), "tail-of-stream");
}

TEST(ReadToStreamTest, CloseBeforeTheCountKeepsWhatArrived) {
    TLoopbackServer server([](TServerConnection& c) {
        c.Send(std::string(30, 'a'));
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        c.Send(std::string(30, 'b'));
    });
    TTCPClient client;
    ConnectTo(client, server.Port());
    client.ReadTimeout(3000);
    TStringStream target;
    EXPECT_THROW(client.ReadToStream(target, 100), EConnClosedGracefully);
    // All 60 bytes that came are kept, and the stream is cut to them.
    EXPECT_EQ(target.DataString(), std::string(30, 'a') + std::string(30, 'b'));
    EXPECT_EQ(target.Size(), 60);
}

TEST(SendTest, WriteBufferSendsTheHeadAsOneBlock) {
    std::string got;
    TLoopbackServer server([&got](TServerConnection& c) { got = c.ReadUntilClose(3000); });
    TTCPClient client;
    ConnectTo(client, server.Port());
    client.OpenWriteBuffer();
    client.WriteLine("GET / HTTP/1.1");
    client.WriteLine("");
    client.CloseWriteBuffer();
    TStringStream body(std::string(100000, 'z'));
    client.SendBufferSize = 4096;
    client.SendStream(body);
    client.CloseConnection();
    ASSERT_TRUE(server.WaitForHandlers(1));
    EXPECT_EQ(got, "GET / HTTP/1.1\r\n\r\n" + std::string(100000, 'z'));
}

TEST(SendTest, StreamThatRunsDryIsReported) {
    // Claims a size it cannot deliver.
    class TLyingStream : public TStringStream {
    public:
        TLyingStream() : TStringStream("abc") {}
        std::int64_t Size() override { return 10; }
    } lying;
    TLoopbackServer server([](TServerConnection& c) { c.ReadUntilClose(2000); });
    TTCPClient client;
    ConnectTo(client, server.Port());
    EXPECT_THROW(client.SendStream(lying), ENoDataToRead);
}

TEST(SendTest, SendingToAClosedPeerFailsWithASocketError) {
    TLoopbackServer server([](TServerConnection& c) { c.Close(); });
    TTCPClient client;
    ConnectTo(client, server.Port());
    ASSERT_TRUE(server.WaitForHandlers(1));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    std::string block(65536, 'q');
    EXPECT_THROW(
        {
            for (int i = 0; i < 100; ++i)
                client.SendBytes(block.data(), block.size(), true);
        },
        ENetException);
}

} // namespace
