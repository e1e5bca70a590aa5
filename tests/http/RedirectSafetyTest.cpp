// Redirects that must not be followed (down from https, to other schemes, a
// form to another site), the ones that still are, and cookies: Secure ones
// over https only, none for a public suffix.
#include "http/CookieManager.h"
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
    enum TTo { Plain, Secure, None };
    struct TCase {
        const char* Name;
        bool FromSecure;
        bool Post;
        TTo To;
        // The Location: a path on the target server, or a whole address
        // when To is None.
        std::string Location;
        bool SameServer;   // the Location is on the server that redirects
        std::string Error; // empty: followed, and the reply is "landed"
    } cases[] = {
        {"https to http, GET", true, false, Plain, "/landed", false, kDown},
        {"https to http, form", true, true, Plain, "/landed", false, kDown},
        {"to a file", false, true, None, "file:///etc/passwd", false, kNotHttp},
        {"to a file with one slash", false, false, None, "file:/etc/passwd", false, kNoAddress},
        {"to ftp with a port", false, false, None, "ftp://127.0.0.1:21/x", false, kNotHttp},
        {"to mailto", false, false, None, "mailto:seller@shop.example", false, kNoAddress},
        {"form to another port", false, true, Plain, "/landed", false,
         "The server redirected the form to another address (http://127.0.0.1:PORT); it was not "
         "sent again there. If that is the right place, use that address as the site address."},
        {"form from http to https", false, true, Secure, "/landed", false,
         "The server redirected the form to another address (https://127.0.0.1:PORT); it was "
         "not sent again there. If that is the right place, use that address as the site "
         "address."},
        {"form within its site", false, true, Plain, "/landed", true, ""},
        {"form within its https site, relative", true, true, Secure, "landed", true, ""},
        {"GET to another port", false, false, Plain, "/landed", false, ""},
        {"GET from http to https", false, false, Secure, "/landed", false, ""},
        {"GET within an https site, relative", true, false, Secure, "../landed", true, ""},
    };
    for (const TCase& row : cases) {
        SCOPED_TRACE(row.Name);
        const std::string landed = Reply("HTTP/1.1 200 OK", "landed");
        // The target server, when it is another one.
        std::optional<TScriptedServer> target;
        if (!row.SameServer && row.To != None)
            target.emplace(TScriptedServer::OnePerConnection({landed}),
                           row.To == Secure ? ca.ServerContext() : nullptr);
        std::string location = row.Location;
        if (target)
            location = target->Url(row.Location);
        std::vector<std::string> replies{Redirect(location)};
        if (row.SameServer)
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
        } catch (const std::exception& e) {
            result = std::string("other error: ") + e.what();
        }
        if (row.Error.empty()) {
            EXPECT_EQ(result, "landed");
            continue;
        }
        std::string expected = row.Error;
        if (const std::size_t port = expected.find("PORT"); port != std::string::npos)
            expected.replace(port, 4, std::to_string(target->Port()));
        EXPECT_EQ(result, expected + " The address was \"" + location + "\".");
        // Nothing went to the address refused, and the client let go.
        if (target) {
            EXPECT_EQ(target->ConnectionCount(), 0);
        }
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
