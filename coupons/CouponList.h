#pragma once
// The coupon list as the main window shows it: the rows of a list reply
// (action 5) decoded in place, with what each row needs already worked out.
// Qt-free, so it can be decoded on any thread and handed to the window.
#include "coupons/Coupon.h"
#include "coupons/ListReply.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quillory {

// Columns of the coupon list, in display order.
enum TCouponColumn { ccName = 0, ccCode = 1, ccExpired = 2 };
constexpr int kCouponColumnCount = 3;

class TCouponList {
public:
    TCouponList() = default;
    // Decodes a whole list reply (taken over). A record with fewer than four
    // fields ends the list: the rows before it stay, and Complete() is false.
    explicit TCouponList(std::string reply);

    std::size_t Count() const { return FExpired.size(); }
    std::string_view Name(std::size_t row) const { return FList.Field(row, 2); }
    std::string_view Code(std::size_t row) const { return FList.Field(row, 1); }
    // The expired flag with quotes and surrounding blanks removed is "1".
    bool Expired(std::size_t row) const { return FExpired[row] != 0; }
    // The coupon's id: quotes removed, surrounding blanks trimmed.
    std::string Id(std::size_t row) const;
    // The coupon of a row as the list holds it: id, code, name and expired
    // flag (the list keeps only what it shows; the editor fetches the whole
    // record). The other fields are empty.
    TCoupon Coupon(std::size_t row) const;

    bool Complete() const { return FList.Complete(); }
    const std::string& Error() const { return FList.Error(); }

    // Row numbers in the order of `column` (ascending or descending; names and
    // codes compared without regard to ASCII case, ties kept in reply order).
    std::vector<std::uint32_t> SortedOrder(int column, bool descending) const;

private:
    TListReplyView FList;
    std::vector<char> FExpired;
};

// Fields a row of the coupon list needs (id, code, name, expired flag).
constexpr std::size_t kCouponListFields = 4;

} // namespace quillory
