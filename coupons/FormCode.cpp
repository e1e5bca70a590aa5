#include "coupons/FormCode.h"

#include "http/URI.h"

namespace quillory {

std::string HTMLEscape(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string BuildRedemptionForm(const std::string& webServer, const std::string& scriptName) {
    return "<FORM METHOD=\"POST\" ACTION=\"" +
           HTMLEscape(StripURLUserInfo(webServer) + "/" + scriptName) +
           "\"><p>Enter the coupon code <input type=\"text\""
           " name=\"coupcode\" size=\"15\" ><input name=\"action\" type=\"hidden\" id=\"action\" "
           "value=\"7\" /></p><p><input type=\"submit\" value=\"Submit\" name=\"send\"></FORM>";
}

} // namespace quillory
