#pragma once
// The coupon list commands of the main window: refresh, delete the ticked
// rows or all, add, edit, the statistics and the form code windows, filling
// the list from a reply, and the quiet line of an empty list after a failed
// start. Every request runs through the window's command dispatcher.
#include "coupons/CouponService.h"
#include "coupons/LocalSettings.h"
#include "ui/SkinMessage.h"
#include "windows/CommandDispatcher.h"

#include <memory>
#include <string>

namespace quillory {

class TCouponListActions;
class TCouponListView;
struct TCoupon;

class TCouponCommands {
public:
    // `settings` are the window's settings, read each time a command needs
    // them.
    TCouponCommands(TCouponService& service, TCommandDispatcher& dispatcher, TSkinMessage& messages,
                    TCouponListView& list, const TLocalSettings& settings);
    ~TCouponCommands();

    // Select All and Clear Selection: the tick boxes only.
    void SelectAll();
    void ClearSelection();
    // Delete Selected (the ticked rows, whichever row is highlighted) and
    // Delete All, each after a confirmation; the list is reloaded after.
    void DeleteSelected();
    void DeleteAll();
    // Add Coupon and Edit Coupon (the highlighted row) in the coupon editor.
    void AddCoupon();
    void EditCoupon();
    // Refresh: reloads the list, with a message when it fails.
    void Refresh();
    // The statistics window, which fetches the redemptions while it opens.
    void Statistics();
    // The HTML form code window for the site in the settings.
    void FormCode();
    // Generate coupons…: many coupons with drawn codes, added at once (one
    // request a coupon, with a progress dialog that can stop it, on a server
    // without the bulk add); then the list is reloaded and the outcome told.
    void GenerateCoupons();
    // The list's menu on the ticked coupons shown (windows/CouponListActions.h):
    // Export coupons…, Mark expired, Clear expired, Set expiry date…,
    // Duplicate; and Import coupons…, which needs no ticks. Each reloads the
    // list when it changed something and tells the outcome.
    void ExportCoupons();
    void ImportCoupons();
    void MarkExpired();
    void ClearExpired();
    void SetExpiryDate();
    void DuplicateCoupons();

    // The coupon operations; none shows a message.
    bool CheckService();
    bool RefreshCoupons();
    // Rebuilds the coupon list from a list reply. A record that cannot be
    // read ends the fill with an error; the rows before it stay. A large reply
    // is decoded off the GUI thread while the window keeps handling events
    // (commands are refused meanwhile).
    void FillCouponList(std::string reply);

    // `text` on the first line, why the last coupon operation failed on the next.
    void ShowCommandFailure(const std::string& text);
    // The quiet line in the empty list after a failed start-up step.
    void ShowStartupFailure(bool serviceChecked);

private:
    TCouponListView* CouponList() const { return &FList; }
    void DeleteAndReload(const std::string& ids);
    void RunCouponEditor(const TCoupon* coupon);

    TCouponService& FCouponService;
    TCommandDispatcher& FDispatcher;
    TSkinMessage& msgMain;
    TCouponListView& FList;
    const TLocalSettings& FSettings;
    std::unique_ptr<TCouponListActions> FListActions;
};

} // namespace quillory
