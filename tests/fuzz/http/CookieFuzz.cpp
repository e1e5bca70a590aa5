// Feeds arbitrary cookie values (and the dates inside them) to the cookie
// store, then asks it for request cookies.
#include "http/CookieManager.h"
#include "http/InternetDate.h"
#include "http/NetExceptions.h"
#include "http/URI.h"

#include <cstddef>
#include <cstdint>
#include <string>

using namespace quillory;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    // The first line names the server host; every further line is one value.
    std::size_t eol = text.find('\n');
    std::string host = eol == std::string::npos ? "www.example.com" : text.substr(0, eol);
    std::string rest = eol == std::string::npos ? text : text.substr(eol + 1);
    TCookieManager store;
    std::size_t start = 0;
    bool second = false;
    while (start <= rest.size()) {
        std::size_t end = rest.find('\n', start);
        std::string value = rest.substr(start, end == std::string::npos ? end : end - start);
        try {
            if (second)
                store.AddCookie2(value, host);
            else
                store.AddCookie(value, host);
        } catch (const EConvertError&) {
            // A malformed Port list is refused with a conversion error.
        }
        GMTToLocalDateTime(value);
        second = !second;
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    store.GenerateCookieList(host, "/");
    store.GenerateCookieList(host, "/a/b/", true);
    TURI uri(rest);
    MergePath(uri.Path, rest);
    return 0;
}
