#include "coupons/CouponService.h"

#include "coupons/CouponRecord.h"
#include "coupons/ListReply.h"

#include <algorithm>
#include <exception>

namespace quillory {

namespace {
// The socket error number a connect that ran out of time stands for.
constexpr int kSocketTimedOut = 10060;
} // namespace

bool ReplyContainsOK(const std::string& reply) {
    return reply.find(kReplyOK) != std::string::npos;
}

TCouponService::TCouponService(THTTPClient& http, TTextSource webServer, TTextSource scriptName)
    : FHTTP(http), FWebServer(std::move(webServer)), FScriptName(std::move(scriptName)) {}

std::string TCouponService::ServiceURL() const {
    return (FWebServer ? FWebServer() : std::string()) + "/" +
           (FScriptName ? FScriptName() : std::string(kCouponScriptName));
}

const std::string* TCouponService::Exchange(const std::string& action, const TFields& fields,
                                            const TReplyReader& reader) {
    FLastError.clear();
    FLastRefusal.clear();
    FLastServerText.clear();
    FLastSocketError = 0;
    FLastReplyCode = 0;
    FHTTP.SetReadTimeout(ReadTimeout);
    TMultiPartFormDataStream form;
    form.AddField("action", action);
    for (const auto& [name, value] : fields)
        form.AddField(name, value);
    form.AddField("end", "");
    const std::string url = ServiceURL();
    try {
        std::string reply = FHTTP.PostForm(url, form);
        if (reader && HasListEnd(reply))
            reader(reply);
        FLastReply = std::move(reply); // a list reply can be large: no copy
        return &FLastReply;
    } catch (const EHTTPProtocolException& e) {
        FLastError = e.what();
        FLastServerText = TrimText(e.ReplyBody);
        FLastReplyCode = e.ReplyCode;
        if (e.ReplyCode == 401)
            FLastRefusal = kRefusedCredentials;
        else if (e.ReplyCode == 403)
            FLastRefusal = TrimText(e.ReplyBody);
    } catch (const EConnectException& e) {
        FLastError = e.what();
        FLastSocketError = e.LastError;
    } catch (const ESocketError& e) {
        FLastError = e.what();
        FLastSocketError = e.LastError;
    } catch (const EConnectTimeout& e) {
        FLastError = e.what();
        FLastSocketError = kSocketTimedOut;
    } catch (const std::exception& e) {
        FLastError = e.what();
    } catch (...) {
        FLastError = "Unknown error";
    }
    FLastReply = kReplyFailed;
    return nullptr;
}

std::string TCouponService::ReplyOr(const std::string& action, const TFields& fields,
                                    const std::string& substitute) {
    try {
        if (auto reply = Exchange(action, fields))
            return *reply;
    } catch (const std::exception& e) {
        // Building the form failed: no request went out.
        FLastError = e.what();
    }
    FLastReply = substitute;
    return substitute;
}

std::string OneLineReason(const std::string& text, std::size_t limit) {
    std::string out;
    out.reserve(std::min(text.size(), limit));
    for (char c : text) {
        const bool blank = static_cast<unsigned char>(c) < 0x20 || c == 0x7F || c == ' ';
        if (blank) {
            if (!out.empty() && out.back() != ' ')
                out += ' ';
        } else {
            out += c;
        }
        if (out.size() > limit)
            break;
    }
    while (!out.empty() && out.back() == ' ')
        out.pop_back();
    if (out.size() > limit) {
        const std::size_t keep = limit > 3 ? limit - 3 : 0;
        out.resize(keep);
        while (!out.empty() && out.back() == ' ')
            out.pop_back();
        out += "...";
    }
    return out;
}

std::string TCouponService::FailureReason() const {
    if (!FLastRefusal.empty())
        return OneLineReason(FLastRefusal);
    // A reply that is no list at all (not one record in it) is better
    // explained by what came instead than by its missing end marker.
    const bool notAList =
        FLastError == kListEndMissing && FLastReply.find('^') == std::string::npos;
    if (!FLastError.empty() && !notAList) {
        // An error reply: its status line, then what the server said.
        const std::string body = OneLineReason(FLastServerText);
        if (!body.empty())
            return OneLineReason(FLastError + ": " + body);
        // A socket error reads "Socket Error # 10061" CR LF "Connection
        // refused.": one line, the number first.
        std::string joined;
        std::size_t at = 0;
        while (at <= FLastError.size()) {
            std::size_t end = FLastError.find_first_of("\r\n", at);
            if (end == std::string::npos)
                end = FLastError.size();
            const std::string line = OneLineReason(FLastError.substr(at, end - at));
            if (!line.empty())
                joined += (joined.empty() ? "" : ": ") + line;
            at = end + 1;
        }
        return OneLineReason(joined);
    }
    // The protocol's own answers are explained by the command's text.
    if (FLastReply == kReplyFailed || FLastReply == kReplyOK || FLastReply == kReplyExistRecord ||
        FLastReply == kReplyDontExistRecord)
        return {};
    const std::string reply = OneLineReason(FLastReply);
    return reply.empty() ? "The server sent an empty reply." : "The server answered: " + reply;
}

bool TCouponService::CheckService() {
    return ReplyOr("1", {}, kReplyFailed) == kReplyOK;
}

// 1 for "OK", 2 for the operation's second token, 0 for anything else.
int TCouponService::CouponResult(const std::string& reply, const char* secondToken) {
    if (reply == kReplyOK)
        return 1;
    return reply == secondToken ? 2 : 0;
}

TCouponService::TFields
TCouponService::CouponFields(const std::string& id, const std::string& code,
                             const std::string& name, const std::string& expired,
                             const std::string& expiryType, const std::string& days,
                             const std::string& expiryDate, const std::string& orderPage,
                             const std::string& comments, const std::string& createDate) {
    return {{"coupid", id},
            {"coupcode", code},
            {"coupname", name},
            {"coupexpired", expired},
            {"coupexpirtype", expiryType},
            {"coupexpirdays", days},
            {"coupexpirdate", expiryDate},
            {"couponorderurl", orderPage},
            {"couponcomments", comments},
            {"coupcreatedate", createDate}};
}

int TCouponService::AddCoupon(const std::string& id, const std::string& code,
                              const std::string& name, const std::string& expired,
                              const std::string& expiryType, const std::string& days,
                              const std::string& expiryDate, const std::string& orderPage,
                              const std::string& comments, const std::string& createDate,
                              const std::string& uses) {
    TFields fields = CouponFields(id, code, name, expired, expiryType, days, expiryDate, orderPage,
                                  comments, createDate);
    if (!uses.empty())
        fields.emplace_back("coupuses", uses);
    return CouponResult(ReplyOr("2", fields, kReplyFailed), kReplyExistRecord);
}

int TCouponService::EditCoupon(const std::string& id, const std::string& code,
                               const std::string& name, const std::string& expired,
                               const std::string& expiryType, const std::string& days,
                               const std::string& expiryDate, const std::string& orderPage,
                               const std::string& comments, const std::string& createDate) {
    return CouponResult(ReplyOr("3",
                                CouponFields(id, code, name, expired, expiryType, days, expiryDate,
                                             orderPage, comments, createDate),
                                kReplyFailed),
                        kReplyDontExistRecord);
}

bool TCouponService::DeleteCoupons(const std::string& ids) {
    return ReplyOr("4", {{"coupdeleteids", ids}}, kReplyFailed) == kReplyOK;
}

bool TCouponService::ReadList(const std::string& action, const TReplyReader& reader,
                              const TFields& fields) {
    try {
        auto reply = Exchange(action, fields, reader);
        if (!reply)
            return false;
        if (HasListEnd(*reply))
            return true;
        // A list cut short (or an error page sent as 200) would otherwise
        // read as a complete list with fewer rows. The reply stays for the
        // caller's message.
        FLastError = kListEndMissing;
        return false;
    } catch (const std::exception& e) {
        FLastError = e.what();
    }
    FLastReply = kReplyFailed;
    return false;
}

bool TCouponService::RefreshCoupons(const TReplyReader& reader, bool details) {
    if (details)
        return ReadList("5", reader, {{"details", "1"}});
    return ReadList("5", reader);
}

bool TCouponService::LoadStatistics(const TReplyReader& reader) {
    return ReadList("6", reader);
}

bool TCouponService::CouponCodeExists(const std::string& code) {
    return ReplyOr("8", {{"coupcode", code}}, kReplyDontExistRecord) == kReplyExistRecord;
}

bool TCouponService::GetCoupon(const std::string& id, std::string& record) {
    const std::string* reply = nullptr;
    try {
        reply = Exchange("9", {{"coupid", id}});
    } catch (const std::exception& e) {
        FLastError = e.what();
    }
    if (!reply) {
        FLastReply = kReplyFailed;
        return false;
    }
    // "DON'T EXIST RECORD" and the like: no such coupon. A reply that
    // begins as a record does but lacks its end was cut short.
    const bool startsRecord = !reply->empty() && reply->front() == '"';
    if (!ReplyContainsOK(*reply) && !startsRecord)
        return false;
    if (!HasListEnd(*reply)) {
        FLastError = kListEndMissing;
        return false;
    }
    std::string text = RemoveListEnds(*reply);
    record = text;
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n'))
        text.pop_back();
    return text != kReplyOK;
}

std::optional<std::string> GenerateCouponCode(TCouponService& service, int maxAttempts,
                                              const std::vector<std::string>& avoid) {
    for (int attempt = 0; maxAttempts <= 0 || attempt < maxAttempts; ++attempt) {
        std::string code = RandomCouponCode(5);
        if (std::find(avoid.begin(), avoid.end(), code) != avoid.end())
            continue;
        if (!service.CouponCodeExists(code))
            return code;
    }
    return std::nullopt;
}

} // namespace quillory
