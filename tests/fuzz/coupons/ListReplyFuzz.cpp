// Decoding of coupon service list replies, and the command line's CSV files.
// Besides not crashing: whatever a reply decodes to is written again the way
// the server writes lists and must decode to the same records, and CSV rows
// written and read again stay the same.
#include "coupons/CouponList.h"
#include "coupons/CouponRecord.h"
#include "coupons/Csv.h"
#include "coupons/ListReply.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

using namespace quillory;

namespace {

std::string EncodeList(const std::vector<TListRecord>& records) {
    std::string out;
    for (const auto& r : records) {
        out += '"';
        for (std::size_t i = 0; i < r.size(); ++i)
            out += (i ? "\",\"" : "") + r[i];
        out += "\"^";
    }
    return out + "OK";
}

void CheckListReply(std::string_view text) {
    const TListReply reply = DecodeListReply(text);
    bool reencodable = reply.Complete;
    for (const auto& r : reply.Records)
        reencodable = reencodable && !r.empty();
    if (reencodable) {
        const TListReply again = DecodeListReply(EncodeList(reply.Records));
        if (!again.Complete || again.Records != reply.Records)
            std::abort();
    }
    for (std::size_t min : {std::size_t(4), std::size_t(9)}) {
        const TListReply part = DecodeListReply(text, min);
        if (part.Records.size() > reply.Records.size())
            std::abort();
    }
    // The in-place decoder (borrowed and owning) agrees with the general one.
    for (std::size_t min : {std::size_t(0), std::size_t(4)}) {
        const TListReply general = DecodeListReply(text, min);
        const TListReplyView borrowed = TListReplyView::Borrowing(text, min, 16);
        const TListReplyView owned(std::string(text), min, 16);
        for (const TListReplyView* view : {&borrowed, &owned}) {
            if (view->Complete() != general.Complete ||
                view->RecordCount() != general.Records.size())
                std::abort();
            for (std::size_t r = 0; r < view->RecordCount(); ++r) {
                if (view->FieldCount(r) != general.Records[r].size())
                    std::abort();
                for (std::size_t f = 0; f < std::min<std::size_t>(16, view->FieldCount(r)); ++f)
                    if (view->Field(r, f) != general.Records[r][f])
                        std::abort();
            }
        }
    }
    const TCouponList list{std::string(text)};
    for (std::size_t r = 0; r < list.Count(); ++r)
        (void)list.Id(r);
    (void)list.SortedOrder(ccName, true);
    try {
        DecodeCouponList(text);
    } catch (const EListReplyError&) {
    }
    try {
        DecodeRedemptionList(text);
    } catch (const EListReplyError&) {
    }
}

void CheckCsv(std::string_view text) {
    std::vector<TCsvRecord> rows;
    try {
        rows = ParseCsv(text);
    } catch (const ECsvError&) {
        return;
    }
    std::string written;
    for (const auto& r : rows)
        written += FormatCsvRow(r.Fields);
    const auto again = ParseCsv(written);
    if (again.size() != rows.size())
        std::abort();
    for (std::size_t i = 0; i < rows.size(); ++i)
        if (again[i].Fields != rows[i].Fields)
            std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    CheckListReply(text);
    CheckCsv(text);
    return 0;
}
