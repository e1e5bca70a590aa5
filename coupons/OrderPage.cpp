#include "coupons/OrderPage.h"

#include <cctype>

namespace quillory {

namespace {

bool StartsWithNoCase(const std::string& text, const char* prefix) {
    std::size_t i = 0;
    for (; prefix[i] != '\0'; ++i) {
        if (i >= text.size() || std::tolower(static_cast<unsigned char>(text[i])) !=
                                    static_cast<unsigned char>(prefix[i]))
            return false;
    }
    return true;
}

} // namespace

bool IsAllowedOrderPage(const std::string& address) {
    if (address.empty())
        return true;
    // Control characters and spaces never belong in an address; browsers
    // strip some of them, which is how "java\tscript:" slips past filters.
    for (unsigned char c : address)
        if (c <= 0x20 || c == 0x7f || c == '\\')
            return false;
    if (address.size() >= 2 && address[0] == '/')
        return address[1] != '/';
    if (address == "/")
        return true;
    for (const char* scheme : {"http://", "https://"}) {
        if (StartsWithNoCase(address, scheme)) {
            const std::string rest = address.substr(std::char_traits<char>::length(scheme));
            // A host must follow: "http:///x" or "http://" alone go nowhere.
            return !rest.empty() && rest[0] != '/' && rest[0] != '?' && rest[0] != '#';
        }
    }
    // A relative path: a ":" before the first "/" would make it a scheme
    // ("javascript:", "mailto:", "http:x"), so none may stand there; "//"
    // anywhere in it is refused as the server refuses it.
    return address.find("//") == std::string::npos &&
           address.substr(0, address.find('/')).find(':') == std::string::npos;
}

} // namespace quillory
