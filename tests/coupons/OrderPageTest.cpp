#include "coupons/OrderPage.h"

#include <gtest/gtest.h>

using namespace quillory;

namespace {

TEST(OrderPageTest, OnlyWebAddressesAndSameSitePathsAreAllowed) {
    const char* allowed[] = {
        "",
        "/",
        "/order/discount.html",
        "/order?x=1",
        "http://shop.example/order",
        "HTTPS://shop.example:8443/order?c=1#top",
        "https://shop.example",
    };
    for (const char* a : allowed)
        EXPECT_TRUE(IsAllowedOrderPage(a)) << a;
    const char* refused[] = {
        "javascript:alert(1)",
        "JavaScript:alert(1)",
        "data:text/html,<b>x</b>",
        "//other.host/order",
        "/\\other.host",
        "\\\\other.host",
        "order.html",
        "ftp://shop.example/x",
        "http://",
        "http:///path",
        "https://?q",
        " http://shop.example/",
        "java\tscript:alert(1)",
        "http://shop.example/a b",
        "/order\r\nSet-Cookie: x=1",
        "vbscript:msgbox",
    };
    for (const char* r : refused)
        EXPECT_FALSE(IsAllowedOrderPage(r)) << r;
}

} // namespace
