#pragma once
// A coupon service on loopback that keeps added coupons in memory: the bulk
// add (action 10) and the single add (action 2), optionally without the bulk
// action (answered like an older server: 400 "unknown action").
#include "tests/support/CouponServiceScript.h"

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
    // The rows stored, in order (decoded bulk rows; for action 2 the code,
    // name and uses only).
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
            const std::string answer = Store({r.Field("coupcode"), r.Field("coupname"), "", "", "",
                                              "", "", "", "", r.Field("coupuses")});
            if (answer.rfind("REFUSED ", 0) == 0)
                return BadRequest("ERROR: " + answer.substr(8));
            return answer.rfind("ADDED", 0) == 0 ? "OK" : answer;
        }
        if (r.Action() == "1")
            return "OK";
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
