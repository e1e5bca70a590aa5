#include "coupons/CouponService.h"

#include "coupons/CouponRecord.h"
#include "coupons/ListReply.h"
#include "http/SocketStack.h"

#include <algorithm>
#include <exception>
#include <string_view>

namespace quillory {

bool ReplyContainsOK(const std::string& reply) {
    return reply.find(kReplyOK) != std::string::npos;
}

TCouponService::TCouponService(THTTPClient& http, TTextSource webServer, TTextSource scriptName)
    : FHTTP(http), FWebServer(std::move(webServer)), FScriptName(std::move(scriptName)) {}

std::string TCouponService::ServiceURL() const {
    return (FWebServer ? FWebServer() : std::string()) + "/" +
           (FScriptName ? FScriptName() : std::string(kCouponScriptName));
}

void TCouponService::NoteFailure(std::exception_ptr error) {
    TServiceFailure f;
    f.Kind = TFailureKind::Other;
    try {
        std::rethrow_exception(error);
    } catch (const EHTTPProtocolException& e) {
        f.Detail = e.what();
        f.Kind = TFailureKind::HTTPStatus;
        f.StatusCode = e.ReplyCode;
        f.ServerText = TrimText(e.ReplyBody);
        // A 403 without words says no more than its status line.
        if (e.ReplyCode == 401 || (e.ReplyCode == 403 && !f.ServerText.empty()))
            f.Kind = TFailureKind::ServiceRefusal;
    } catch (const ENetException& e) {
        f.Detail = e.what();
        f.Kind = static_cast<TFailureKind>(e.Kind());
        f.SocketError = e.SocketError();
    } catch (const EListReplyError& e) {
        f.Detail = e.what();
        f.Kind = TFailureKind::BadRecord;
    } catch (const std::exception& e) {
        f.Detail = e.what();
    } catch (...) {
        f.Detail = "Unknown error";
    }
    FFailure = std::move(f);
}

void TCouponService::NoteListEndMissing(const std::string& reply) {
    FFailure = {};
    // Not one record in it: no list at all (an error page sent as 200).
    FFailure.Kind =
        reply.find('^') == std::string::npos ? TFailureKind::NotAList : TFailureKind::CutShort;
    FFailure.Detail = kListEndMissing;
}

std::string TCouponService::LastRefusal() const {
    if (FFailure.Kind != TFailureKind::ServiceRefusal)
        return {};
    return FFailure.StatusCode == 401 ? kRefusedCredentials : FFailure.ServerText;
}

const std::string* TCouponService::Exchange(const std::string& action, const TFields& fields,
                                            const TReplyReader& reader) {
    FFailure = {};
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
    } catch (...) {
        NoteFailure(std::current_exception());
    }
    FLastReply = kReplyFailed;
    return nullptr;
}

std::string TCouponService::ReplyOr(const std::string& action, const TFields& fields,
                                    const std::string& substitute) {
    try {
        if (auto reply = Exchange(action, fields))
            return *reply;
    } catch (...) {
        // Building the form failed: no request went out.
        NoteFailure(std::current_exception());
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

namespace {

// What the server sent in place of the expected reply, or nothing for the
// protocol's own answers (the command's text explains those).
std::string UnexpectedReply(const std::string& reply) {
    if (reply == kReplyFailed || reply == kReplyOK || reply == kReplyExistRecord ||
        reply == kReplyDontExistRecord)
        return {};
    const std::string text = OneLineReason(reply);
    return text.empty() ? "The server sent an empty reply." : "The server answered: " + text;
}

} // namespace

std::string TCouponService::FailureReason() const {
    const TServiceFailure& f = FFailure;
    switch (f.Kind) {
    case TFailureKind::None:
    case TFailureKind::NotAList:
        // What came instead explains it best.
        return UnexpectedReply(FLastReply);
    case TFailureKind::ServiceRefusal:
        return OneLineReason(LastRefusal());
    case TFailureKind::HTTPStatus: {
        // The status line, then what the server said.
        const std::string body = OneLineReason(f.ServerText);
        return OneLineReason(body.empty() ? f.Detail : f.Detail + ": " + body);
    }
    default:
        break;
    }
    if (f.SocketError != 0) {
        // "Socket Error # 10061: Connection refused.": the number, then its text.
        const std::string text = TSocketStack::WSTranslateSocketErrorMsg(f.SocketError);
        const std::string number = "Socket Error # " + std::to_string(f.SocketError);
        return OneLineReason(text.empty() ? number : number + ": " + text);
    }
    return OneLineReason(f.Detail);
}

bool TCouponService::CheckService() {
    return ReplyOr("1", {}, kReplyFailed) == kReplyOK;
}

bool TCouponService::CheckServiceDetails(TOrderPages& orders) {
    orders = TOrderPages::Unknown;
    const std::string reply = ReplyOr("1", {{"details", "1"}}, kReplyFailed);
    std::string_view first = reply, rest;
    if (const auto end = reply.find('\n'); end != std::string::npos) {
        first = std::string_view(reply).substr(0, end);
        rest = std::string_view(reply).substr(end + 1);
    }
    if (!first.empty() && first.back() == '\r')
        first.remove_suffix(1);
    if (first != kReplyOK)
        return false;
    while (!rest.empty() && (rest.back() == '\n' || rest.back() == '\r'))
        rest.remove_suffix(1);
    if (rest == kReplyOrdersProtected)
        orders = TOrderPages::Protected;
    else if (rest == kReplyOrdersNotProtected)
        orders = TOrderPages::NotProtected;
    return true;
}

TCouponResult TCouponService::CouponResult(const std::string& reply, const char* secondToken,
                                           TCouponResult second) {
    if (reply == kReplyOK)
        return TCouponResult::Done;
    return reply == secondToken ? second : TCouponResult::Failed;
}

TCouponResult TCouponService::AddCoupon(const TCoupon& coupon) {
    TFields fields = CouponRequestFields(coupon);
    if (const std::string uses = coupon.UsesText(); !uses.empty())
        fields.emplace_back("coupuses", uses);
    return CouponResult(ReplyOr("2", fields, kReplyFailed), kReplyExistRecord,
                        TCouponResult::CodeExists);
}

TCouponResult TCouponService::EditCoupon(const TCoupon& coupon) {
    return CouponResult(ReplyOr("3", CouponRequestFields(coupon), kReplyFailed),
                        kReplyDontExistRecord, TCouponResult::NoSuchCoupon);
}

bool TCouponService::DeleteCoupons(const std::string& ids) {
    return ReplyOr("4", {{"coupdeleteids", ids}}, kReplyFailed) == kReplyOK;
}

bool TCouponService::ReadList(const std::string& action, const TReplyReader& reader,
                              const TFields& fields) {
    try {
        // The reader runs only for a reply with its end marker, and may take
        // the reply over: whether it ran is what says the list was whole.
        bool ended = false;
        auto reply = Exchange(action, fields, [&](std::string& bytes) {
            ended = true;
            if (reader)
                reader(bytes);
        });
        if (!reply)
            return false;
        if (ended)
            return true;
        // A list cut short (or an error page sent as 200) would otherwise
        // read as a complete list with fewer rows. The reply stays for the
        // caller's message.
        NoteListEndMissing(*reply);
        return false;
    } catch (...) {
        NoteFailure(std::current_exception());
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
    } catch (...) {
        NoteFailure(std::current_exception());
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
        NoteListEndMissing(*reply);
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
