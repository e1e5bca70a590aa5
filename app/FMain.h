#pragma once
// The main window: the coupon list, the command buttons, the banner panel,
// and the objects every window of the program shares. It coordinates: the
// list commands (CouponCommands.h), the branding (BrandingView.h) and the
// update hand-off (UpdateHandOff.h) are units of their own that it creates
// and wires up, each command through the one command dispatcher.
#include "app/CouponCommands.h"
#include "coupons/CouponService.h"
#include "coupons/LocalSettings.h"
#include "http/AntiFreeze.h"
#include "http/HTTPClient.h"
#include "ui/SkinData.h"
#include "ui/SkinMessage.h"
#include "windows/CommandDispatcher.h"
#include "windows/UpdateDialogs.h"

#include <QTimer>
#include <QWidget>

class QMenu;

#include <memory>
#include <string>

namespace Ui {
class frmMain;
}

namespace quillory {

class TCouponListView;
class TCouponFilterBar;
class TBrandingView;
class TUpdateHandOff;

class TfrmMain : public QWidget {
public:
    explicit TfrmMain(QWidget* parent = nullptr);
    ~TfrmMain() override;

    // The reseller's branding package beside the program.
    void LoadBranding();

    // The update check (silent: speak only of a newer version) and the
    // download it runs on the shared client.
    void CheckForUpdates(bool silent);
    bool DownloadFile(const std::string& url, const std::string& fileName);

    // Local settings (settings.dat in the data folder). SaveSettings
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
    // The filter bar above the list (Ctrl+F or the Find button open it,
    // Escape closes it).
    TCouponFilterBar* FilterBar() const { return FFilterBar; }

    // Every failure message of the coupon commands goes through here: `text`
    // on the first line, why the last coupon operation failed on the next.
    void ShowCommandFailure(const std::string& text);

    THTTPClient& HTTP() { return HTTP1; }
    TUpdateChecker& UpdateChecker();
    // Every command that may start a request runs through it.
    TCommandDispatcher& Dispatcher() { return FDispatcher; }
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
    // The coupon list commands: Select All, Clear Selection, Delete Selected,
    // Delete All, Add Coupon, Edit Coupon, Refresh.
    void SkinButton1Click() { FCommands->SelectAll(); }
    void SkinButton2Click() { FCommands->ClearSelection(); }
    void SkinButton3Click() { FCommands->DeleteSelected(); }
    void SkinButton4Click() { FCommands->DeleteAll(); }
    void SkinButton5Click() { FCommands->AddCoupon(); }
    void SkinButton6Click() { FCommands->EditCoupon(); }
    void SkinButton8Click() { FCommands->Refresh(); }
    void GenerateCouponsClick() { FCommands->GenerateCoupons(); }
    void PlaceListColumns();
    void CreateFilterBar();
    void CreateListMenu();
    void btnStatsClick();
    void btnLoadClick();
    void btnUpdateClick();
    // Connects a button's click to `handler`, through the general error
    // handling; a command that may start a request also through the dispatcher.
    template <typename Handler> void ConnectClick(const char* buttonName, Handler handler);
    template <typename Handler> void ConnectCommand(const char* buttonName, Handler handler);

    std::unique_ptr<Ui::frmMain> ui;
    THTTPClient HTTP1;
    TAntiFreeze AntiFreeze1;
    TCouponService FCouponService;
    TCompressedStoredSkin CompressedStoredSkin1;
    TSkinData SkinData1;
    TSkinMessage msgMain;
    QTimer Timer1;
    TCommandDispatcher FDispatcher;
    std::unique_ptr<TCouponCommands> FCommands;
    std::unique_ptr<TBrandingView> FBranding;
    std::unique_ptr<TUpdateHandOff> FUpdates;
    bool FCentredOnce = false;
    TCouponFilterBar* FFilterBar = nullptr;
    QMenu* FListMenu = nullptr;
    int FPlacedColumns = 0;

    // settings.dat and the values in force: the site address (read at every
    // request), the script name and the values of the server settings script.
    TLocalSettings FSettings;
};

// The one main window of the program, set while it exists.
extern TfrmMain* frmMain;

} // namespace quillory
