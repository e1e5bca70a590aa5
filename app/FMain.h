#pragma once
// The main window: the coupon list, the command buttons, the banner panel,
// and the objects every window of the program shares.
#include "coupons/CouponService.h"
#include "coupons/LocalSettings.h"
#include "http/AntiFreeze.h"
#include "http/HTTPClient.h"
#include "ui/SkinData.h"
#include "ui/SkinMessage.h"
#include "update/UpdateCheck.h"

#include <QTimer>
#include <QWidget>

#include <memory>
#include <string>

namespace Ui {
class frmMain;
}

namespace quillory {

class TCouponListView;
struct TCoupon;

class TfrmMain : public QWidget {
public:
    explicit TfrmMain(QWidget* parent = nullptr);
    ~TfrmMain() override;

    // The reseller's branding package beside the program (Branding.cpp).
    void LoadBranding();

    // The update check (silent: speak only of a newer version) and the
    // download it runs on the shared client.
    void CheckForUpdates(bool silent);
    bool DownloadFile(const std::string& url, const std::string& fileName);

    // Local settings (settings.dat in the program folder). SaveSettings
    // writes only after LoadSettings read the file (or found none) or the
    // Settings dialog's OK set the values.
    void LoadSettings();
    void SaveSettings();
    bool SettingsLoaded() const { return FSettings.Loaded(); }

    const std::string& WebServer() const { return FSettings.Values().WebServer; }
    const std::string& ScriptName() const { return FSettings.ScriptName(); }
    const std::string& DbHostName() const { return FSettings.Values().DbHostName; }
    const std::string& DbDatabase() const { return FSettings.Values().DbDatabase; }
    const std::string& DbUserName() const { return FSettings.Values().DbUserName; }
    const std::string& DbPassword() const { return FSettings.Values().DbPassword; }
    const std::string& InvalidPage() const { return FSettings.Values().InvalidPage; }

    QTimer& StartupTimer() { return Timer1; }

    // The coupon operations run on the shared client through CouponService();
    // none shows a message. These two make up the start-up step.
    bool CheckService();
    bool RefreshCoupons();

    // Rebuilds the coupon list from a list reply. A record that cannot be
    // read ends the fill with an error; the rows before it stay. A large reply
    // is decoded off the GUI thread while the window keeps handling events.
    void FillCouponList(const std::string& reply);

    // The coupon list (lvwItems).
    TCouponListView* CouponList() const;

    // Every failure message of the coupon commands goes through here: `text`
    // on the first line, why the last coupon operation failed on the next.
    void ShowCommandFailure(const std::string& text);

    THTTPClient& HTTP() { return HTTP1; }
    TUpdateChecker& UpdateChecker() { return FUpdateChecker; }
    // The skin every window draws from, and the component every message of
    // the main window goes through.
    TSkinData& SkinData() { return SkinData1; }
    TSkinMessage& Messages() { return msgMain; }
    TCouponService& CouponService() { return FCouponService; }

protected:
    // The start-up step run once by Timer1, with the window on screen.
    virtual void RunStartupStep();

    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void FormCreate();
    void FormResize();
    void FormShow();
    void Timer1Timer();
    void SkinButton7Click();
    // The coupon list commands.
    void SkinButton1Click();
    void SkinButton2Click();
    void SkinButton3Click();
    void SkinButton4Click();
    void SkinButton5Click();
    void SkinButton6Click();
    void SkinButton8Click();
    void DeleteAndReload(const std::string& ids);
    void RunCouponEditor(const TCoupon* coupon);
    // The quiet line in the empty list after a failed start-up step.
    void ShowStartupFailure(bool serviceChecked);
    void PlaceListColumns();
    void btnStatsClick();
    void btnLoadClick();
    void btnUpdateClick();
    void imgBannerClick();
    void gifBannerClick();
    void ConnectBannerClicks();
    // Loads the stored banner picture into imgBanner or gifBanner and sizes
    // the panel; throws when it cannot be shown.
    void LoadBannerPicture(const std::string& stored);
    void PlaceLinkLabels();
    template <typename Handler> void ConnectClick(const char* buttonName, Handler handler);

    std::unique_ptr<Ui::frmMain> ui;
    THTTPClient HTTP1;
    TAntiFreeze AntiFreeze1;
    TCouponService FCouponService;
    TCompressedStoredSkin CompressedStoredSkin1;
    TSkinData SkinData1;
    TSkinMessage msgMain;
    QTimer Timer1;
    TUpdateChecker FUpdateChecker;
    bool FCentredOnce = false;
    int FLink2RightMargin = 0;

    std::string FAffiliateID;
    std::string FBannerURL;
    std::string FBannerPath;
    std::string FLink1URL;
    std::string FLink2URL;
    std::string FLink1Name;
    std::string FLink2Name;
    std::string FIconPath;
    // settings.dat and the values in force: the site address (read at every
    // request), the script name and the values of the server settings script.
    TLocalSettings FSettings;
};

// The one main window of the program, set while it exists.
extern TfrmMain* frmMain;

} // namespace quillory
