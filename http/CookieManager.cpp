#include "http/CookieManager.h"

#include "http/InternetDate.h"
#include "http/NetExceptions.h"
#include "http/SocketStack.h"
#include "http/TextUtils.h"
#include "platform/DateTime.h"

#include <algorithm>
#include <cctype>
#include <libpsl.h>
#include <mutex>

namespace quillory {

namespace {

using text::SameText;
using text::Trim;
using text::Upper;

bool EndsWithText(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() &&
           SameText(text.substr(text.size() - suffix.size()), suffix);
}

std::string StripQuotes(std::string s) {
    if (!s.empty() && s.front() == '"')
        s.erase(0, 1);
    if (!s.empty() && s.back() == '"')
        s.pop_back();
    return s;
}

} // namespace

// --- cookies ----------------------------------------------------------------

void TNetscapeCookie::ParseCookie(const std::string& value, const std::string& serverHost) {
    CookieText = value;
    std::vector<std::string> items;
    std::size_t start = 0;
    while (true) {
        std::size_t semi = value.find(';', start);
        items.push_back(Trim(
            value.substr(start, semi == std::string::npos ? std::string::npos : semi - start)));
        if (semi == std::string::npos)
            break;
        start = semi + 1;
    }
    if (items.size() > 1 && items.back().empty())
        items.pop_back();

    const std::string& first = items.front();
    std::size_t eq = first.find('=');
    CookieName = first.substr(0, eq);
    Value = eq == std::string::npos ? "" : first.substr(eq + 1);

    FAttributes.clear();
    for (std::size_t i = 1; i < items.size(); ++i) {
        const std::string& item = items[i];
        std::size_t e = item.find('=');
        if (e == std::string::npos)
            FAttributes.push_back(Upper(item));
        else
            FAttributes.push_back(Upper(Trim(item.substr(0, e))) + "=" + item.substr(e + 1));
    }

    bool present = false;
    Path = StripQuotes(Attribute("PATH", present));
    Expires = Attribute("EXPIRES", present);
    Domain = Attribute("DOMAIN", present);
    Secure = HasFlag("SECURE");
    if (Domain.empty())
        Domain = serverHost;
}

std::string TNetscapeCookie::Attribute(const std::string& name, bool& present) const {
    const std::string prefix = name + "=";
    for (const std::string& a : FAttributes)
        if (a.compare(0, prefix.size(), prefix) == 0) {
            present = true;
            return a.substr(prefix.size());
        }
    present = false;
    return "";
}

bool TNetscapeCookie::HasFlag(const std::string& flag) const {
    return std::find(FAttributes.begin(), FAttributes.end(), flag) != FAttributes.end();
}

void TCookieRFC2109::ParseCookie(const std::string& value, const std::string& serverHost) {
    TNetscapeCookie::ParseCookie(value, serverHost);
    bool present = false;
    std::string maxAge = Attribute("MAX-AGE", present);
    std::int64_t age = -1;
    MaxAge = present && TryStrToInt64(maxAge, age) ? age : -1;
    Version = Attribute("VERSION", present);
    Comment = Attribute("COMMENT", present);
    bool hasExpires = false;
    Attribute("EXPIRES", hasExpires);
    if (!hasExpires && MaxAge >= 0) {
        // Whole days and seconds kept apart so a huge age cannot overflow
        // the date range: anything beyond year 9999 is simply "far away".
        double days = static_cast<double>(MaxAge) / 86400.0;
        TDateTime when = std::min(Now() + days, EncodeDate(9999, 12, 31));
        Expires = LocalDateTimeToGMT(when);
    }
}

void TCookieRFC2965::ParseCookie(const std::string& value, const std::string& serverHost) {
    TCookieRFC2109::ParseCookie(value, serverHost);
    bool present = false;
    CommentURL = Attribute("COMMENTURL", present);
    Discard = HasFlag("DISCARD");
    std::string ports = Attribute("PORT", present);
    PortList.assign(1, 80);
    if (present && !ports.empty()) {
        PortList.clear();
        std::string list = StripQuotes(ports);
        std::size_t start = 0;
        while (true) {
            std::size_t comma = list.find(',', start);
            PortList.push_back(StrToInt(list.substr(
                start, comma == std::string::npos ? std::string::npos : comma - start)));
            if (comma == std::string::npos)
                break;
            start = comma + 1;
        }
    }
}

// --- collections ------------------------------------------------------------

int TCookieList::IndexOf(const std::string& name) const {
    for (std::size_t i = 0; i < Items.size(); ++i)
        if (SameText(Items[i]->CookieName, name))
            return static_cast<int>(i);
    return -1;
}

TCookieList& TCookies::ListFor(const std::string& domain) {
    for (TDomainEntry& e : Domains)
        if (SameText(e.Domain, domain))
            return e.Cookies;
    Domains.push_back(TDomainEntry{domain, {}});
    return Domains.back().Cookies;
}

std::size_t TCookies::Count() const {
    std::size_t n = 0;
    for (const TDomainEntry& e : Domains)
        n += e.Cookies.Items.size();
    return n;
}

// --- the store --------------------------------------------------------------

bool TCookieManager::DomainMatches(const std::string& host, const std::string& domain) {
    std::string d = domain;
    if (!d.empty() && d[0] == '.')
        d.erase(0, 1);
    if (d.empty())
        return false;
    return SameText(host, d) || EndsWithText(host, "." + d);
}

namespace {

// The public suffix list: the newest of the one built into libpsl and the
// system's copy (Debian's publicsuffix package), loaded once.
const psl_ctx_t* PublicSuffixList() {
    static const psl_ctx_t* const list = []() -> const psl_ctx_t* {
        if (const psl_ctx_t* latest = psl_latest(nullptr))
            return latest;
        return psl_builtin();
    }();
    return list;
}

} // namespace

bool TCookieManager::IsPublicSuffix(const std::string& domain) {
    std::string d = domain;
    if (!d.empty() && d[0] == '.')
        d.erase(0, 1);
    if (d.empty())
        return true;
    for (char& c : d) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F)
            return true;
        c = static_cast<char>(std::tolower(u));
    }
    if (const psl_ctx_t* list = PublicSuffixList())
        return psl_is_public_suffix2(list, d.c_str(), PSL_TYPE_ANY) != 0;
    // Without any list: at least no top-level name alone.
    return d.find('.') == std::string::npos;
}

void TCookieManager::AddCookies(const std::vector<std::string>& setCookie,
                                const std::vector<std::string>& setCookie2,
                                const std::string& serverHost) {
    for (const std::string& v : setCookie)
        AddCookie(v, serverHost);
    for (const std::string& v : setCookie2)
        AddCookie2(v, serverHost);
}

bool TCookieManager::AddCookie(const std::string& value, const std::string& serverHost) {
    if (value.size() > kMaxCookieSize)
        return false;
    auto cookie = std::make_unique<TCookieRFC2109>();
    cookie->ParseCookie(value, serverHost);
    return Store(std::move(cookie), serverHost);
}

bool TCookieManager::AddCookie2(const std::string& value, const std::string& serverHost) {
    if (value.size() > kMaxCookieSize)
        return false;
    auto cookie = std::make_unique<TCookieRFC2965>();
    cookie->ParseCookie(value, serverHost);
    return Store(std::move(cookie), serverHost);
}

bool TCookieManager::Store(std::unique_ptr<TNetscapeCookie> cookie, const std::string& serverHost) {
    const std::string& domain = cookie->Domain;
    bool accepted;
    if (TSocketStack::IsIP(serverHost))
        accepted = domain == serverHost;
    else if (domain.empty() || domain[0] != '.')
        accepted = domain == serverHost;
    else {
        std::size_t dot = serverHost.find('.');
        accepted = dot != std::string::npos && serverHost.substr(dot) == domain;
    }
    if (!accepted)
        return false;
    // A cookie for a whole public suffix ("Domain=.co.uk") would go to every
    // shop under it: refused. A server whose own name is such a suffix keeps
    // its cookie for itself alone.
    if (!TSocketStack::IsIP(serverHost) && IsPublicSuffix(domain)) {
        std::string bare = domain[0] == '.' ? domain.substr(1) : domain;
        if (!SameText(bare, serverHost))
            return false;
        cookie->HostOnly = true;
    }

    std::unique_lock<std::shared_mutex> guard(FLock);
    TCookieList& list = FCookies.ListFor(domain);
    int index = list.IndexOf(cookie->CookieName);
    if (index >= 0)
        list.Items[static_cast<std::size_t>(index)] = std::move(cookie);
    else
        list.Items.push_back(std::move(cookie));
    if (list.Items.size() > kMaxCookiesPerDomain)
        list.Items.erase(list.Items.begin(),
                         list.Items.begin() +
                             static_cast<std::ptrdiff_t>(list.Items.size() - kMaxCookiesPerDomain));
    return true;
}

void TCookieManager::DiscardExpired() {
    std::unique_lock<std::shared_mutex> guard(FLock);
    const TDateTime now = Now();
    for (TCookies::TDomainEntry& e : FCookies.Domains) {
        auto& items = e.Cookies.Items;
        items.erase(std::remove_if(items.begin(), items.end(),
                                   [now](const std::unique_ptr<TNetscapeCookie>& c) {
                                       // An unreadable date reads as 0: long past.
                                       return !c->Expires.empty() &&
                                              GMTToLocalDateTime(c->Expires) <= now;
                                   }),
                    items.end());
    }
}

std::string TCookieManager::GenerateCookieList(const std::string& host, const std::string& path,
                                               bool secure) {
    DiscardExpired();
    std::shared_lock<std::shared_mutex> guard(FLock);
    std::vector<const TNetscapeCookie*> selected;
    for (const TCookies::TDomainEntry& e : FCookies.Domains) {
        if (!DomainMatches(host, e.Domain))
            continue;
        const auto& items = e.Cookies.Items;
        for (auto it = items.rbegin(); it != items.rend(); ++it) {
            const TNetscapeCookie& c = **it;
            if (c.HostOnly && !SameText(host, c.Domain[0] == '.' ? c.Domain.substr(1) : c.Domain))
                continue;
            if (path.compare(0, c.Path.size(), c.Path) == 0 && (!c.Secure || secure) &&
                !c.Value.empty())
                selected.push_back(&c);
        }
    }
    std::stable_sort(selected.begin(), selected.end(),
                     [](const TNetscapeCookie* a, const TNetscapeCookie* b) {
                         return Upper(a->Path) > Upper(b->Path);
                     });
    std::string result;
    for (const TNetscapeCookie* c : selected) {
        if (!result.empty())
            result += "; ";
        result += c->CookieName + "=" + c->Value;
    }
    return result;
}

} // namespace quillory
