// Every transport or service fault reaches the caller as its kind with its
// details, against scripted loopback servers; no caller reads message text.
#include "coupons/CouponRecord.h"
#include "coupons/CouponService.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/TestTLS.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

using namespace quillory;
using quillory::testsupport::TCertificateOptions;
using quillory::testsupport::TLoopbackServer;
using quillory::testsupport::TrustedTestCA;
using quillory::testsupport::TServerConnection;
using quillory::testsupport::TTestCA;

namespace {

std::string Reply(const std::string& body, const std::string& status = "200 OK") {
    return "HTTP/1.0 " + status + "\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\n\r\n" + body;
}

// A server that reads each request and sends `bytes`, then closes.
TLoopbackServer::THandler Answering(std::string bytes) {
    return [bytes](TServerConnection& c) {
        c.ReadRequest();
        c.Send(bytes);
        c.Close();
    };
}

const std::string kRecord = "\"1\",\"A\",\"n\",\"0\",\"1\",\"1\",\"2030-1-1\",\"\",\"\"";

} // namespace

TEST(FailureKinds, EachFaultIsReportedWithItsKindAndDetails) {
    TrustedTestCA(); // the client trusts the test CA alone
    static TTestCA stranger("Stranger CA");
    TCertificateOptions expired;
    expired.ValidFrom = -2 * 86400;
    expired.ValidTo = -86400;
    const struct {
        const char* Name;
        TLoopbackServer::THandler Server; // null: nothing listens
        std::shared_ptr<ssl_ctx_st> TLS;
        bool Secure; // the client speaks https
        bool AsList; // the request is the list (action 5), else action 1
        TFailureKind Kind;
        int Status, SocketError;
        std::string ServerText;
    } cases[] = {
        {"refused", nullptr, nullptr, false, false, TFailureKind::Refused, 0, 10061, ""},
        {"silent server", [](TServerConnection& c) { c.WaitForClose(3000); }, nullptr, false, false,
         TFailureKind::TimedOut, 0, 0, ""},
        {"error status", Answering(Reply(" database down \r\n", "500 Internal Server Error")),
         nullptr, false, false, TFailureKind::HTTPStatus, 500, 0, "database down"},
        {"403 without words", Answering(Reply("", "403 Forbidden")), nullptr, false, false,
         TFailureKind::HTTPStatus, 403, 0, ""},
        {"credentials refused", Answering(Reply("no", "401 Unauthorized")), nullptr, false, false,
         TFailureKind::ServiceRefusal, 401, 0, "no"},
        {"setup refused", Answering(Reply("Set $adminuser.", "403 Forbidden")), nullptr, false,
         false, TFailureKind::ServiceRefusal, 403, 0, "Set $adminuser."},
        {"body cut short", Answering("HTTP/1.0 200 OK\r\nContent-Length: 50\r\n\r\nOK"), nullptr,
         false, false, TFailureKind::CutShort, 0, 0, ""},
        {"list cut short", Answering(Reply(kRecord + "^" + kRecord)), nullptr, false, true,
         TFailureKind::CutShort, 0, 0, ""},
        {"no list", Answering(Reply("<html>Not found</html>")), nullptr, false, true,
         TFailureKind::NotAList, 0, 0, ""},
        {"unreadable record", Answering(Reply("\"1\",\"A\"^OK")), nullptr, false, true,
         TFailureKind::BadRecord, 0, 0, ""},
        {"untrusted certificate", Answering(Reply("OK")), stranger.ServerContext(), true, false,
         TFailureKind::TLSCertificate, 0, 0, ""},
        {"expired certificate", Answering(Reply("OK")), TrustedTestCA().ServerContext(expired),
         true, false, TFailureKind::TLSCertificate, 0, 0, ""},
        {"not TLS at all",
         [](TServerConnection& c) {
             c.Send("HTTP/1.0 400 Bad Request\r\n\r\nplain http here");
             c.Close();
         },
         nullptr, true, false, TFailureKind::TLSHandshake, 0, 0, ""},
        {"redirect to another scheme",
         Answering(
             "HTTP/1.0 302 Found\r\nLocation: ftp://127.0.0.1/x\r\nContent-Length: 0\r\n\r\n"),
         nullptr, false, false, TFailureKind::Other, 0, 0, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        std::unique_ptr<TLoopbackServer> server;
        std::string site = "http://127.0.0.1:" + std::to_string(TLoopbackServer::UnusedPort());
        if (c.Server) {
            server = std::make_unique<TLoopbackServer>(c.Server, c.TLS);
            site = (c.Secure ? "https://127.0.0.1:" : "http://127.0.0.1:") +
                   std::to_string(server->Port());
        }
        THTTPClient http;
        http.HandleRedirects = true;
        TCouponService service(http, [&] { return site; });
        service.ReadTimeout = 300;
        const bool ok =
            c.AsList ? service.RefreshCoupons([](const std::string& r) { DecodeCouponList(r); })
                     : service.CheckService();
        EXPECT_FALSE(ok);
        const TServiceFailure& f = service.LastFailure();
        EXPECT_EQ(static_cast<int>(f.Kind), static_cast<int>(c.Kind));
        EXPECT_EQ(f.StatusCode, c.Status);
        EXPECT_EQ(f.SocketError, c.SocketError);
        EXPECT_EQ(f.ServerText, c.ServerText);
        EXPECT_FALSE(f.Detail.empty());
        EXPECT_FALSE(service.FailureReason().empty());
        // The next success clears it all.
        if (c.Kind == TFailureKind::Refused) {
            TLoopbackServer ok(Answering(Reply("OK")));
            site = "http://127.0.0.1:" + std::to_string(ok.Port());
            EXPECT_TRUE(service.CheckService());
            EXPECT_EQ(static_cast<int>(service.LastFailure().Kind),
                      static_cast<int>(TFailureKind::None));
            EXPECT_EQ(service.LastFailure().SocketError, 0);
            EXPECT_EQ(service.FailureReason(), "");
        }
    }
}

// The reason line of a failure is built from its kind and numbers.
TEST(FailureKinds, TheReasonLineComesFromTheFailureNotFromItsMessage) {
    THTTPClient http;
    std::string site = "http://127.0.0.1:" + std::to_string(TLoopbackServer::UnusedPort());
    TCouponService service(http, [&] { return site; });
    EXPECT_FALSE(service.CheckService());
    EXPECT_EQ(service.FailureReason(), "Socket Error # 10061: Connection refused.");
    EXPECT_EQ(service.LastRefusal(), "");

    TLoopbackServer refusing(Answering(Reply("denied", "401 Unauthorized")));
    site = "http://127.0.0.1:" + std::to_string(refusing.Port());
    EXPECT_FALSE(service.DeleteCoupons("all"));
    EXPECT_EQ(service.FailureReason(), kRefusedCredentials);
    EXPECT_EQ(service.LastRefusal(), kRefusedCredentials);

    TLoopbackServer other(Answering(Reply("maybe")));
    site = "http://127.0.0.1:" + std::to_string(other.Port());
    EXPECT_FALSE(service.CheckService());
    EXPECT_EQ(static_cast<int>(service.LastFailure().Kind), static_cast<int>(TFailureKind::None));
    EXPECT_EQ(service.FailureReason(), "The server answered: maybe");
}
