#include "coupons/CouponCsv.h"

#include "coupons/CouponInput.h"
#include "coupons/CouponRecord.h"
#include "coupons/Csv.h"
#include "coupons/ListReply.h"
#include "platform/FileSystem.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>
#include <optional>

namespace quillory {

const std::vector<std::string>& CouponCsvColumns() {
    static const std::vector<std::string> columns = {
        "id",          "code",       "name",     "expired",     "expiry_type", "days",
        "expiry_date", "order_page", "comments", "create_date", "uses",        "status"};
    return columns;
}

std::string CouponCsvHeader() {
    return FormatCsvRow(CouponCsvColumns());
}

std::string CouponCsvRow(const TCoupon& c) {
    TCsvRow row = {c.Id,
                   c.Code,
                   c.Name,
                   c.Expired ? "1" : "0",
                   c.ExpiryText(),
                   c.DaysText(),
                   c.ExpiryDateText(),
                   c.OrderPage,
                   c.Comments,
                   c.CreateDate,
                   c.Uses ? std::to_string(*c.Uses) : std::string(),
                   c.Status};
    // No cell is run as a formula when the file is opened in a spreadsheet;
    // import takes the guard off again.
    for (auto& cell : row)
        cell = GuardCsvCell(cell);
    return FormatCsvRow(row);
}

std::string FormatCouponCsv(const std::vector<TCoupon>& coupons) {
    std::string text = CouponCsvHeader();
    for (const auto& c : coupons)
        text += CouponCsvRow(c);
    return text;
}

std::string ReadCouponCsvFile(const std::string& path) {
    if (auto bytes = ReadRegularFile(path, kMaxCouponCsvBytes))
        return *bytes;
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    const std::string shown = "\"" + path + "\"";
    if (!fs::exists(status))
        throw ECouponCsvError("The file " + shown + " does not exist.");
    if (!fs::is_regular_file(status))
        throw ECouponCsvError(shown + " is not a regular file (it is a folder, a named pipe or a "
                                      "device); import reads coupons from a regular CSV file.");
    const auto size = fs::file_size(path, error);
    if (!error && size > kMaxCouponCsvBytes)
        throw ECouponCsvError("The file " + shown +
                              " is larger than 256 MiB; import reads at most that.");
    throw ECouponCsvError("The file " + shown + " cannot be read.");
}

namespace {

std::string LowerTrimmed(const std::string& text) {
    std::string out = TrimText(text);
    for (char& ch : out)
        ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    return out;
}

} // namespace

std::vector<TCouponCsvRow> ReadCouponCsv(std::string_view text, const std::string& source) {
    std::vector<TCsvRecord> rows;
    try {
        rows = ParseCsvFile(text);
    } catch (const ECsvError& e) {
        throw ECouponCsvError(source + ", line " + std::to_string(e.Line) + ": " + e.what());
    }
    if (rows.empty())
        throw ECouponCsvError(source + " is empty; it needs a header row.");
    const auto& known = CouponCsvColumns();
    std::map<std::string, std::size_t> column;
    for (std::size_t i = 0; i < rows[0].Fields.size(); ++i) {
        const std::string name = LowerTrimmed(rows[0].Fields[i]);
        if (std::find(known.begin(), known.end(), name) == known.end())
            throw ECouponCsvError("Unknown column \"" + name +
                                  "\" in the header row; known columns: "
                                  "id, code, name, expired, expiry_type, days, expiry_date, "
                                  "order_page, comments, create_date, uses, status.");
        if (!column.emplace(name, i).second)
            throw ECouponCsvError("The column \"" + name + "\" appears twice in the header row.");
    }
    if (!column.count("code") || !column.count("name"))
        throw ECouponCsvError("The header row needs the columns \"code\" and \"name\".");

    std::vector<TCouponCsvRow> out;
    const std::string today = TodayYMD();
    for (std::size_t r = 1; r < rows.size(); ++r) {
        const TCsvRecord& row = rows[r];
        if (row.Fields.size() == 1 && row.Fields[0].empty())
            continue; // a blank line
        TCouponCsvRow& result = out.emplace_back();
        result.Line = row.Line;
        if (row.Fields.size() != rows[0].Fields.size()) {
            result.Problem = "it has " + std::to_string(row.Fields.size()) +
                             " fields, the header row " + std::to_string(rows[0].Fields.size()) +
                             ".";
            continue;
        }
        // A cell as it was before export guarded it against formulas.
        auto cell = [&](const char* name) -> std::optional<std::string> {
            auto it = column.find(name);
            if (it == column.end())
                return std::nullopt;
            return UnguardCsvCell(row.Fields[it->second]);
        };
        auto get = [&](const char* name, const std::string& fallback) {
            auto v = cell(name);
            return !v || v->empty() ? fallback : *v;
        };
        TCoupon& c = result.Coupon;
        c.Code = get("code", "");
        c.Name = get("name", "");
        const std::string expired = get("expired", "0");
        c.SetExpiredText(ExpiredFromWord(expired).value_or(expired));
        if (auto type = cell("expiry_type"))
            c.SetExpiryText(ExpiryTypeFromWord(*type).value_or(*type));
        c.SetDaysText(get("days", "1"));
        c.SetExpiryDateText(get("expiry_date", today));
        c.OrderPage = get("order_page", "");
        c.Comments = get("comments", "");
        c.CreateDate = get("create_date", "");
        result.Code = TrimCouponCode(c.Code);
        auto problem = CheckCouponInput(c);
        if (!problem)
            problem = ReadUseCount(TrimText(get("uses", "")), c.Uses);
        if (problem)
            result.Problem = *problem;
    }
    return out;
}

} // namespace quillory
