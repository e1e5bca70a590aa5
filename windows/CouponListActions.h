#pragma once
// The actions of the coupon list's menu: Export coupons…, Import coupons…,
// Mark expired, Clear expired, Set expiry date… and Duplicate.
//
// All but Import act on the ticked coupons that are shown: a ticked row the
// filter hides counts for nothing, as with Delete Selected. With none ticked
// an action says so and does nothing. Each asks first, naming how many
// coupons it acts on, then works with a progress dialog that can stop it,
// reloads the list when it may have changed something, and tells the
// outcome in one message (Import in a report naming every row of its file).
// The caller runs each through the command dispatcher; every request inside
// is marked with it.
#include "coupons/CouponChanges.h"
#include "coupons/CouponService.h"
#include "ui/SkinMessage.h"
#include "windows/CommandDispatcher.h"

#include <QString>

#include <functional>
#include <string>
#include <vector>

namespace quillory {

class TCouponListView;

// "1 coupon", "3 coupons".
std::string CouponCount(std::size_t count);

class TCouponListActions {
public:
    // `reload` reloads the list and shows nothing either way.
    TCouponListActions(TCouponService& service, TCommandDispatcher& dispatcher,
                       TSkinMessage& messages, TCouponListView& list, std::function<bool()> reload);

    // The ticked coupons, in a CSV file the user chooses (the columns and
    // cell guard of quillory-cli export, use counts included).
    void ExportCoupons();
    // The coupons of a CSV file the user chooses, read and checked like
    // quillory-cli import, added through the bulk add.
    void ImportCoupons();
    // The expired flag of the ticked coupons set or cleared.
    void MarkExpired();
    void ClearExpired();
    // The ticked coupons made to expire on a date the user picks.
    void SetExpiryDate();
    // A copy of each ticked coupon with a fresh code.
    void DuplicateCoupons();

    // The folder the file dialogs open in (the last one used).
    QString Folder() const { return FFolder; }
    void SetFolder(const QString& folder) { FFolder = folder; }

private:
    struct TTicked {
        std::vector<std::string> Ids;
        std::vector<std::string> Codes;
    };
    // The ticked coupons shown, top to bottom; empty after telling the user
    // that none is ticked (`caption` names the action).
    TTicked Ticked(const char* caption);
    bool Confirm(const std::string& question);
    // Asks `question` about the ticked coupons, makes `change` on each with
    // a progress dialog saying `working`, reloads the list and tells the
    // outcome ("2 of 3 coupons " + `done`).
    void Change(const TCouponChange& change, const char* caption, const std::string& question,
                const std::string& working, const std::string& done);
    // Tells what an action on the ticked coupons came to in one message:
    // `done` first, then how many already were so, each coupon that was not
    // done with why, the lines of `extra`, and how many were left out.
    void TellOutcome(const std::string& done, const TTicked& ticked, const TCouponsOutcome& out,
                     const std::vector<std::string>& extra = {});

    TCouponService& FService;
    TCommandDispatcher& FDispatcher;
    TSkinMessage& msgMain;
    TCouponListView& FList;
    std::function<bool()> FReload;
    QString FFolder;
};

} // namespace quillory
