// The bulk add of TCouponService (action 10) and its fallback to one add a
// coupon against a server without it.
#include "coupons/CouponService.h"

#include "coupons/ListReply.h"

#include <algorithm>

namespace quillory {

namespace {

// A value as a field of a bulk row: "%", tab, CR, LF and NUL as %XX, which
// the server's rawurldecode turns back; every other byte goes as it is.
void AppendBulkValue(std::string& out, const std::string& value) {
    static const char hex[] = "0123456789ABCDEF";
    for (unsigned char c : value) {
        if (c == '%' || c == '\t' || c == '\r' || c == '\n' || c == '\0') {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
}

// The row of one coupon: code, name, expired, expiry type, days, expiry
// date, order page, comments, create date, use count (empty: none).
std::string BulkRow(const TCoupon& c) {
    std::string row;
    const std::string fields[] = {
        c.Code,      c.Name,     c.ExpiredText(), c.ExpiryText(), c.DaysText(), c.ExpiryDateText(),
        c.OrderPage, c.Comments, c.CreateDate,    c.UsesText()};
    for (const auto& f : fields) {
        if (!row.empty() || &f != &fields[0])
            row += '\t';
        AppendBulkValue(row, f);
    }
    return row;
}

bool IsUnknownAction(const TServiceFailure& f) {
    return f.StatusCode == 400 && f.ServerText.find("unknown action") != std::string::npos;
}

} // namespace

bool TCouponService::AddBulkChunk(const std::vector<TCoupon>& coupons, std::size_t first,
                                  std::size_t last, std::vector<TBulkRowResult>& results) {
    std::string rows;
    for (std::size_t i = first; i < last; ++i) {
        if (i > first)
            rows += '\n';
        rows += BulkRow(coupons[i]);
    }
    const std::string* reply = nullptr;
    try {
        reply = Exchange("10", {{"coupcount", std::to_string(last - first)}, {"coupbulk", rows}});
    } catch (...) {
        NoteFailure(std::current_exception());
    }
    auto failAll = [&](const std::string& why) {
        for (std::size_t i = first; i < last; ++i)
            results[i] = {TBulkRowState::Failed, {}, why};
    };
    if (!reply) {
        if (IsUnknownAction(FFailure))
            return false;
        FLastReply = kReplyFailed;
        failAll(FailureReason());
        return true;
    }
    // One line a coupon, then "END".
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start <= reply->size()) {
        std::size_t end = reply->find('\n', start);
        if (end == std::string::npos)
            end = reply->size();
        std::string line = reply->substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(std::move(line));
        start = end + 1;
    }
    if (lines.size() != last - first + 1 || lines.back() != "END") {
        FFailure = {};
        FFailure.Kind = TFailureKind::BadRecord;
        FFailure.Detail = "The reply to the bulk add could not be read; the coupons may or may "
                          "not have been added.";
        failAll(FailureReason());
        return true;
    }
    for (std::size_t i = first; i < last; ++i) {
        const std::string& line = lines[i - first];
        TBulkRowResult& r = results[i];
        if (line.rfind("ADDED ", 0) == 0) {
            r = {TBulkRowState::Added, line.substr(6), {}};
        } else if (line == kReplyExistRecord) {
            r = {TBulkRowState::CodeExists, {}, "the code is already in use"};
        } else if (line.rfind("REFUSED ", 0) == 0) {
            r = {TBulkRowState::Refused, {}, OneLineReason(line.substr(8))};
        } else {
            r = {TBulkRowState::Failed, {}, "the server answered: " + OneLineReason(line)};
        }
    }
    return true;
}

TBulkRowResult TCouponService::AddOneOfBulk(const TCoupon& coupon) {
    switch (AddCoupon(coupon)) {
    case TCouponResult::Done:
        return {TBulkRowState::Added, {}, {}};
    case TCouponResult::CodeExists:
        return {TBulkRowState::CodeExists, {}, "the code is already in use"};
    default:
        break;
    }
    // A status 400 with the server's reason refuses this coupon only.
    if (FFailure.StatusCode == 400 && !FFailure.ServerText.empty())
        return {TBulkRowState::Refused, {}, OneLineReason(FFailure.ServerText)};
    if (FFailure.Kind == TFailureKind::None)
        return {TBulkRowState::Refused, {}, FailureReason()};
    return {TBulkRowState::Failed, {}, FailureReason()};
}

std::vector<TBulkRowResult> TCouponService::AddCoupons(const std::vector<TCoupon>& coupons,
                                                       const TBulkProgress& progress) {
    FBulkFellBack = false;
    std::vector<TBulkRowResult> results(coupons.size());
    std::size_t next = 0;
    while (next < coupons.size()) {
        if (next > 0 && progress && !progress(next, coupons.size()))
            return results;
        // As many rows as the limits allow, at least one.
        std::size_t last = next, bytes = 0;
        while (last < coupons.size() && last - next < kBulkMaxRows) {
            const std::size_t size = BulkRow(coupons[last]).size() + 1;
            if (last > next && bytes + size > kBulkMaxBytes)
                break;
            bytes += size;
            ++last;
        }
        if (!AddBulkChunk(coupons, next, last, results)) {
            FBulkFellBack = true;
            break;
        }
        for (std::size_t i = next; i < last; ++i)
            if (results[i].State == TBulkRowState::Failed)
                return results; // the rest stays NotSent
        next = last;
    }
    if (!FBulkFellBack) {
        if (progress && !coupons.empty())
            progress(coupons.size(), coupons.size());
        return results;
    }
    // A server without the bulk action: one add a coupon.
    for (std::size_t i = next; i < coupons.size(); ++i) {
        if (i > next && progress && !progress(i, coupons.size()))
            return results;
        results[i] = AddOneOfBulk(coupons[i]);
        if (results[i].State == TBulkRowState::Failed)
            return results;
    }
    if (progress && !coupons.empty())
        progress(coupons.size(), coupons.size());
    return results;
}

} // namespace quillory
