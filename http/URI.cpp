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
        std::string rest = text.substr(sep + 3);
        std::size_t slash = rest.find('/');
        std::string authority;
        if (slash == std::string::npos) {
            authority = rest;
            rest.clear();
        } else {
            authority = rest.substr(0, slash);
            rest = rest.substr(slash + 1);
        }
        // The user part ends at the last "@" of the authority: a password
        // that holds an unencoded "@" must not leak into the host name (which
        // error messages show).
        std::size_t at = authority.rfind('@');
        if (at != std::string::npos) {
            std::string user = authority.substr(0, at);
            authority = authority.substr(at + 1);
            std::size_t colon = user.find(':');
            Username = user.substr(0, colon);
            Password = colon == std::string::npos ? "" : user.substr(colon + 1);
            if (Username.empty())
                Password.clear();
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

namespace {

// Where the user part of `url` lies: [begin, at) where `at` is the "@" that
// ends it, or npos when the address has none.
std::pair<std::size_t, std::size_t> UserInfoSpan(const std::string& url) {
    const std::size_t sep = url.find("://");
    if (sep == std::string::npos)
        return {std::string::npos, std::string::npos};
    const std::size_t begin = sep + 3;
    const std::size_t end = url.find_first_of("/\\?#", begin);
    const std::size_t at = url.rfind('@', end == std::string::npos ? std::string::npos : end - 1);
    if (at == std::string::npos || at < begin)
        return {std::string::npos, std::string::npos};
    return {begin, at};
}

} // namespace

std::string RedactURLPassword(const std::string& url) {
    const auto [begin, at] = UserInfoSpan(url);
    if (begin == std::string::npos)
        return url;
    const std::size_t colon = url.find(':', begin);
    if (colon == std::string::npos || colon > at)
        return url;
    return url.substr(0, colon + 1) + "***" + url.substr(at);
}

std::string StripURLUserInfo(const std::string& url) {
    const auto [begin, at] = UserInfoSpan(url);
    if (begin == std::string::npos)
        return url;
    return url.substr(0, begin) + url.substr(at + 1);
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
