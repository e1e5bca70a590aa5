#pragma once
// The client side of the coupon service: every operation is one POST of a
// multipart form to the site address + "/" + the script name, whose "action"
// field selects the operation; the reply is a short plain-text body.
//
// No operation raises an error or shows anything: each returns its result and
// the caller chooses the message. A failed exchange counts like a negative
// reply. The site address and script name are read at the moment of each
// request, so a change of settings applies to the next request at once.
#include "coupons/Coupon.h"
#include "http/HTTPClient.h"

#include <exception>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace quillory {

// The script every request goes to.
inline constexpr const char* kCouponScriptName = "couponsactions.php";
// The read time-out every operation sets on the client before its request.
inline constexpr int kCouponReadTimeout = 60000;

// Reply tokens.
inline constexpr const char* kReplyOK = "OK";
inline constexpr const char* kReplyExistRecord = "EXIST RECORD";
inline constexpr const char* kReplyDontExistRecord = "DON'T EXIST RECORD";
// What stands in for the reply when the exchange fails (no server sends it).
inline constexpr const char* kReplyFailed = "BAD";
// What a 401 reply of the coupon service means to the seller.
inline constexpr const char* kRefusedCredentials =
    "The coupon service refused the user name or password.";

// What an add or edit request came to.
enum class TCouponResult {
    Done,         // "OK"
    CodeExists,   // add: "EXIST RECORD", the code is taken
    NoSuchCoupon, // edit: "DON'T EXIST RECORD", the coupon is gone
    Failed,       // any other reply, or a failed exchange (see LastFailure)
};

// Why an operation failed: the transport's kinds (in their order, so one
// converts to the other), then the service's own.
enum class TFailureKind {
    Other,          // anything else (a refused redirect, a reply too large, ...)
    Refused,        // nothing listens at the site's host and port
    TimedOut,       // connect, read or the whole exchange ran out of time
    UnknownHost,    // the site's host name is not known
    Unreachable,    // no route to the host, network or host down
    TLSCertificate, // the site's certificate was not accepted
    TLSHandshake,   // no secure connection could be set up otherwise
    HTTPStatus,     // an error status (other than a refusal)
    CutShort,       // the reply ended before it was complete
    None,           // no failure; or the server sent a reply of its own
    ServiceRefusal, // 401 (user name or password) or 403 (with the server's words)
    NotAList,       // a list was asked for and something else came
    BadRecord,      // a record of the reply could not be read
};
static_assert(static_cast<int>(TFailureKind::CutShort) ==
                  static_cast<int>(TNetFailureKind::CutShort),
              "the transport's kinds come first, in their order");

// Whether the server protects its order pages with signed passes, as its
// connection check says.
enum class TOrderPages { Unknown, Protected, NotProtected };
inline constexpr const char* kReplyOrdersProtected = "order pages protected";
inline constexpr const char* kReplyOrdersNotProtected = "order pages not protected";

// How one coupon of a bulk add came out.
enum class TBulkRowState {
    Added,      // stored; Id is its id when the server said it
    CodeExists, // the code is taken (also by an earlier coupon of the batch)
    Refused,    // the server refused the values; Reason says why
    Failed,     // the request failed (Reason says why): it may or may not be stored
    NotSent,    // cancelled, or not sent after a failed request
};

struct TBulkRowResult {
    TBulkRowState State = TBulkRowState::NotSent;
    std::string Id;
    std::string Reason;
};

// Reports a bulk add's progress: coupons done, coupons in all. Returning
// false stops it before its next request (the coupons not sent stay NotSent).
using TBulkProgress = std::function<bool(std::size_t done, std::size_t total)>;

// The most coupons one bulk request carries, and the most bytes of rows (a
// larger batch goes in several requests). The bytes stay below the 1 MB a
// request body may have under nginx's default client_max_body_size.
inline constexpr std::size_t kBulkMaxRows = 10000;
inline constexpr std::size_t kBulkMaxBytes = 768 * 1024;

struct TServiceFailure {
    TFailureKind Kind = TFailureKind::None;
    int StatusCode = 0;     // the error reply's status (400, 401, 500, ...), or 0
    int SocketError = 0;    // 10061, 10060, 11001, ..., or 0
    std::string ServerText; // the body of the error reply, trimmed
    std::string Detail;     // the error's own message, as the user may see it
};

class TCouponService {
public:
    using TTextSource = std::function<std::string()>;
    // Receives a list reply that ends with its end marker; an exception it throws makes
    // the operation fail (the rows it added before stay with the caller). The reader
    // may take the bytes over (a list can be hundreds of megabytes: no second copy).
    using TReplyReader = std::function<void(std::string& reply)>;

    // `webServer` and `scriptName` are asked at every request. The client is
    // shared: every operation sets its read time-out.
    TCouponService(
        THTTPClient& http, TTextSource webServer,
        TTextSource scriptName = [] { return std::string(kCouponScriptName); });

    // Action 1: true if the reply is exactly "OK".
    bool CheckService();
    // Action 1 with "details" = "1": true if the reply's first line is
    // exactly "OK". A server that knows the field adds a line saying whether
    // its order pages are protected; one that ignores it answers "OK" alone,
    // and `orders` is then Unknown.
    bool CheckServiceDetails(TOrderPages& orders);
    // Action 2: Done for "OK", CodeExists for "EXIST RECORD", Failed for
    // anything else. The coupon's id is sent as it is (empty for a new
    // coupon); a use count, when the coupon has one, goes out as "coupuses"
    // (a restored backup carries it; the editor never sets one).
    TCouponResult AddCoupon(const TCoupon& coupon);
    // Action 10: adds `coupons` in as few requests as the limits above allow,
    // each request one transaction on the server, and answers for every
    // coupon in order. A server without the action (400 "unknown action")
    // gets one action 2 per coupon instead, `progress` being asked after
    // each; LastBulkFellBack() then says so. A failed request ends the add:
    // its coupons are Failed, the later ones NotSent (LastFailure() says why).
    std::vector<TBulkRowResult> AddCoupons(const std::vector<TCoupon>& coupons,
                                           const TBulkProgress& progress = {});
    bool LastBulkFellBack() const { return FBulkFellBack; }
    // Action 3: Done for "OK", NoSuchCoupon for "DON'T EXIST RECORD", Failed
    // for anything else.
    TCouponResult EditCoupon(const TCoupon& coupon);
    // Action 4: ids joined by "," without spaces, or "all". True if the
    // reply is exactly "OK".
    bool DeleteCoupons(const std::string& ids);
    // Action 5: true if the reply ends with its end marker and `reader`
    // accepted it. A reply without the marker (cut short, or no list at all)
    // never reaches `reader`: LastError() then says why. With `details` the
    // request carries "details" = "1", and the server appends each coupon's
    // use count and status to its record (see CouponRecordFromFields).
    bool RefreshCoupons(const TReplyReader& reader, bool details = false);
    // Action 6: the same rule, for the redemption records.
    bool LoadStatistics(const TReplyReader& reader);
    // Action 8: true only if the reply is exactly "EXIST RECORD"; a failed
    // exchange counts as "does not exist".
    bool CouponCodeExists(const std::string& code);
    // Action 9: true if the coupon's record came back whole; `record` is then
    // the reply with every "^OK" removed. A reply without "OK" means there is
    // no such coupon (false, LastError() empty); one holding "OK", or
    // beginning as a record does, but not ending with the end marker was cut
    // short (false, LastError() set).
    // After a failed exchange `record` keeps what the caller put in it.
    bool GetCoupon(const std::string& id, std::string& record);

    // The URL of the next request.
    std::string ServiceURL() const;
    // The reply text of the last operation ("BAD" after a failed exchange).
    const std::string& LastReply() const { return FLastReply; }
    // Why the last operation failed: its kind and details. Kind None after a
    // success and after a reply that is no failure of the exchange (a token,
    // or a text of the server's own, which FailureReason quotes).
    const TServiceFailure& LastFailure() const { return FFailure; }
    // The failure's message: the transport or decoding error, empty when the
    // exchange itself went well.
    const std::string& LastError() const { return FFailure.Detail; }
    // Why the server refused the last operation: empty unless its reply had
    // the status 401 (then kRefusedCredentials) or 403 (then the server's
    // reply text, trimmed, which tells the seller what to set up).
    std::string LastRefusal() const;
    // The body of the last error reply (any status from 400 on), trimmed:
    // the server's own reason, such as "ERROR: cannot connect to the
    // database". Empty when there was none.
    const std::string& LastServerText() const { return FFailure.ServerText; }
    // The status of the last error reply (400, 500, ...), or 0.
    int LastReplyCode() const { return FFailure.StatusCode; }
    // The socket error number of the last failed connection (10061 refused,
    // 10060 timed out, 11001 unknown host, ...), or 0.
    int LastSocketError() const { return FFailure.SocketError; }
    // Why the last operation failed, in one line a person can read: the
    // refusal when there is one, else the server's own text of an error reply
    // after its status line, else the transport or decoding error, else the
    // reply the server sent instead of the expected one. Control characters
    // become blanks, runs of blanks one blank, and the text is cut to
    // kMaxFailureReason bytes (ending in "..."). Empty after a success.
    std::string FailureReason() const;
    // True while a request of this client is in flight: a second command
    // should return at once instead of starting one.
    bool Busy() const { return FHTTP.Busy(); }

    // The time-out set before each request (tests shorten it).
    int ReadTimeout = kCouponReadTimeout;

private:
    using TFields = std::vector<std::pair<std::string, std::string>>;
    // Posts the form (action, fields, then an empty "end") and returns the
    // reply (kept as LastReply()), or nullptr when the exchange failed.
    // `reader` runs inside the same guard when the reply ends with the list's
    // end marker.
    const std::string* Exchange(const std::string& action, const TFields& fields,
                                const TReplyReader& reader = {});
    std::string ReplyOr(const std::string& action, const TFields& fields,
                        const std::string& substitute);
    bool ReadList(const std::string& action, const TReplyReader& reader,
                  const TFields& fields = {});
    // Records a failed exchange or decoding from the exception in flight.
    void NoteFailure(std::exception_ptr error);
    // A list reply without its end marker: cut short, or no list at all.
    void NoteListEndMissing(const std::string& reply);
    static TCouponResult CouponResult(const std::string& reply, const char* secondToken,
                                      TCouponResult second);

    // One request of AddCoupons: `results` gets the rows [first, last). False
    // when the server does not know the action (nothing was stored).
    bool AddBulkChunk(const std::vector<TCoupon>& coupons, std::size_t first, std::size_t last,
                      std::vector<TBulkRowResult>& results);
    TBulkRowResult AddOneOfBulk(const TCoupon& coupon);

    THTTPClient& FHTTP;
    bool FBulkFellBack = false;
    TTextSource FWebServer;
    TTextSource FScriptName;
    std::string FLastReply;
    TServiceFailure FFailure;
};

// The longest reason FailureReason gives, in bytes.
inline constexpr std::size_t kMaxFailureReason = 300;

// `text` on one line: control characters (NUL included) turned into blanks,
// runs of blanks into one, no blank at either end, at most `limit` bytes
// (a longer text is cut and ends in "...").
std::string OneLineReason(const std::string& text, std::size_t limit = kMaxFailureReason);

// True if `reply` contains the capital pair "OK" anywhere.
bool ReplyContainsOK(const std::string& reply);

// The code generator of the coupon editor: draws six-letter codes with
// RandomCouponCode(5) and asks the service about each until one is reported
// free. `maxAttempts` 0 means no limit; when the limit is reached, nothing is
// returned. `avoid` lists codes that also count as taken (a batch in the
// making).
std::optional<std::string> GenerateCouponCode(TCouponService& service, int maxAttempts = 0,
                                              const std::vector<std::string>& avoid = {});

} // namespace quillory
