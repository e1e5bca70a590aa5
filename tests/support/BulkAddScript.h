#pragma once
// A coupon service on loopback that keeps added coupons in memory: the bulk
// add (action 10) and the single add (action 2), optionally without the bulk
// action (answered like an older server: 400 "unknown action"); the list
// (action 5), one coupon's record (action 9) and the edit (action 3), the
// id of a coupon being its place in Stored counted from 1.
#include "tests/support/CouponServiceScript.h"

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <set>
#include <string>
#include <vector>

namespace quillory::testsupport {

// The fields of a bulk row, decoded as the server decodes them.
inline std::vector<std::string> BulkRowFields(const std::string& row) {
    std::vector<std::string> out(1);
    for (std::size_t i = 0; i < row.size(); ++i) {
        if (row[i] == '\t') {
            out.emplace_back();
        } else if (row[i] == '%' && i + 2 < row.size()) {
            out.back() += static_cast<char>(std::strtol(row.substr(i + 1, 2).c_str(), nullptr, 16));
            i += 2;
        } else {
            out.back() += row[i];
        }
    }
    return out;
}

inline std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> out(1);
    for (char c : text) {
        if (c == '\n')
            out.emplace_back();
        else
            out.back() += c;
    }
    return out;
}

class TBulkAddServer {
public:
    struct TStored {
        std::vector<std::string> Fields; // code, name, ..., uses (bulk) or the add's fields
    };
    // `withBulk` false: an older server. `refuse` may refuse a row by its
    // decoded fields (returns the reason, or empty).
    explicit TBulkAddServer(bool withBulk,
                            std::function<std::string(const std::vector<std::string>&)> refuse = {})
        : FWithBulk(withBulk), FRefuse(std::move(refuse)),
          FScript([this](const TCouponRequest& r) { return Answer(r); }) {}

    std::string SiteURL() const { return FScript.SiteURL(); }
    std::vector<std::string> Actions() const { return FScript.Actions(); }
    std::vector<TCouponRequest> Requests() const { return FScript.Requests(); }
    // Codes (upper case) that count as taken before anything is added.
    std::set<std::string> Taken;
    // The rows stored, in order: code, name, expired, expiry type, days,
    // expiry date, order page, comments, create date, uses (as a bulk row
    // carries them, or the fields of action 2). A test may put rows here.
    std::vector<std::vector<std::string>> Stored;

private:
    std::string Answer(const TCouponRequest& r) {
        if (r.Action() == "10" && FWithBulk) {
            std::string out;
            for (const auto& line : SplitLines(r.Field("coupbulk"))) {
                const auto fields = BulkRowFields(line);
                out += Store(fields) + "\n";
            }
            return out + "END";
        }
        if (r.Action() == "2") {
            std::vector<std::string> fields = EditFields(r);
            fields.push_back(r.Field("coupcreatedate"));
            fields.push_back(r.Field("coupuses") == "<none>" ? "" : r.Field("coupuses"));
            const std::string answer = Store(fields);
            if (answer.rfind("REFUSED ", 0) == 0)
                return BadRequest("ERROR: " + answer.substr(8));
            return answer.rfind("ADDED", 0) == 0 ? "OK" : answer;
        }
        if (r.Action() == "1")
            return "OK";
        if (r.Action() == "9" || r.Action() == "3") {
            const std::size_t at = StoredIndex(r.Field("coupid"));
            if (at >= Stored.size())
                return "DON'T EXIST RECORD";
            if (r.Action() == "9") {
                std::vector<std::string> record = {r.Field("coupid")};
                record.insert(record.end(), Stored[at].begin(), Stored[at].begin() + 9);
                return ListReplyOf({record});
            }
            const std::vector<std::string> fields = EditFields(r);
            if (FRefuse) {
                const std::string why = FRefuse(fields);
                if (!why.empty())
                    return BadRequest("ERROR: " + why);
            }
            // The create date and the use count stay those of the add.
            std::copy(fields.begin(), fields.end(), Stored[at].begin());
            return "OK";
        }
        if (r.Action() == "5") {
            std::vector<std::vector<std::string>> records;
            for (std::size_t i = 0; i < Stored.size(); ++i) {
                std::vector<std::string> record = {std::to_string(i + 1)};
                record.insert(record.end(), Stored[i].begin(), Stored[i].begin() + 9);
                if (r.Field("details") == "1") {
                    record.push_back(Stored[i][9].empty() ? "0" : Stored[i][9]);
                    record.push_back("active");
                }
                records.push_back(std::move(record));
            }
            return ListReplyOf(records);
        }
        return BadRequest("ERROR: unknown action");
    }

    // The fields an add or edit request carries, code to comments.
    static std::vector<std::string> EditFields(const TCouponRequest& r) {
        return {r.Field("coupcode"),       r.Field("coupname"),      r.Field("coupexpired"),
                r.Field("coupexpirtype"),  r.Field("coupexpirdays"), r.Field("coupexpirdate"),
                r.Field("couponorderurl"), r.Field("couponcomments")};
    }

    // The row of a coupon id ("1" is the first), or Stored.size().
    std::size_t StoredIndex(const std::string& id) const {
        if (id.empty() || id.size() > 9 || id.find_first_not_of("0123456789") != std::string::npos)
            return Stored.size();
        const std::size_t n = std::stoul(id);
        return n >= 1 && n <= Stored.size() ? n - 1 : Stored.size();
    }

    static std::string BadRequest(const std::string& body) {
        return "HTTP/1.1 400 Bad Request\r\nContent-Type: text/plain\r\nContent-Length: " +
               std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
    }

    std::string Store(const std::vector<std::string>& fields) {
        if (FRefuse) {
            const std::string why = FRefuse(fields);
            if (!why.empty())
                return "REFUSED " + why;
        }
        std::string key = fields[0];
        for (char& c : key)
            if (c >= 'a' && c <= 'z')
                c = static_cast<char>(c - 32);
        if (!Taken.insert(key).second)
            return "EXIST RECORD";
        Stored.push_back(fields);
        return "ADDED " + std::to_string(Stored.size());
    }

    bool FWithBulk;
    std::function<std::string(const std::vector<std::string>&)> FRefuse;
    TCouponServiceScript FScript;
};

} // namespace quillory::testsupport
