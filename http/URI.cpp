#include "http/URI.h"

#include "http/NetExceptions.h"
#include "http/TextUtils.h"

#include <algorithm>
#include <cctype>
#include <utility>

namespace quillory {

namespace {

using text::SameText;
using text::Trim;
using text::Upper;

// Splits `text` into path, document and parameters: the parameters start at
// the first "?" (or, without one, at the first "="); the path ends at the
// last "/" before that.
void SplitPathDocParams(const std::string& text, std::string& path, std::string& document,
                        std::string& params) {
    std::size_t q = text.find('?');
    if (q == std::string::npos)
        q = text.find('=');
    std::size_t s;
    if (q != std::string::npos)
        s = q == 0 ? std::string::npos : text.rfind('/', q - 1);
    else
        s = text.rfind('/');
    std::size_t docStart = s == std::string::npos ? 0 : s + 1;
    path = text.substr(0, docStart);
    if (q != std::string::npos) {
        document = text.substr(docStart, q - docStart);
        params = text.substr(q);
    } else {
        document = text.substr(docStart);
        params.clear();
    }
}

} // namespace

void TURI::ParseURL(const std::string& url) {
    std::string text = url;
    std::replace(text.begin(), text.end(), '\\', '/');
    *this = TURI();
    URI = text;

    std::size_t sep = text.find("://");
    if (sep != std::string::npos) {
        Protocol = text.substr(0, sep);
        // The user part is found by the one splitter every reader of user
        // information shares (it works on the text as given, before
        // back-slashes are read as "/").
        const TUserInfo user = SplitUserInfo(url);
        std::size_t hostStart = sep + 3;
        if (user.Present) {
            Username = user.Username;
            Password = user.Password;
            if (Username.empty())
                Password.clear();
            hostStart = user.At + 1;
        }
        std::size_t slash = text.find('/', hostStart);
        std::string authority;
        std::string rest;
        if (slash == std::string::npos) {
            authority = text.substr(hostStart);
        } else {
            authority = text.substr(hostStart, slash - hostStart);
            rest = text.substr(slash + 1);
        }
        std::size_t colon = authority.find(':');
        Host = authority.substr(0, colon);
        Port = colon == std::string::npos ? "" : authority.substr(colon + 1);
        SplitPathDocParams(rest, Path, Document, Params);
        Path = "/" + Path;
        std::size_t hash = Document.find('#');
        if (hash != std::string::npos) {
            Bookmark = Document.substr(hash + 1);
            Document.erase(hash);
        }
    } else {
        SplitPathDocParams(text, Path, Document, Params);
    }
    if (Bookmark.empty()) {
        std::size_t hash = Params.find('#');
        if (hash != std::string::npos) {
            Bookmark = Params.substr(hash + 1);
            Params.erase(hash);
        }
    }
}

std::string MergePath(const std::string& currentPath, const std::string& newPath) {
    if (!newPath.empty() && newPath[0] == '/')
        return newPath;
    const bool keepTrailing = newPath.empty() || newPath.back() == '/';
    std::string work = currentPath;
    if (!work.empty() && work.back() != '/')
        work += '/';
    work += newPath;

    std::string result;
    for (std::size_t i = 0; i < work.size(); ++i) {
        char c = work[i];
        if (c == '/') {
            if (i == 0)
                result.assign(1, '/');
            else if (result.empty() || result.back() != '/')
                result += '/';
        } else if (c == '.' && !result.empty() && result.back() == '/' && i + 1 < work.size() &&
                   work[i + 1] == '.') {
            // "..": drop the last segment of what was built so far.
            result.pop_back();
            std::size_t prev = result.rfind('/');
            result.erase(prev == std::string::npos ? 0 : prev + 1);
            ++i;
        } else {
            result += c;
        }
    }
    if (result != "/" && !result.empty() && result.back() == '/' && !keepTrailing)
        result.pop_back();
    return result;
}

TUserInfo SplitUserInfo(const std::string& url) {
    TUserInfo info;
    std::string text = url;
    std::replace(text.begin(), text.end(), '\\', '/');
    const std::size_t sep = text.find("://");
    if (sep == std::string::npos)
        return info;
    const std::size_t begin = sep + 3;
    // Up to the first real "/": a back-slash or "?" or "#" before it may
    // still belong to a password written raw.
    std::size_t end = url.find('/', begin);
    if (end == std::string::npos)
        end = url.size();
    std::size_t at = end > begin ? url.rfind('@', end - 1) : std::string::npos;
    if (at != std::string::npos && at >= begin) {
        info.Ambiguous = url.find_first_of("?#\\", begin) < at;
    } else {
        at = std::string::npos;
        // No "@" before the first "/": a raw "/" in a password leaves a host
        // part whose port is not a number ("ann:pa") and an "@" in the
        // segment after it ("ss@host").
        std::size_t hostEnd = text.find('/', begin);
        if (hostEnd == std::string::npos)
            hostEnd = text.size();
        const std::string host = text.substr(begin, hostEnd - begin);
        const std::size_t colon = host.find(':');
        const std::string port = colon == std::string::npos ? "" : host.substr(colon + 1);
        const bool numeric =
            std::all_of(port.begin(), port.end(), [](char c) { return c >= '0' && c <= '9'; });
        if (!port.empty() && !numeric && end < url.size()) {
            std::size_t next = url.find('/', end + 1);
            if (next == std::string::npos)
                next = url.size();
            const std::size_t later = url.rfind('@', next - 1);
            if (later != std::string::npos && later > hostEnd) {
                at = later;
                info.Ambiguous = true;
            }
        }
        if (at == std::string::npos)
            return info;
    }
    info.Present = true;
    info.Begin = begin;
    info.At = at;
    const std::string user = url.substr(begin, at - begin);
    const std::size_t colon = user.find(':');
    info.HasPassword = colon != std::string::npos;
    info.Username = user.substr(0, colon);
    info.Password = info.HasPassword ? user.substr(colon + 1) : std::string();
    return info;
}

std::optional<std::string> UserInfoProblem(const std::string& url) {
    const TUserInfo info = SplitUserInfo(url);
    if (!info.Present || !info.Ambiguous)
        return std::nullopt;
    return std::string("The user name or password in the address holds \"/\", \"?\", \"#\" or a "
                       "back-slash as it is, so the address can be read in more than one way. "
                       "Write them percent-encoded: \"/\" as %2F, \"?\" as %3F, \"#\" as %23, a "
                       "back-slash as %5C (and \"@\" as %40).");
}

std::string RedactURLPassword(const std::string& url) {
    const TUserInfo info = SplitUserInfo(url);
    if (!info.Present || !info.HasPassword)
        return url;
    const std::size_t colon = info.Begin + info.Username.size();
    return url.substr(0, colon + 1) + "***" + url.substr(info.At);
}

std::string StripURLUserInfo(const std::string& url) {
    const TUserInfo info = SplitUserInfo(url);
    if (!info.Present)
        return url;
    return url.substr(0, info.Begin) + url.substr(info.At + 1);
}

std::string URLDecode(const std::string& text) {
    auto hex = [](char c) -> int {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    };
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && hex(text[i + 1]) >= 0 &&
            hex(text[i + 2]) >= 0) {
            out += static_cast<char>(hex(text[i + 1]) * 16 + hex(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

int DefaultPort(const std::string& protocol) {
    std::string p = Upper(protocol);
    if (p == "HTTP")
        return 80;
    if (p == "HTTPS")
        return 443;
    throw EUnknownProtocol();
}

} // namespace quillory
