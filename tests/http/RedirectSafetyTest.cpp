// Redirects that must not be followed (down from https, to other schemes, a
// form to another site), the ones that still are, and Secure cookies.
#include "http/HTTPClient.h"
#include "tests/http/ListForm.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/TestTLS.h"

#include <gtest/gtest.h>

#include <csignal>
#include <optional>

using namespace quillory;
using namespace quillory::testsupport;

namespace {

std::string Redirect(const std::string& location) {
    return "HTTP/1.1 302 Found\r\nLocation: " + location + "\r\nContent-Length: 0\r\n\r\n";
}

TEST(RedirectSafetyTest, FollowsOnlyWhatKeepsTheRequestSafe) {
    std::signal(SIGPIPE, SIG_IGN);
    TTestCA& ca = TrustedTestCA();
    const std::string kDown = "The server redirected the secure (https) request to a plain http "
                              "address; it was not followed, so nothing went out unencrypted.";
    const std::string kNotHttp = "The server redirected the request to an address that is not "
                                 "http or https; it was not followed.";
    const std::string kNoAddress = "The server redirected the request to an address that is not "
                                   "an http or https address it can follow; it was not followed.";
    const std::string kOtherSite = "The server redirected the form to another address (SITE); it "
                                   "was not sent again there. If that is the right place, use that "
                                   "address as the site address.";
    enum TTo { Plain, Secure, None };
    struct TCase {
        const char* Name;
        bool FromSecure, Post;
        TTo To;
        std::string Location; // relative: on the server that redirects
        std::string Error;    // empty: followed, and the reply is "landed"
    } cases[] = {{"https to http, GET", true, false, Plain, "/landed", kDown},
                 {"to a file", false, true, None, "file:///etc/passwd", kNotHttp},
                 {"to a file with one slash", false, false, None, "file:/etc/passwd", kNoAddress},
                 {"form to another port", false, true, Plain, "/landed", kOtherSite},
                 {"form from http to https", false, true, Secure, "/landed", kOtherSite},
                 {"form within its https site, relative", true, true, Secure, "landed", ""},
                 {"GET to another port", false, false, Plain, "/landed", ""},
                 {"GET from http to https", false, false, Secure, "/landed", ""},
                 {"GET within an https site, relative", true, false, Secure, "../landed", ""}};
    for (const TCase& row : cases) {
        SCOPED_TRACE(row.Name);
        const std::string landed = Reply("HTTP/1.1 200 OK", "landed");
        std::optional<TScriptedServer> target;
        const bool sameServer = row.To != None && row.Location[0] != '/';
        if (!sameServer && row.To != None)
            target.emplace(TScriptedServer::OnePerConnection({landed}),
                           row.To == Secure ? ca.ServerContext() : nullptr);
        const std::string location = target ? target->Url(row.Location) : row.Location;
        std::vector<std::string> replies{Redirect(location)};
        if (sameServer)
            replies.push_back(landed);
        TScriptedServer from(TScriptedServer::OnePerConnection(replies),
                             row.FromSecure ? ca.ServerContext() : nullptr);
        THTTPClient client;
        client.HandleRedirects = true;
        client.ReadTimeout(5000);
        std::string result;
        try {
            TListForm form;
            result = row.Post ? client.PostForm(from.Url("/shop/start.php"), form)
                              : client.Get(from.Url("/shop/start.php"));
        } catch (const ERedirectRefused& e) {
            result = e.what();
        }
        if (row.Error.empty()) {
            EXPECT_EQ(result, "landed");
            continue;
        }
        std::string expected = row.Error;
        if (const std::size_t site = expected.find("SITE"); site != std::string::npos)
            expected.replace(site, 4, location.substr(0, location.size() - 7)); // no "/landed"
        EXPECT_EQ(result, expected + " The address was \"" + location + "\".");
        // Nothing went to the address refused, and the client let go.
        EXPECT_EQ(target ? target->ConnectionCount() : 0, 0);
        EXPECT_EQ(from.ConnectionCount(), 1);
        EXPECT_FALSE(client.IsConnected());
    }
}

TEST(RedirectSafetyTest, TheConnectErrorNamesTheHostAndPortTried) {
    const int unused = TLoopbackServer::UnusedPort();
    TScriptedServer from(TScriptedServer::OnePerConnection(
        {Redirect("http://localhost:" + std::to_string(unused) + "/moved")}));
    THTTPClient client;
    client.HandleRedirects = true;
    client.ReadTimeout(5000);
    EXPECT_THROW(client.Get(from.Url("/")), EConnectException);
    EXPECT_EQ(client.URL().Host, "localhost");
    EXPECT_EQ(client.URL().Port, std::to_string(unused));
}

TEST(SecureCookieTest, SecureCookiesGoOverHttpsOnlyAndDoGoThere) {
    std::signal(SIGPIPE, SIG_IGN);
    // Both servers are 127.0.0.1: cookies do not tell ports apart.
    TScriptedServer secure({{{Reply("HTTP/1.1 200 OK\r\nSet-Cookie: sid=s3cret; Secure; path=/\r\n"
                                    "Set-Cookie: lang=en; path=/",
                                    "set"),
                              Reply("HTTP/1.1 200 OK", "again")},
                             true}},
                           TrustedTestCA().ServerContext());
    TScriptedServer plain(TScriptedServer::OnePerConnection({Reply("HTTP/1.1 200 OK", "plain")}));
    THTTPClient client;
    client.ReadTimeout(5000);
    EXPECT_EQ(client.Get(secure.Url("/a")), "set");
    EXPECT_EQ(client.Get(secure.Url("/b")), "again");
    EXPECT_EQ(client.Get(plain.Url("/c")), "plain");
    client.CloseConnection();
    ASSERT_TRUE(secure.WaitForHandlers(1));
    ASSERT_TRUE(plain.WaitForHandlers(1));
    const std::string overTLS = secure.Received(0);
    const std::string second = overTLS.substr(overTLS.find("GET /b"));
    EXPECT_NE(second.find("Cookie: lang=en; sid=s3cret\r\n"), std::string::npos) << second;
    EXPECT_NE(plain.Received(0).find("Cookie: lang=en\r\n"), std::string::npos);
    EXPECT_EQ(plain.Received(0).find("s3cret"), std::string::npos);
}

} // namespace
