#include "coupons/CouponChanges.h"

#include "coupons/CouponInput.h"
#include "coupons/CouponRecord.h"
#include "coupons/ListReply.h"

#include <algorithm>
#include <set>
#include <unordered_map>

namespace quillory {

std::size_t TCouponsOutcome::Count(TChangeState state) const {
    return static_cast<std::size_t>(
        std::count_if(Results.begin(), Results.end(),
                      [state](const TChangeResult& r) { return r.State == state; }));
}

namespace {

// Why the service failed, for a coupon's result.
TChangeResult FailedResult(const TCouponService& service) {
    return {TChangeState::Failed, service.FailureReason()};
}

// After a failed request or a cancel: the coupons from `from` on that were
// still to be sent are not sent.
void NotSentFrom(TCouponsOutcome& out, std::size_t from) {
    for (std::size_t i = from; i < out.Results.size(); ++i)
        if (out.Results[i].State == TChangeState::Done ||
            out.Results[i].State == TChangeState::NotSent)
            out.Results[i] = {TChangeState::NotSent, {}};
}

// One coupon's record (action 9).
TChangeResult FetchOne(TCouponService& service, const std::string& id, TCoupon& coupon) {
    std::string record;
    if (!service.GetCoupon(id, record)) {
        if (service.LastFailure().Kind == TFailureKind::None)
            return {TChangeState::Gone, {}};
        return FailedResult(service);
    }
    try {
        const TListReplyView fields(std::move(record), 0, kCouponRecordFields + 1);
        if (fields.RecordCount() == 0)
            throw EListReplyError("The coupon's record is empty.", 0);
        coupon = CouponFromView(fields, 0);
    } catch (const std::exception& e) {
        return {TChangeState::Refused, std::string("its record cannot be read: ") + e.what()};
    }
    coupon.Id = id;
    return {TChangeState::Done, {}};
}

// Every coupon of `ids` from one list request (action 5). False when the
// request failed: every coupon is then Failed.
bool FetchByList(TCouponService& service, const std::vector<std::string>& ids, bool details,
                 const TRunAside& runAside, TCouponsOutcome& out) {
    std::unordered_map<std::string, std::size_t> wanted;
    for (std::size_t i = 0; i < ids.size(); ++i)
        wanted.emplace(ids[i], i);
    const bool ok = service.RefreshCoupons(
        [&](const std::string& reply) {
            auto decode = [&] {
                const TListReplyView list = TListReplyView::Borrowing(
                    reply, kCouponRecordFields,
                    details ? kDetailedRecordFields : kCouponRecordFields + 1);
                for (std::size_t r = 0; r < list.RecordCount(); ++r) {
                    const std::string id = TrimText(RemoveQuotes(list.Field(r, 0)));
                    auto it = wanted.find(id);
                    if (it == wanted.end())
                        continue;
                    TCoupon& c = out.Coupons[it->second];
                    c = CouponFromView(list, r, details);
                    c.Id = id;
                    out.Results[it->second] = {TChangeState::Done, {}};
                }
                if (!list.Complete())
                    throw EListReplyError(list.Error(), list.RecordCount());
            };
            if (runAside)
                runAside(decode);
            else
                decode();
        },
        details);
    for (std::size_t i = 0; i < ids.size(); ++i) {
        if (!ok) {
            out.Results[i] = FailedResult(service);
            out.Coupons[i] = TCoupon();
        } else if (out.Results[i].State != TChangeState::Done) {
            out.Results[i] = {TChangeState::Gone, {}};
        }
    }
    return ok;
}

TCouponsOutcome Sized(std::size_t n) {
    TCouponsOutcome out;
    out.Results.resize(n);
    out.Coupons.resize(n);
    return out;
}

} // namespace

TCouponsOutcome FetchCouponsById(TCouponService& service, const std::vector<std::string>& ids,
                                 bool withDetails, const TBulkProgress& progress,
                                 const TRunAside& runAside) {
    TCouponsOutcome out = Sized(ids.size());
    const std::size_t n = ids.size();
    if (n == 0)
        return out;
    if (withDetails || n > kFetchOneByOneUpTo) {
        if (progress && !progress(0, n)) {
            out.Cancelled = true;
            return out;
        }
        FetchByList(service, ids, withDetails, runAside, out);
    } else {
        for (std::size_t i = 0; i < n; ++i) {
            if (progress && i > 0 && !progress(i, n)) {
                out.Cancelled = true;
                NotSentFrom(out, i);
                return out;
            }
            out.Results[i] = FetchOne(service, ids[i], out.Coupons[i]);
            if (out.Results[i].State == TChangeState::Failed) {
                NotSentFrom(out, i + 1);
                return out;
            }
        }
    }
    if (progress)
        progress(n, n);
    return out;
}

bool ApplyCouponChange(TCoupon& c, const TCouponChange& change) {
    switch (change.Kind) {
    case TCouponChange::MarkExpired:
    case TCouponChange::ClearExpired: {
        const bool expired = change.Kind == TCouponChange::MarkExpired;
        if (c.Expired == expired)
            return false;
        c.Expired = expired;
        return true;
    }
    case TCouponChange::SetExpiryDate: {
        const TDateTime day = DateOf(change.Date);
        if (c.Expiry == TExpiryKind::ByDate && c.ExpiryDate == day)
            return false;
        c.Expiry = TExpiryKind::ByDate;
        c.ExpiryDate = day;
        return true;
    }
    }
    return false;
}

TCouponsOutcome ChangeCoupons(TCouponService& service, const std::vector<std::string>& ids,
                              const TCouponChange& change, const TBulkProgress& progress,
                              const TRunAside& runAside) {
    TCouponsOutcome out = Sized(ids.size());
    const std::size_t n = ids.size();
    const bool oneByOne = n <= kFetchOneByOneUpTo;
    if (!oneByOne && !FetchByList(service, ids, false, runAside, out))
        return out;
    for (std::size_t i = 0; i < n; ++i) {
        if (progress && !progress(i, n)) {
            out.Cancelled = true;
            NotSentFrom(out, i);
            return out;
        }
        if (oneByOne) {
            out.Results[i] = FetchOne(service, ids[i], out.Coupons[i]);
            if (out.Results[i].State == TChangeState::Failed) {
                NotSentFrom(out, i + 1);
                return out;
            }
        }
        if (out.Results[i].State != TChangeState::Done)
            continue; // gone, or its record cannot be read
        TCoupon& c = out.Coupons[i];
        if (!ApplyCouponChange(c, change)) {
            out.Results[i] = {TChangeState::Unchanged, {}};
            continue;
        }
        c.Code = TrimCouponCode(c.Code);
        if (c.CreateDate.empty())
            c.CreateDate = TodayYMD(); // what the editor sends; the service keeps its own
        switch (service.EditCoupon(c)) {
        case TCouponResult::Done:
            out.Results[i] = {TChangeState::Done, {}};
            break;
        case TCouponResult::NoSuchCoupon:
            out.Results[i] = {TChangeState::Gone, {}};
            break;
        default: {
            const TServiceFailure& f = service.LastFailure();
            // A status 400 with the server's reason, or a reply of its own
            // ("EXIST RECORD"), refuses this coupon only.
            if (f.StatusCode == 400 && !f.ServerText.empty()) {
                out.Results[i] = {TChangeState::Refused, OneLineReason(f.ServerText)};
            } else if (f.Kind == TFailureKind::None) {
                out.Results[i] = {TChangeState::Refused, service.FailureReason()};
            } else {
                out.Results[i] = FailedResult(service);
                NotSentFrom(out, i + 1);
                return out;
            }
        }
        }
    }
    if (progress && n > 0)
        progress(n, n);
    return out;
}

TCodeRules CopyCodeRules(const std::string& code) {
    TCodeRules rules;
    rules.Count = 1;
    std::string body = code;
    const std::size_t cut = code.find_last_of("-_");
    if (cut != std::string::npos &&
        code.size() - cut - 1 >= static_cast<std::size_t>(kMinCodeLength)) {
        rules.Prefix = code.substr(0, cut + 1);
        body = code.substr(cut + 1);
    }
    auto fit = [](std::size_t length) {
        return static_cast<int>(std::clamp<std::size_t>(length, kMinCodeLength, kMaxCodeLength));
    };
    auto isDigit = [](unsigned char ch) { return ch >= '0' && ch <= '9'; };
    auto isLetter = [](unsigned char ch) {
        return (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z');
    };
    auto alphabetOf = [&](const std::string& part) {
        if (!part.empty() && std::all_of(part.begin(), part.end(), isDigit))
            return TCodeAlphabet::Digits;
        if (!part.empty() && std::all_of(part.begin(), part.end(), isLetter))
            return TCodeAlphabet::Letters;
        return TCodeAlphabet::Both;
    };
    rules.Length = fit(body.size());
    rules.Alphabet = alphabetOf(body);
    if (CodeRulesProblem(rules)) {
        // A prefix that cannot stand in a drawn code: the whole code is drawn.
        rules.Prefix.clear();
        rules.Length = fit(code.size());
        rules.Alphabet = alphabetOf(code);
    }
    return rules;
}

TCouponsOutcome DuplicateCoupons(TCouponService& service, const std::vector<std::string>& ids,
                                 const TBulkProgress& progress, const TRunAside& runAside) {
    const std::size_t n = ids.size();
    // The fetch, then the add, on one scale of 2n steps.
    auto phase = [&](std::size_t offset) -> TBulkProgress {
        if (!progress)
            return {};
        return [&progress, offset, n](std::size_t done, std::size_t) {
            return progress(offset + std::min(done, n), 2 * n);
        };
    };
    TCouponsOutcome out = FetchCouponsById(service, ids, false, phase(0), runAside);
    const bool fetchFailed = out.Count(TChangeState::Failed) > 0;
    if (out.Cancelled || fetchFailed) {
        for (auto& r : out.Results)
            if (r.State == TChangeState::Done)
                r = {TChangeState::NotSent, {}};
        return out;
    }
    std::vector<std::size_t> from;
    std::vector<TCoupon> copies;
    std::vector<TCodeRules> rules;
    for (std::size_t i = 0; i < n; ++i) {
        if (out.Results[i].State != TChangeState::Done)
            continue;
        TCoupon copy = out.Coupons[i];
        copy.Id.clear();
        copy.SetUsesText({});
        copy.Status.clear();
        copy.CreateDate = TodayYMD();
        rules.push_back(CopyCodeRules(TrimCouponCode(copy.Code)));
        from.push_back(i);
        copies.push_back(std::move(copy));
    }
    std::set<std::string> taken;
    std::vector<const TCodeRules*> rulesOf;
    for (std::size_t k = 0; k < copies.size(); ++k) {
        copies[k].Code = DrawCouponCodes(rules[k], 1, taken).front();
        rulesOf.push_back(&rules[k]);
    }
    const TDrawnAdd added = AddRedrawingTakenCodes(service, copies, rulesOf, taken, phase(n));
    out.Cancelled = added.Cancelled;
    for (std::size_t k = 0; k < copies.size(); ++k) {
        const std::size_t i = from[k];
        const TBulkRowResult& row = added.Rows[k];
        out.Coupons[i] = std::move(copies[k]);
        switch (row.State) {
        case TBulkRowState::Added:
            out.Results[i] = {TChangeState::Done, {}};
            break;
        case TBulkRowState::CodeExists:
        case TBulkRowState::Refused:
            out.Results[i] = {TChangeState::Refused, row.Reason};
            break;
        case TBulkRowState::Failed:
            out.Results[i] = {TChangeState::Failed, row.Reason};
            break;
        case TBulkRowState::NotSent:
            out.Results[i] = {TChangeState::NotSent, {}};
            break;
        }
    }
    return out;
}

} // namespace quillory
