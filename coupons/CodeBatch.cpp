#include "coupons/CodeBatch.h"

#include "coupons/CouponRecord.h"
#include "coupons/ListReply.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <map>
#include <random>
#include <stdexcept>

namespace quillory {

std::optional<TCodeAlphabet> CodeAlphabetFromWord(const std::string& word) {
    std::string w;
    for (char c : TrimText(word))
        w += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (w == "letters")
        return TCodeAlphabet::Letters;
    if (w == "digits")
        return TCodeAlphabet::Digits;
    if (w == "both")
        return TCodeAlphabet::Both;
    return std::nullopt;
}

const std::string& CodeAlphabetSymbols(TCodeAlphabet alphabet) {
    static const std::string letters = "ABCDEFGHJKMNPQRSTUVWXYZ";
    static const std::string digits = "23456789";
    static const std::string both = letters + "34679";
    switch (alphabet) {
    case TCodeAlphabet::Letters:
        return letters;
    case TCodeAlphabet::Digits:
        return digits;
    default:
        return both;
    }
}

std::string CodeKey(const std::string& code) {
    std::string key = code;
    for (char& c : key)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return key;
}

std::optional<std::string> CodeRulesProblem(const TCodeRules& rules) {
    if (rules.Count < 1 || rules.Count > kMaxBatchCoupons)
        return "The number of coupons must be from 1 to " + std::to_string(kMaxBatchCoupons) + ".";
    if (rules.Length < kMinCodeLength || rules.Length > kMaxCodeLength)
        return "The code length must be from " + std::to_string(kMinCodeLength) + " to " +
               std::to_string(kMaxCodeLength) + ".";
    for (const auto& [label, part] :
         {std::pair<const char*, const std::string*>{"prefix", &rules.Prefix},
          {"suffix", &rules.Suffix}}) {
        if (CouponCodeHasBlank(*part))
            return std::string("The ") + label + " cannot contain blanks or control characters.";
        if (!FitsListReply(*part) || part->find('"') != std::string::npos)
            return std::string("The ") + label + " cannot contain \"^\" or a quote.";
    }
    if (rules.Prefix.size() + rules.Suffix.size() + static_cast<std::size_t>(rules.Length) >
        kMaxCodeBytes)
        return "Prefix, code and suffix together are longer than " + std::to_string(kMaxCodeBytes) +
               " bytes.";
    // Room for ten times the codes asked for, so that drawing distinct codes
    // (and redrawing taken ones) stays quick.
    const double room =
        std::pow(static_cast<double>(CodeAlphabetSymbols(rules.Alphabet).size()), rules.Length);
    if (room < 10.0 * rules.Count)
        return "Codes of " + std::to_string(rules.Length) +
               " characters from this alphabet allow too few different codes for " +
               std::to_string(rules.Count) + " coupons; choose a longer code.";
    return std::nullopt;
}

std::vector<std::string> DrawCouponCodes(const TCodeRules& rules, int count,
                                         std::set<std::string>& taken) {
    // Codes must not be guessable from one another: every symbol comes from
    // the system's random source.
    std::random_device source;
    const std::string& symbols = CodeAlphabetSymbols(rules.Alphabet);
    std::uniform_int_distribution<std::size_t> pick(0, symbols.size() - 1);
    std::vector<std::string> codes;
    codes.reserve(static_cast<std::size_t>(std::max(count, 0)));
    // Rules CodeRulesProblem accepts leave room for ten times the codes; a
    // caller that skipped it gets an error instead of an endless draw.
    long long attempts = 0;
    const long long limit = 1000LL * std::max(count, 1) + 100000;
    while (static_cast<int>(codes.size()) < count) {
        if (++attempts > limit)
            throw std::runtime_error("No more distinct codes can be drawn by these rules.");
        std::string code = rules.Prefix;
        for (int i = 0; i < rules.Length; ++i)
            code += symbols[pick(source)];
        code += rules.Suffix;
        if (taken.insert(CodeKey(code)).second)
            codes.push_back(std::move(code));
    }
    return codes;
}

TDrawnAdd AddRedrawingTakenCodes(TCouponService& service, std::vector<TCoupon>& coupons,
                                 const std::vector<const TCodeRules*>& rules,
                                 std::set<std::string>& taken, const TBulkProgress& progress) {
    TDrawnAdd result;
    result.Rows.resize(coupons.size());
    std::vector<std::size_t> pending(coupons.size());
    for (std::size_t i = 0; i < pending.size(); ++i)
        pending[i] = i;
    const std::size_t total = coupons.size();
    for (int round = 0; !pending.empty(); ++round) {
        const std::size_t before = result.Order.size();
        std::vector<TCoupon> sending;
        sending.reserve(pending.size());
        for (std::size_t i : pending)
            sending.push_back(coupons[i]);
        auto rows = service.AddCoupons(sending, [&](std::size_t done, std::size_t) {
            if (!progress || progress(std::min(before + done, total), total))
                return true;
            result.Cancelled = true;
            return false;
        });
        result.FellBack = result.FellBack || service.LastBulkFellBack();
        std::vector<std::size_t> again;
        bool stopped = false;
        for (std::size_t k = 0; k < pending.size(); ++k) {
            const std::size_t i = pending[k];
            TBulkRowResult& row = rows[k];
            if (row.State == TBulkRowState::Added) {
                coupons[i].Id = row.Id;
                result.Order.push_back(i);
            } else if (row.State == TBulkRowState::CodeExists && round < kRedrawRounds) {
                again.push_back(i);
            } else if (row.State == TBulkRowState::NotSent || row.State == TBulkRowState::Failed) {
                stopped = true;
            }
            result.Rows[i] = std::move(row);
        }
        if (stopped) {
            // Cancelled, or the service failed: what is left is reported, not sent.
            for (std::size_t i : again)
                result.Rows[i] = {
                    TBulkRowState::CodeExists, {}, "the code was taken and the batch stopped"};
            break;
        }
        // A taken code is drawn anew (the old one stays in `taken`), one draw
        // for all the coupons that share their rules.
        std::map<const TCodeRules*, std::vector<std::size_t>> byRules;
        for (std::size_t i : again)
            byRules[rules[i]].push_back(i);
        for (const auto& [r, indexes] : byRules) {
            auto fresh = DrawCouponCodes(*r, static_cast<int>(indexes.size()), taken);
            for (std::size_t k = 0; k < indexes.size(); ++k)
                coupons[indexes[k]].Code = std::move(fresh[k]);
        }
        pending = std::move(again);
    }
    return result;
}

TBatchResult AddCouponBatch(TCouponService& service, const TCoupon& pattern,
                            const TCodeRules& rules, const TBulkProgress& progress) {
    std::set<std::string> taken;
    std::vector<TCoupon> coupons;
    for (auto& code : DrawCouponCodes(rules, rules.Count, taken)) {
        TCoupon c = pattern;
        c.Id.clear();
        c.Code = std::move(code);
        coupons.push_back(std::move(c));
    }
    const std::vector<const TCodeRules*> shared(coupons.size(), &rules);
    TDrawnAdd added = AddRedrawingTakenCodes(service, coupons, shared, taken, progress);
    TBatchResult result;
    result.FellBack = added.FellBack;
    result.Cancelled = added.Cancelled;
    for (std::size_t i : added.Order)
        result.Added.push_back(coupons[i]);
    for (std::size_t i = 0; i < coupons.size(); ++i)
        if (added.Rows[i].State != TBulkRowState::Added)
            result.NotAdded.emplace_back(std::move(coupons[i]), std::move(added.Rows[i]));
    return result;
}

} // namespace quillory
