#include "CouponCommands.h"

#include "coupons/Coupon.h"
#include "coupons/CouponList.h"
#include "coupons/CouponRecord.h"
#include "coupons/ListReply.h"
#include "http/URI.h"
#include "ui/SkinDateEdit.h"
#include "windows/CommandFailure.h"
#include "windows/CouponListActions.h"
#include "windows/CouponListView.h"
#include "windows/FCoupon.h"
#include "windows/FFormCode.h"
#include "windows/FGenerateCoupons.h"
#include "windows/FStatistics.h"
#include "windows/RunAside.h"

#include <QApplication>
#include <QEventLoop>
#include <QProgressDialog>

#include <exception>
#include <memory>
#include <sstream>
#include <thread>

namespace quillory {

namespace {

// Messages of the coupon list commands (the confirmations break with LF CR).
const char* const kConfirmDeleteSelected =
    "Are you sure do you want to delete the selected coupons?\n\rThis action will remove also "
    "the statistics related these coupons.";
const char* const kConfirmDeleteAll = "Are you sure do you want to delete all?.\n\r This action "
                                      "will remove also the statistics related these coupons.";
const char* const kDeleteTrouble = "There is a trouble deleting coupons, please check your "
                                   "settings and your internet connection.";
const char* const kRefreshTrouble = "There is a trouble adding coupons, please check your "
                                    "settings and your internet connection.";

// Replies from this size on are decoded off the GUI thread.
constexpr std::size_t kDecodeAsideFrom = 256 * 1024;

} // namespace

TCouponCommands::TCouponCommands(TCouponService& service, TCommandDispatcher& dispatcher,
                                 TSkinMessage& messages, TCouponListView& list,
                                 const TLocalSettings& settings)
    : FCouponService(service), FDispatcher(dispatcher), msgMain(messages), FList(list),
      FSettings(settings),
      FListActions(std::make_unique<TCouponListActions>(service, dispatcher, messages, list,
                                                        [this] { return RefreshCoupons(); })) {}

TCouponCommands::~TCouponCommands() = default;

void TCouponCommands::ShowStartupFailure(bool serviceChecked) {
    const std::string site = RedactURLPassword(FSettings.Values().WebServer);
    std::string reason = BriefFailureReason(FCouponService.LastFailure());
    while (!reason.empty() && (reason.back() == ' ' || reason.back() == '.'))
        reason.pop_back();
    std::string hint;
    if (site.empty())
        hint = "No site address is set. Enter your Site URL in Settings, then Refresh.";
    else if (!reason.empty())
        hint = (serviceChecked ? "Could not load the coupon list from " + site
                               : "Could not reach the coupon service at " + site) +
               ": " + reason + ". Check Settings, then Refresh.";
    else
        hint = "The coupon service at " + site +
               " did not answer as expected. Check Settings, then Refresh.";
    CouponList()->SetEmptyHint(QString::fromLocal8Bit(hint));
}

void TCouponCommands::ShowCommandFailure(const std::string& text) {
    msgMain.ShowMessageDialog(CommandFailureText(text, FCouponService), dkWarning, {dbOK});
}

bool TCouponCommands::CheckService() {
    return FCouponService.CheckService();
}

bool TCouponCommands::RefreshCoupons() {
    // With the use count and status of each coupon; a server that does not
    // know the request sends the coupons without them.
    const bool ok = FCouponService.RefreshCoupons(
        [this](std::string& reply) { FillCouponList(std::move(reply)); }, true);
    if (ok)
        CouponList()->SetEmptyHint({});
    return ok;
}

void TCouponCommands::FillCouponList(std::string reply) {
    TCouponListModel* model = CouponList()->CouponModel();
    const int sortColumn = model->SortColumn();
    const bool descending = model->SortDescending();
    TCouponList list;
    std::vector<std::uint32_t> order;
    // Each row: name, code, "True"/"False", and the use count and status when
    // the reply has them; the coupon's id rides along unseen.
    auto decode = [&] {
        list = TCouponList(std::move(reply));
        if (sortColumn >= 0)
            order = list.SortedOrder(sortColumn, descending);
    };
    if (reply.size() < kDecodeAsideFrom) {
        decode();
    } else {
        // The event loop turns while the reply is decoded: no command may
        // start meanwhile, whoever started this fill.
        TCommandDispatcher::TRequest decoding(FDispatcher, false);
        RunAside(decode);
    }
    model->SetList(std::move(list), std::move(order));
    if (!model->List().Complete())
        throw EListReplyError(model->List().Error(), model->List().Count());
}

void TCouponCommands::SelectAll() {
    CouponList()->CouponModel()->SetAllChecked(true);
}

void TCouponCommands::ClearSelection() {
    CouponList()->CouponModel()->SetAllChecked(false);
}

void TCouponCommands::DeleteSelected() {
    std::string ids;
    for (const std::string& id : CouponList()->CouponModel()->CheckedIds())
        ids += (ids.empty() ? "" : ",") + id;
    if (ids.empty())
        return;
    if (msgMain.ShowMessageDialog(kConfirmDeleteSelected, dkWarning, {dbOK, dbCancel}) != mrOk)
        return;
    DeleteAndReload(ids);
}

void TCouponCommands::DeleteAll() {
    if (CouponList()->CouponModel()->rowCount() == 0)
        return;
    if (msgMain.ShowMessageDialog(kConfirmDeleteAll, dkWarning, {dbOK, dbCancel}) != mrOk)
        return;
    DeleteAndReload("all");
}

void TCouponCommands::DeleteAndReload(const std::string& ids) {
    const bool deleted = FDispatcher.Request([&] {
        const bool ok = FCouponService.DeleteCoupons(ids);
        if (ok)
            RefreshCoupons(); // a failed reload shows nothing
        return ok;
    });
    if (!deleted)
        ShowCommandFailure(kDeleteTrouble);
}

void TCouponCommands::AddCoupon() {
    RunCouponEditor(nullptr);
}

// Edit Coupon: the highlighted row, whichever rows are ticked. The record is
// read by the list's decoder, so commas in its values stay where they are.
void TCouponCommands::EditCoupon() {
    const int row = CouponList()->HighlightedRow();
    if (row < 0)
        return;
    std::string record;
    bool fetched = false;
    {
        TCommandDispatcher::TRequest request(FDispatcher);
        fetched = FCouponService.GetCoupon(CouponList()->CouponModel()->IdAt(row), record);
    }
    if (!fetched)
        return; // nothing is shown
    const TListReplyView fields(std::move(record), 0, kCouponRecordFields + 1);
    if (fields.RecordCount() == 0)
        throw EListReplyError("The coupon's record is empty.", 0);
    const TCoupon coupon = CouponFromView(fields, 0);
    RunCouponEditor(&coupon);
}

void TCouponCommands::RunCouponEditor(const TCoupon* coupon) {
    // The editor is destroyed however the command ends.
    auto editor = std::make_unique<TfrmCoupon>(
        FCouponService, msgMain, nullptr,
        [this](const std::string& text) { ShowCommandFailure(text); }, &FDispatcher);
    frmCoupon = editor.get();
    struct Clear {
        ~Clear() { frmCoupon = nullptr; }
    } clear;
    if (coupon)
        editor->LoadCoupon(*coupon);
    if (editor->exec() == mrOk) {
        TCommandDispatcher::TRequest request(FDispatcher);
        RefreshCoupons(); // a failed reload shows nothing
    }
}

void TCouponCommands::Refresh() {
    if (!FDispatcher.Request([this] { return RefreshCoupons(); }))
        ShowCommandFailure(kRefreshTrouble);
}

void TCouponCommands::Statistics() {
    // The window fetches and decodes the redemptions while it is created,
    // with the events pumped; meanwhile no command starts, a second
    // Statistics included.
    const auto dialog = FDispatcher.RunMarked([this] {
        return std::make_unique<TfrmStats>(FCouponService, msgMain, DefaultFormatSettings(),
                                           &FList.CouponModel()->List());
    });
    dialog->exec();
}

void TCouponCommands::FormCode() {
    TfrmFormCode dialog(FSettings.Values().WebServer, FSettings.ScriptName());
    dialog.exec();
}

void TCouponCommands::GenerateCoupons() {
    TfrmGenerateCoupons dialog(msgMain);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const TCodeRules rules = dialog.Rules();
    const TCoupon pattern = dialog.Pattern();
    QProgressDialog progress(QStringLiteral("Adding coupons..."), QStringLiteral("Cancel"), 0,
                             rules.Count);
    progress.setWindowTitle(QStringLiteral("Generate coupons"));
    progress.setWindowModality(Qt::ApplicationModal);
    progress.setMinimumDuration(0);
    TBatchResult result;
    {
        TCommandDispatcher::TRequest request(FDispatcher);
        result = AddCouponBatch(FCouponService, pattern, rules,
                                [&progress](std::size_t done, std::size_t) {
                                    progress.setValue(static_cast<int>(done));
                                    QApplication::processEvents();
                                    return !progress.wasCanceled();
                                });
        progress.close();
        RefreshCoupons(); // a failed reload shows nothing
    }
    std::ostringstream text;
    text << result.Added.size() << " of " << rules.Count << " coupon(s) added.";
    if (result.Cancelled)
        text << " Stopped by you.";
    std::size_t shown = 0;
    for (const auto& [coupon, row] : result.NotAdded) {
        if (row.State == TBulkRowState::NotSent)
            continue;
        if (++shown > 20) {
            text << "\n...";
            break;
        }
        text << "\n" << coupon.Code << ": " << row.Reason;
    }
    if (!result.NotAdded.empty() && !result.Cancelled &&
        FCouponService.LastFailure().Kind != TFailureKind::None) {
        ShowCommandFailure(text.str());
        return;
    }
    msgMain.ShowMessageDialog(text.str(), result.NotAdded.empty() ? dkInformation : dkWarning,
                              {dbOK});
}

void TCouponCommands::ExportCoupons() {
    FListActions->ExportCoupons();
}

void TCouponCommands::ImportCoupons() {
    FListActions->ImportCoupons();
}

void TCouponCommands::MarkExpired() {
    FListActions->MarkExpired();
}

void TCouponCommands::ClearExpired() {
    FListActions->ClearExpired();
}

void TCouponCommands::SetExpiryDate() {
    FListActions->SetExpiryDate();
}

void TCouponCommands::DuplicateCoupons() {
    FListActions->DuplicateCoupons();
}

} // namespace quillory
