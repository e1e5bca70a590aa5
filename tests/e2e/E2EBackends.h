#pragma once
// The two server set-ups every end-to-end test runs on: the server script on
// a private MariaDB (tables from server/schema.sql, the host given in the
// "host:port" form) and on SQLite through $dsn (tables created on first use).
// Each is started once per test program and stopped at its end.
#include "tests/e2e/ServiceHarness.h"

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

// Today's date on the server (UTC) as "yyyy-m-d", moved by `days`.
std::string ServerDate(int days = 0);

} // namespace quillory::e2e
