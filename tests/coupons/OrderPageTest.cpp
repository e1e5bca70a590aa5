#include "coupons/OrderPage.h"

#include <gtest/gtest.h>

using namespace quillory;

namespace {

TEST(OrderPageTest, OnlyWebAddressesAndPathsOnTheSameSiteAreAllowed) {
    const char* allowed[] = {
        "",
        "/",
        "/order/discount.html",
        "/order?x=1",
        "http://shop.example/order",
        "HTTPS://shop.example:8443/order?c=1#top",
        "https://shop.example",
        // Relative to the script's folder: what browsers resolve on the same site.
        "order.php",
        "order.php?item=7&c=a/b:c",
        "../shop/order.html",
        "./order",
        "shop/order:2.html",
        "?page=order",
        "#order",
    };
    for (const char* a : allowed)
        EXPECT_TRUE(IsAllowedOrderPage(a)) << a;
    const char* refused[] = {
        "javascript:alert(1)",
        "JavaScript:alert(1)",
        "data:text/html,<b>x</b>",
        "//other.host/order",
        "shop//order.php",
        "/\\other.host",
        "\\\\other.host",
        "ftp://shop.example/x",
        "http://",
        "http:///path",
        "https://?q",
        " http://shop.example/",
        "java\tscript:alert(1)",
        "http://shop.example/a b",
        "/order\r\nSet-Cookie: x=1",
        "vbscript:msgbox",
        // A colon before the first "/" is a scheme, not a path.
        "mailto:seller@shop.example",
        "http:order.php",
        "HTTPS:/shop.example/x",
        "order.php?go=javascript:x",
        "c:/orders/x.html",
        "sh\\op/order.php",
        "order .php",
    };
    for (const char* r : refused)
        EXPECT_FALSE(IsAllowedOrderPage(r)) << r;
}

} // namespace
