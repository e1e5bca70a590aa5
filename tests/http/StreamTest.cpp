#include "http/Stream.h"
#include "http/HTTPClient.h"
#include "tests/support/LoopbackServer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

using namespace quillory;
using namespace quillory::testsupport;

namespace {

std::string TempPath(const std::string& name) {
    return (std::filesystem::temp_directory_path() /
            ("quillory-http-" + std::to_string(::getpid()) + "-" + name))
        .string();
}

std::string FileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(StringStreamTest, WritesOverAndPastTheEndAndCuts) {
    TStringStream s("abcdef");
    EXPECT_EQ(s.Seek(2, soBeginning), 2);
    s.WriteString("XY");
    EXPECT_EQ(s.DataString(), "abXYef");
    EXPECT_EQ(s.Seek(0, soEnd), 6);
    s.WriteString("++");
    EXPECT_EQ(s.Size(), 8);
    s.SetSize(3);
    EXPECT_EQ(s.DataString(), "abX");
    EXPECT_EQ(s.Position(), 3);
    EXPECT_EQ(s.Seek(-10, soCurrent), 0);
    char buffer[8];
    EXPECT_EQ(s.Read(buffer, 8), 3);
    EXPECT_EQ(s.Read(buffer, 8), 0);
}

// Several megabytes written in uneven pieces, partly over bytes already
// there: every regrowth of the memory keeps each byte where it was written.
TEST(StringStreamTest, LargeStreamsKeepEveryByteAcrossRegrowths) {
    TStringStream s;
    std::string expected;
    std::string piece;
    for (std::size_t i = 0; expected.size() < 6 * 1024 * 1024; ++i) {
        piece.assign(1 + (i * 7919) % 40000, static_cast<char>('a' + i % 26));
        s.WriteString(piece);
        expected += piece;
    }
    EXPECT_EQ(s.Seek(-5, soEnd), static_cast<std::int64_t>(expected.size()) - 5);
    s.WriteString("0123456789");
    expected.replace(expected.size() - 5, 5, "0123456789");
    EXPECT_EQ(s.Size(), static_cast<std::int64_t>(expected.size()));
    EXPECT_TRUE(s.TakeDataString() == expected);
}

TEST(FileStreamTest, CreatesReadsAndReportsMissingFiles) {
    const std::string path = TempPath("stream.bin");
    {
        TFileStream out(path, TFileStream::fmCreate);
        out.WriteString(std::string("one\0two", 7));
        EXPECT_EQ(out.Size(), 7);
        out.SetSize(5);
        EXPECT_EQ(out.Position(), 5);
    }
    EXPECT_EQ(FileText(path), std::string("one\0t", 5));
    {
        TFileStream in(path, TFileStream::fmOpenRead);
        char buffer[16];
        EXPECT_EQ(in.Read(buffer, 16), 5);
    }
    std::remove(path.c_str());
    try {
        TFileStream missing(path, TFileStream::fmOpenRead);
        FAIL() << "opened";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find(path), std::string::npos);
    }
}

TEST(FileStreamTest, DownloadGoesIntoTheFileAndARedirectHopLeavesNothing) {
    TScriptedServer server(TScriptedServer::OnePerConnection(
        {"HTTP/1.1 302 Found\r\nLocation: /real.inf\r\nContent-Length: 9\r\n\r\nnot this!",
         "HTTP/1.1 200 OK\r\nContent-Length: 22\r\n\r\n[Update]\r\nVersion=1.02"}));
    const std::string path = TempPath("download.inf");
    THTTPClient client;
    client.HandleRedirects = true;
    {
        TFileStream file(path, TFileStream::fmCreate);
        client.GetToStream(server.Url("/mainappupdate.inf"), file);
    }
    client.CloseConnection();
    EXPECT_EQ(FileText(path), "[Update]\r\nVersion=1.02");
    std::remove(path.c_str());
}

} // namespace
