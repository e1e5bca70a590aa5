#include "http/CookieManager.h"
#include "http/InternetDate.h"
#include "http/NetExceptions.h"
#include "platform/DateTime.h"

#include <gtest/gtest.h>

using namespace quillory;

namespace {

TEST(CookieParseTest, ReadsNameValueAndAttributes) {
    TCookieRFC2109 c;
    c.ParseCookie("sid=abc=def; Path=\"/shop/\"; domain=.example.com; secure; max-age=x; "
                  "Version=1; Comment=hi;",
                  "www.example.com");
    EXPECT_EQ(c.CookieName, "sid");
    EXPECT_EQ(c.Value, "abc=def");
    EXPECT_EQ(c.Path, "/shop/");
    EXPECT_EQ(c.Domain, ".example.com");
    EXPECT_TRUE(c.Secure);
    EXPECT_EQ(c.MaxAge, -1);
    EXPECT_EQ(c.Version, "1");
    EXPECT_EQ(c.Comment, "hi");
    EXPECT_EQ(c.Expires, "");

    TCookieRFC2109 plain;
    plain.ParseCookie("flag", "host");
    EXPECT_EQ(plain.CookieName, "flag");
    EXPECT_EQ(plain.Value, "");
    EXPECT_EQ(plain.Domain, "host"); // absent domain: the server host
}

TEST(CookieParseTest, MaxAgeBecomesAnExpiryAndPortListsMustBeNumbers) {
    TCookieRFC2109 c;
    c.ParseCookie("a=1; Max-Age=3600", "h");
    EXPECT_EQ(c.MaxAge, 3600);
    TDateTime when = GMTToLocalDateTime(c.Expires);
    EXPECT_NEAR(when, Now() + 1.0 / 24, 2.0 / 86400);

    TCookieRFC2965 v2;
    v2.ParseCookie("a=1; Port=\"80,8080\"; Discard; CommentURL=http://x/", "h");
    EXPECT_EQ(v2.PortList, (std::vector<int>{80, 8080}));
    EXPECT_TRUE(v2.Discard);
    EXPECT_EQ(v2.CommentURL, "http://x/");
    TCookieRFC2965 noPort;
    noPort.ParseCookie("a=1", "h");
    EXPECT_EQ(noPort.PortList, (std::vector<int>{80}));
    TCookieRFC2965 bad;
    EXPECT_THROW(bad.ParseCookie("a=1; Port=\"80,x\"", "h"), EConvertError);
}

TEST(CookieManagerTest, AcceptsOnlyDomainsTheServerMayName) {
    TCookieManager m;
    EXPECT_TRUE(m.AddCookie("a=1", "www.example.com"));
    EXPECT_TRUE(m.AddCookie("b=1; domain=.example.com", "www.example.com"));
    // A parent domain without the leading dot is dropped.
    EXPECT_FALSE(m.AddCookie("c=1; domain=example.com", "www.example.com"));
    EXPECT_FALSE(m.AddCookie("d=1; domain=.other.com", "www.example.com"));
    EXPECT_FALSE(m.AddCookie("e=1; domain=.com", "a.b.example.com"));
    // A dotted address must be named exactly.
    EXPECT_TRUE(m.AddCookie("f=1", "127.0.0.1"));
    EXPECT_FALSE(m.AddCookie("g=1; domain=.0.0.1", "127.0.0.1"));
    EXPECT_EQ(m.Count(), 3u);
}

TEST(CookieManagerTest, SendsCookiesOnlyToTheirDomainAndBelow) {
    TCookieManager m;
    m.AddCookie("a=1", "shop.example.com");
    m.AddCookie("b=2; domain=.example.com", "www.example.com");
    EXPECT_EQ(m.GenerateCookieList("shop.example.com", "/"), "a=1; b=2");
    EXPECT_EQ(m.GenerateCookieList("SHOP.example.com", "/"), "a=1; b=2");
    EXPECT_EQ(m.GenerateCookieList("www.example.com", "/"), "b=2");
    EXPECT_EQ(m.GenerateCookieList("a.b.example.com", "/"), "b=2");
    EXPECT_EQ(m.GenerateCookieList("example.com", "/"), "b=2");
    // A host that merely contains the domain's text gets nothing.
    EXPECT_EQ(m.GenerateCookieList("evilexample.com", "/"), "");
    EXPECT_EQ(m.GenerateCookieList("shop.example.com.attacker.net", "/"), "");
    EXPECT_EQ(m.GenerateCookieList("myshop.example.com", "/"), "b=2");
    EXPECT_TRUE(TCookieManager::DomainMatches("x.example.com", ".example.com"));
    EXPECT_FALSE(TCookieManager::DomainMatches("xexample.com", "example.com"));
    EXPECT_FALSE(TCookieManager::DomainMatches("anything", "."));
}

TEST(CookieManagerTest, SameNameReplacesInPlaceAndDeeperPathsComeFirst) {
    TCookieManager m;
    m.AddCookie("first=1; path=/", "h.example");
    m.AddCookie("second=2; path=/", "h.example");
    m.AddCookie("FIRST=3; path=/", "h.example");
    // Visited newest first, replaced cookie keeps its (oldest) position.
    EXPECT_EQ(m.GenerateCookieList("h.example", "/"), "second=2; FIRST=3");
    m.AddCookie("deep=4; path=/a/b/", "h.example");
    m.AddCookie("mid=5; path=/a/", "h.example");
    EXPECT_EQ(m.GenerateCookieList("h.example", "/a/b/"), "deep=4; mid=5; second=2; FIRST=3");
    EXPECT_EQ(m.GenerateCookieList("h.example", "/a/"), "mid=5; second=2; FIRST=3");
    EXPECT_EQ(m.Count(), 4u);
}

TEST(CookieManagerTest, ExpiredEmptyAndSecureCookiesAreNotSent) {
    TCookieManager m;
    m.AddCookie("old=1; expires=Thu, 01-Jan-1998 00:00:00 GMT", "h");
    m.AddCookie("junk=1; expires=not a date", "h");
    m.AddCookie("gone=1; max-age=0", "h");
    m.AddCookie("empty=", "h");
    m.AddCookie("safe=1; secure", "h");
    m.AddCookie("keep=1; expires=Fri, 31 Dec 2099 23:59:59 GMT", "h");
    m.AddCookie("live=1; max-age=600", "h");
    EXPECT_EQ(m.GenerateCookieList("h", "/"), "live=1; keep=1");
    EXPECT_EQ(m.GenerateCookieList("h", "/", true), "live=1; keep=1; safe=1");
    // The expired ones are gone from the store; the empty one stays.
    EXPECT_EQ(m.Count(), 4u);
}

TEST(InternetDateTest, ReadsTheCommonDateForms) {
    TDateTime a = GMTToLocalDateTime("Sun, 06 Nov 1994 08:49:37 GMT");
    EXPECT_NE(a, 0);
    EXPECT_EQ(GMTToLocalDateTime("Sunday, 06-Nov-94 08:49:37 GMT"), a);
    EXPECT_EQ(GMTToLocalDateTime("Sun Nov  6 08:49:37 1994"), a);
    EXPECT_EQ(GMTToLocalDateTime("Sun, 06 Nov 1994 09:49:37 +0100"), a);
    EXPECT_EQ(LocalDateTimeToGMT(a), "Sun, 06 Nov 1994 08:49:37 GMT");
    EXPECT_EQ(GMTToLocalDateTime(""), 0);
    EXPECT_EQ(GMTToLocalDateTime("31 Feb 2001 00:00:00 GMT"), 0);
    EXPECT_EQ(GMTToLocalDateTime("yesterday"), 0);
    EXPECT_EQ(GMTToLocalDateTime("Sun, 06 Nov 1994 08:49:37:00 GMT"), 0);
    EXPECT_EQ(GMTToLocalDateTime("Sun, 06 Nov 1994 99999999999:1 GMT"), 0);
    EXPECT_EQ(GMTToLocalDateTime("Sun, 06 Nov 1994 08:49 GMT"),
              GMTToLocalDateTime("Sun, 06 Nov 1994 08:49:00 GMT"));
}

} // namespace

namespace {

// Cookies for a whole public suffix would reach every shop under it.
TEST(PublicSuffixCookieTest, RefusedForASuffixAndKeptForASite) {
    struct TCase {
        std::string Value, Server;
        bool Stored;
        std::vector<std::string> SentTo, NotSentTo;
    } cases[] = {
        {"a=1; Domain=.com", "www.shop.com", false, {}, {}},
        {"a=1; Domain=com", "www.shop.com", false, {}, {}},
        {"a=1; Domain=.co.uk", "shop.co.uk", false, {}, {}},
        {"a=1; Domain=.CO.UK", "www.shop.co.uk", false, {}, {}},
        {"a=1; Domain=.github.io", "seller.github.io", false, {}, {}},
        {"a=1; Domain=.shop.co.uk",
         "www.shop.co.uk",
         true,
         {"www.shop.co.uk", "pay.shop.co.uk", "shop.co.uk"},
         {"other.co.uk", "co.uk"}},
        {"a=1; Domain=.example.com", "www.example.com", true, {"x.example.com"}, {"com"}},
        {"a=1", "www.shop.com", true, {"www.shop.com"}, {"shop.com", "other.com"}},
        // A server named like a suffix keeps its cookie to itself.
        {"a=1", "github.io", true, {"github.io"}, {"seller.github.io"}},
        {"a=1; Domain=github.io", "github.io", true, {"github.io"}, {"seller.github.io"}},
        {"a=1", "127.0.0.1", true, {"127.0.0.1"}, {}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Value + " from " + c.Server);
        TCookieManager m;
        EXPECT_EQ(m.AddCookie(c.Value, c.Server), c.Stored);
        EXPECT_EQ(m.Count(), c.Stored ? 1u : 0u);
        for (const std::string& host : c.SentTo)
            EXPECT_EQ(m.GenerateCookieList(host, "/"), "a=1") << host;
        for (const std::string& host : c.NotSentTo)
            EXPECT_EQ(m.GenerateCookieList(host, "/"), "") << host;
    }
    for (const auto& [domain, suffix] :
         std::vector<std::pair<std::string, bool>>{{"com", true},
                                                   {".co.uk", true},
                                                   {"Co.Uk", true},
                                                   {"github.io", true},
                                                   {"shop.co.uk", false},
                                                   {"example.com", false},
                                                   {"", true},
                                                   {std::string("shop\0.com", 9), true}}) {
        EXPECT_EQ(TCookieManager::IsPublicSuffix(domain), suffix) << domain;
    }
}

} // namespace
