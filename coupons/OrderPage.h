#pragma once
// Which order-page addresses a coupon may carry. A customer who redeems a
// code is redirected there, so only ordinary web addresses qualify: an
// absolute "http://" or "https://" address with a host, a path on the
// seller's own site starting with a single "/", or a path relative to the
// script's folder ("order.php", "../shop/order.html?x=1"). A relative path
// has no scheme: no ":" may stand before its first "/", so "javascript:" or
// "data:" can never pass as one. Anything else ("//other.host", "\\host",
// "mailto:x") could send customers somewhere the seller never meant. An
// empty order page is allowed: the coupon is stored, and a customer
// redeeming it is sent to the invalid page.
#include <string>

namespace quillory {

// Shown when an order page is refused.
inline constexpr const char* kOrderPageRefused =
    "The order page must be an address starting with http:// or https://, or a path on "
    "your site such as /order.html or order.php.";

bool IsAllowedOrderPage(const std::string& address);

} // namespace quillory
