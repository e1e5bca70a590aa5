#pragma once
// The main window against the real server script, once per database (the
// test's parameter): a private program folder whose settings name the
// backend's site, no coupons at the start, a coupon service client beside the
// window to see what the server holds, and the window's error messages kept.
#include "app/ErrorReport.h"
#include "app/FMain.h"
#include "coupons/CouponRecord.h"
#include "platform/ProfileFile.h"
#include "platform/ProgramFolder.h"
#include "tests/e2e/E2EBackends.h"
#include "windows/CouponListView.h"

#include <QElapsedTimer>
#include <QPushButton>
#include <QStringList>
#include <QTest>

#include <memory>
#include <string>
#include <vector>

namespace quillory::e2e {

class TWindowE2ETest : public TServiceE2ETest {
protected:
    void SetUp() override {
        TServiceE2ETest::SetUp();
        if (HasFatalFailure())
            return;
        folder = MakeScratchDir("window-" + GetParam());
        SetProgramFolder(folder + "/");
        SetErrorPresenter([this](const QString& m) { errors << m; });
        WriteProfileString(folder + "/settings.dat", "Settings", "webserver", site);
    }
    void TearDown() override {
        main.reset();
        SetErrorPresenter({});
        SetProgramFolder({});
    }

    // The coupons as the server lists them now, with their use counts and
    // status when `details`.
    std::vector<TCoupon> ServerList(bool details = false) {
        std::vector<TCoupon> coupons;
        EXPECT_TRUE(service->RefreshCoupons(
            [&](const std::string& reply) { coupons = DecodeCouponList(reply, details); },
            details));
        return coupons;
    }
    // Opens the main window and waits until its start-up step (the check and
    // the list) has ended.
    void StartWindow() {
        main = std::make_unique<TfrmMain>();
        main->show();
        QElapsedTimer t;
        t.start();
        while ((main->StartupTimer().isActive() || main->CouponService().Busy()) &&
               t.elapsed() < 20000)
            QTest::qWait(20);
    }
    TCouponListModel* Rows() { return main->CouponList()->CouponModel(); }
    // Clicks the main window's button `name`.
    void Click(const char* name) {
        QTest::mouseClick(main->findChild<QPushButton*>(name), Qt::LeftButton);
    }
    // Posts the customer's redemption form with `code`; where it sends the
    // browser (the order page, or the invalid page).
    std::string RedeemedTo(const std::string& code) {
        return HttpPost(backend->Php.Port, "/couponsactions.php",
                        "application/x-www-form-urlencoded",
                        "coupcode=" + code + "&action=7&send=Submit")
            .Header("Location");
    }

    std::string folder;
    std::unique_ptr<TfrmMain> main;
    QStringList errors;
};

} // namespace quillory::e2e
