#pragma once
// A coupon built from the ten texts an add or edit request carries, for
// tests that send exact values (and odd ones a server may hold).
#include "coupons/Coupon.h"

#include <string>

namespace quillory::test {

// `uses`, when not empty, is the use count a restored coupon carries.
inline TCoupon CouponOf(std::string id, std::string code, std::string name, std::string expired,
                        std::string expiryType, std::string days, std::string expiryDate,
                        std::string orderPage, std::string comments, std::string createDate,
                        const std::string& uses = {}) {
    TCoupon c;
    c.Id = std::move(id);
    c.Code = std::move(code);
    c.Name = std::move(name);
    c.SetExpiredText(std::move(expired));
    c.SetExpiryText(std::move(expiryType));
    c.SetDaysText(std::move(days));
    c.SetExpiryDateText(std::move(expiryDate));
    c.OrderPage = std::move(orderPage);
    c.Comments = std::move(comments);
    c.CreateDate = std::move(createDate);
    c.SetUsesText(uses);
    return c;
}

} // namespace quillory::test
