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

// Columns of the coupon list, in display order. The use count and the status
// are shown only for a list that carries them.
enum TCouponColumn { ccName = 0, ccCode = 1, ccExpired = 2, ccUses = 3, ccStatus = 4 };
constexpr int kCouponColumnCount = 3;
constexpr int kDetailedColumnCount = 5;

// The status of a row of a list with details; None when the server sent none.
enum class TCouponStatus : std::uint8_t { None = 0, Active, UsedUp, Expired };
// "active", "used up", "expired"; empty for None.
std::string_view CouponStatusText(TCouponStatus status);

class TCouponList {
public:
    TCouponList() = default;
    // Decodes a whole list reply (taken over). A record with fewer than four
    // fields ends the list: the rows before it stay, and Complete() is false.
    // A record that ends in a use count and a status (the server was asked
    // for details) gives Uses and Status.
    explicit TCouponList(std::string reply);

    std::size_t Count() const { return FExpired.size(); }
    std::string_view Name(std::size_t row) const { return FList.Field(row, 2); }
    std::string_view Code(std::size_t row) const { return FList.Field(row, 1); }
    // The expired flag with quotes and surrounding blanks removed is "1".
    bool Expired(std::size_t row) const { return FExpired[row] != 0; }
    // The use count, or -1 when the record carries none.
    long long Uses(std::size_t row) const { return FUses.empty() ? -1 : FUses[row]; }
    TCouponStatus Status(std::size_t row) const {
        return FStatus.empty() ? TCouponStatus::None : static_cast<TCouponStatus>(FStatus[row]);
    }
    // Whether any record carried a use count and a status.
    bool HasDetails() const { return !FStatus.empty(); }
    // The coupon's id: quotes removed, surrounding blanks trimmed.
    std::string Id(std::size_t row) const;
    // The coupon of a row as the list holds it: id, code, name, expired flag,
    // and the use count and status when the list has them (the list keeps
    // only what it shows; the editor fetches the whole record). The other
    // fields are empty.
    TCoupon Coupon(std::size_t row) const;

    bool Complete() const { return FList.Complete(); }
    const std::string& Error() const { return FList.Error(); }

    // Row numbers in the order of `column` (ascending or descending; names and
    // codes compared without regard to ASCII case, ties kept in reply order).
    std::vector<std::uint32_t> SortedOrder(int column, bool descending) const;

    // The rows (ascending) whose code or name holds `text`, letter case aside
    // (FoldCase), and whose status is `status` (None: any status). With
    // `within`, only those rows (ascending) are looked at: the rows a shorter
    // text matched when the text grows.
    std::vector<std::uint32_t> Matching(std::string_view text, TCouponStatus status,
                                        const std::vector<std::uint32_t>* within = nullptr) const;

private:
    void BuildSearchIndex();
    void ReadDetails();

    TListReplyView FList;
    std::vector<char> FExpired;
    std::vector<long long> FUses;      // empty: no record had details; -1: this one had none
    std::vector<std::uint8_t> FStatus; // TCouponStatus per row, empty like FUses
    // Code and name of every row, folded, each row as "\n" code "\t" name;
    // FSearchStart[row] is where its "\n" stands (one more entry at the end).
    std::string FSearchText;
    std::vector<std::uint32_t> FSearchStart;
};

// Letter case folded for the list's filter: A to Z, and the capitals of the
// Latin-1 range as UTF-8 writes them (C3 80 to C3 9E), become small letters.
std::string FoldCase(std::string_view text);

// Fields a row of the coupon list needs (id, code, name, expired flag).
constexpr std::size_t kCouponListFields = 4;

} // namespace quillory
