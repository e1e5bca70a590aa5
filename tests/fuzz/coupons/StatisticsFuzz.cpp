// Decoding of the statistics reply (action 6) into traces. Besides not
// crashing: every decoded date-time is a valid one that reads back the same
// from its "yyyy-mm-dd hh:mm:ss" form, the code list holds each code once
// (without regard to case), the CSV export reads back to the same values,
// every sort order is a permutation ordered by its column, and the sums per
// coupon add up to the rows.
#include "coupons/Csv.h"
#include "coupons/ListReply.h"
#include "coupons/Statistics.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

using namespace quillory;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    TTraceList list;
    try {
        list.ParseStatistics(text);
    } catch (const EListReplyError&) {
        // The records before the failing one stay; they are checked below.
    }
    if (list.Codes().size() > list.Count())
        std::abort();
    std::vector<std::size_t> rows;
    for (std::size_t i = 0; i < list.Count(); ++i) {
        const TTrace& t = list[i];
        if (std::fabs(ParseServerDateTime(FormatIsoDateTime(t.DateUsed())) - t.DateUsed()) > 1e-6)
            std::abort();
        if (t.ComputerIP().find('"') != std::string::npos)
            std::abort();
        rows.push_back(i);
    }
    const std::vector<TCsvRecord> csv = ParseCsv(StatisticsCsv(list.Traces(), rows));
    if (csv.size() != rows.size() + 1)
        std::abort();
    for (std::size_t i = 0; i < rows.size(); ++i)
        if (csv[i + 1].Fields.size() != 3 ||
            UnguardCsvCell(csv[i + 1].Fields[0]) != list[i].Code() ||
            UnguardCsvCell(csv[i + 1].Fields[2]) != list[i].ComputerIP())
            std::abort();
    for (int column = 0; column < kTraceColumnCount; ++column) {
        const std::vector<std::size_t> sorted = SortTraceRows(list, rows, column, column == 1);
        std::vector<char> seen(rows.size(), 0);
        for (std::size_t r : sorted)
            if (r >= seen.size() || seen[r]++)
                std::abort();
        if (sorted.size() != rows.size())
            std::abort();
        for (std::size_t i = 1; column == tcComputerIP && i < sorted.size(); ++i)
            if (CompareComputerIPs(list[sorted[i - 1]].ComputerIP(), list[sorted[i]].ComputerIP()) >
                0)
                std::abort();
    }
    std::size_t summed = 0;
    for (const TCouponSum& sum : SumByCoupon(list, rows))
        summed += sum.Redemptions;
    if (summed != rows.size())
        std::abort();
    // Any text may stand where a date-time is read.
    try {
        ParseServerDateTime(text);
    } catch (const std::exception&) {
    }
    return 0;
}
