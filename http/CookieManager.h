#pragma once
// The in-memory cookie store of the HTTP client: takes the "Set-cookie" and
// "Set-cookie2" values of replies and selects the "Cookie" text for requests.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <shared_mutex>
#include <string>
#include <vector>

namespace quillory {

// What the store keeps at most: cookies per domain (the oldest go first) and
// bytes of one "Set-cookie" value (longer ones are dropped).
inline constexpr std::size_t kMaxCookiesPerDomain = 50;
inline constexpr std::size_t kMaxCookieSize = 4096;

// A cookie as the original Netscape rules describe it.
class TNetscapeCookie {
public:
    virtual ~TNetscapeCookie() = default;
    // Parses one header value; an empty or absent domain becomes `serverHost`.
    virtual void ParseCookie(const std::string& value, const std::string& serverHost);

    std::string CookieText; // the value it was parsed from
    std::string CookieName;
    std::string Value;
    std::string Path;
    std::string Expires; // internet date-time text, empty when none
    std::string Domain;
    bool Secure = false;
    // Sent to the host named by Domain only, never to hosts below it: set
    // for a cookie whose domain is a public suffix that is the server's own
    // name.
    bool HostOnly = false;

protected:
    // The attribute items after the first: "NAME=value" (name upper-cased) or
    // an upper-cased flag.
    std::vector<std::string> FAttributes;
    std::string Attribute(const std::string& name, bool& present) const;
    bool HasFlag(const std::string& flag) const;
};

// "Set-cookie" values.
class TCookieRFC2109 : public TNetscapeCookie {
public:
    void ParseCookie(const std::string& value, const std::string& serverHost) override;
    std::int64_t MaxAge = -1;
    std::string Version;
    std::string Comment;
};

// "Set-cookie2" values.
class TCookieRFC2965 : public TCookieRFC2109 {
public:
    void ParseCookie(const std::string& value, const std::string& serverHost) override;
    std::string CommentURL;
    bool Discard = false;
    std::vector<int> PortList{80};
};

// The cookies of one domain, in the order they were stored.
class TCookieList {
public:
    std::vector<std::unique_ptr<TNetscapeCookie>> Items;
    int IndexOf(const std::string& name) const; // any case
};

// All cookies, indexed by domain (any case, in order of first storing).
class TCookies {
public:
    struct TDomainEntry {
        std::string Domain;
        TCookieList Cookies;
    };
    std::vector<TDomainEntry> Domains;
    TCookieList& ListFor(const std::string& domain);
    std::size_t Count() const;
};

class TCookieManager {
public:
    // Takes every "Set-cookie" value, then every "Set-cookie2" value, of a
    // reply from `serverHost`.
    void AddCookies(const std::vector<std::string>& setCookie,
                    const std::vector<std::string>& setCookie2, const std::string& serverHost);
    // Parses, checks the domain against the server host and stores one value.
    // Returns whether it was stored.
    bool AddCookie(const std::string& value, const std::string& serverHost);
    bool AddCookie2(const std::string& value, const std::string& serverHost);

    // The text of the "Cookie" line for a request, empty when nothing is
    // selected. Expired cookies are discarded first.
    std::string GenerateCookieList(const std::string& host, const std::string& path,
                                   bool secure = false);

    const TCookies& CookieCollection() const { return FCookies; }
    std::size_t Count() const { return FCookies.Count(); }

    // Host matching: the host equals the domain or ends with "." + domain (a
    // leading dot of the domain ignored), in any case.
    static bool DomainMatches(const std::string& host, const std::string& domain);
    // Whether `domain` (a leading dot ignored, any case) is a public suffix
    // such as "com", "co.uk" or "github.io", under which unrelated sites
    // live: the public suffix list through libpsl. A name with a zero byte
    // or another control character counts as one (it is never a real name).
    static bool IsPublicSuffix(const std::string& domain);

private:
    bool Store(std::unique_ptr<TNetscapeCookie> cookie, const std::string& serverHost);
    void DiscardExpired();
    TCookies FCookies;
    std::shared_mutex FLock;
};

} // namespace quillory
