#pragma once
// The two server set-ups every end-to-end test runs on: the server script on
// a private MariaDB (tables from server/schema.sql, the host given in the
// "host:port" form) and on SQLite through $dsn (tables created on first use).
// Each is started once per test program and stopped at its end. The site
// address of each carries the seller's credentials. Every test starts with no
// failed redemptions or logins recorded, since all of them come from 127.0.0.1.
#include "coupons/CouponService.h"
#include "http/HTTPClient.h"
#include "tests/e2e/ServiceHarness.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace quillory::e2e {

struct TBackend {
    std::string Name;
    std::unique_ptr<TMariaDbServer> Database;
    TPhpCouponServer Php;
    TServerSettings Settings;
};

// "MariaDB" or "SQLite"; started on first use.
TBackend& Backend(const std::string& name);

// Runs SQL on the backend's database, bypassing the script.
void RunSql(TBackend& backend, const std::string& sql);
// The first column of the first row a query gives, as text.
std::string QueryValue(TBackend& backend, const std::string& sql);

// Today's date on the server (UTC) as "yyyy-m-d", moved by `days`.
std::string ServerDate(int days = 0);

// A test run once per backend (the parameter is its name), starting with no
// coupons, with a coupon service client on the backend's site.
class TServiceE2ETest : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override {
        backend = &Backend(GetParam());
        site = backend->Php.SiteURL();
        service = std::make_unique<TCouponService>(http, [this] { return site; });
        ASSERT_TRUE(service->DeleteCoupons("all")) << service->LastReply() << service->LastError();
    }

    TBackend* backend = nullptr;
    std::string site;
    THTTPClient http;
    std::unique_ptr<TCouponService> service;
};

} // namespace quillory::e2e
