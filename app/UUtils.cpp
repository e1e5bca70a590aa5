#include "UUtils.h"

#include "http/URI.h"
#include "platform/Shell.h"

#include <cstdio>
#include <string_view>

namespace quillory {

void SplitText(char delimiter, const std::string& text, TStringList& list) {
    list.clear();
    std::string piece;
    for (char c : text) {
        if (c == delimiter) {
            list.push_back(piece);
            piece.clear();
        } else {
            piece += c;
        }
    }
    if (!piece.empty())
        list.push_back(piece);
}

namespace {

char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

const char kHex[] = "0123456789ABCDEF";

void AppendEncoded(std::string& out, unsigned char c) {
    out += '%';
    out += kHex[c >> 4];
    out += kHex[c & 15];
}

} // namespace

bool IsOpenableURL(const std::string& url) {
    const std::size_t colon = url.find(':');
    if (colon == std::string::npos || colon == 0)
        return false;
    std::string scheme;
    for (std::size_t i = 0; i < colon; ++i) {
        const char c = url[i];
        const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
        if (!letter)
            return false; // the three schemes are letters only
        scheme += LowerAscii(c);
    }
    const std::string rest = url.substr(colon + 1);
    if (scheme == "http" || scheme == "https") {
        // "//", then a host that starts with neither a separator nor a blank.
        if (rest.size() < 3 || rest.compare(0, 2, "//") != 0)
            return false;
        const unsigned char first = static_cast<unsigned char>(rest[2]);
        return first > ' ' && first != '/' && first != '\\' && first != '?' && first != '#' &&
               first != 0x7F;
    }
    if (scheme == "mailto")
        return !rest.empty() && static_cast<unsigned char>(rest[0]) > ' ';
    return false;
}

std::string BrowserSafeURL(const std::string& url) {
    std::string out;
    out.reserve(url.size());
    for (char ch : url) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (c <= ' ' || c >= 0x7F ||
            std::string_view("\"<>\\`{}|^").find(ch) != std::string_view::npos)
            AppendEncoded(out, c);
        else
            out += ch;
    }
    return out;
}

std::string PercentEncode(const std::string& value) {
    std::string out;
    out.reserve(value.size());
    for (char ch : value) {
        const unsigned char c = static_cast<unsigned char>(ch);
        const bool unreserved = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                                (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_' ||
                                c == '~';
        if (unreserved)
            out += ch;
        else
            AppendEncoded(out, c);
    }
    return out;
}

int OpenURL(const std::string& url) {
    if (!IsOpenableURL(url)) {
        std::fprintf(stderr,
                     "quillory: not opened in the browser (only http, https and mailto "
                     "addresses are): %s\n",
                     RedactURLPassword(BrowserSafeURL(url)).c_str());
        return 0;
    }
    const std::string browser = FindDefaultBrowserCommand();
    if (browser.empty())
        return 0;
    const std::vector<std::string> args = BrowserArguments(browser, BrowserSafeURL(url));
    if (args.empty())
        return 0;
    // A browser that fails to start is not reported: the caller only needs to
    // know whether a browser was there to ask.
    StartProgramWithArguments(browser, args);
    return 1;
}

} // namespace quillory
