#include "FMain.h"

#include "ErrorReport.h"
#include "FSettings.h"
#include "LinkLabel.h"
#include "UUtils.h"
#include "windows/CommandFailure.h"
#include "coupons/CouponList.h"
#include "windows/CouponListView.h"
#include "coupons/CouponRecord.h"
#include "windows/FCoupon.h"
#include "windows/FFormCode.h"
#include "windows/FStatistics.h"
#include "coupons/ListReply.h"
#include "windows/RequestGuard.h"
#include "http/URI.h"
#include "platform/FileSystem.h"
#include "platform/ProgramFolder.h"
#include "ui/SkinDateEdit.h"
#include "ui/SkinStyle.h"
#include "ui/WindowPlacement.h"
#include "ui_FMain.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QResizeEvent>
#include <QScreen>
#include <QShortcut>
#include <QShowEvent>

#include <exception>
#include <thread>

namespace quillory {

TfrmMain* frmMain = nullptr;

namespace {
const char* const kHelpAddress = "http://www.quillory.com/help/";
const char* const kAffiliateBaseAddress = "http://www.quillory.com/affiliates/";

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

// The designed widths of the list's columns; the last one takes what the
// window gains beyond its designed width.
constexpr int kColumnWidths[] = {200, 132, 150};
constexpr int kDesignedWidth = 775;

// Replies from this size on are decoded off the GUI thread.
constexpr std::size_t kDecodeAsideFrom = 256 * 1024;
// While a reply streams in, the message pump runs at most this often.
constexpr int kPumpIntervalMs = 8;

// Runs `work` on a worker thread while the GUI thread keeps turning its event
// loop; rethrows what `work` threw.
template <typename Work> void RunAside(Work&& work) {
    QEventLoop loop;
    std::exception_ptr error;
    std::thread worker([&] {
        try {
            work();
        } catch (...) {
            error = std::current_exception();
        }
        QMetaObject::invokeMethod(
            &loop, [&loop] { loop.quit(); }, Qt::QueuedConnection);
    });
    loop.exec();
    worker.join();
    if (error)
        std::rethrow_exception(error);
}

} // namespace

TfrmMain::TfrmMain(QWidget* parent)
    : QWidget(parent), ui(std::make_unique<Ui::frmMain>()),
      FCouponService(
          HTTP1, [this] { return WebServer(); }, [this] { return ScriptName(); }),
      FUpdateChecker(HTTP1, msgMain, [this] { close(); }) {
    frmMain = this;
    // Every window of the program takes its look from SkinData1, which starts
    // with the built-in skin.
    CompressedStoredSkin1 = BuiltInSkin();
    SkinData1.SetCompressedStoredSkin(&CompressedStoredSkin1);
    ApplySkinToApplication(&SkinData1);
    msgMain.UseProgramDefaults(&SkinData1);
    ui->setupUi(this);
    // The client follows redirects and keeps cookies; the first coupon
    // request raises its read time-out from 0 (none) to 60 s.
    HTTP1.HandleRedirects = true;
    HTTP1.AllowCookies = true;
    HTTP1.SetReadTimeout(0);
    // While a request waits, the window keeps repainting and taking clicks;
    // while a long reply streams in, it is also pumped between reads, at
    // most every few milliseconds.
    AntiFreeze1.OnlyWhenIdle = false;
    TAntiFreeze::SetHook([](bool) {
        static QElapsedTimer last;
        if (last.isValid() && last.elapsed() < kPumpIntervalMs)
            return;
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        last.restart();
    });
    resize(775, 516);
    QFont listFont(QStringLiteral("Arial"));
    listFont.setPixelSize(14);
    ui->lvwItems->setFont(listFont);
    for (int c = 0; c < 3; ++c)
        ui->lvwItems->setColumnWidth(c, kColumnWidths[c]);
    ui->lvwItems->header()->setSectionsMovable(false);
    ui->lvwItems->header()->setStretchLastSection(false);
    TLinkLabel::Attach(ui->lblLink1URL);
    TLinkLabel::Attach(ui->lblLink2URL);
    // lblLink2URL keeps the distance of its designed right edge from the right
    // edge of the bottom panel, whatever width its caption needs.
    FLink2RightMargin = 775 - (ui->lblLink2URL->x() + ui->lblLink2URL->width());
    ui->lblLink2URL->adjustSize();
    ui->lblLink1URL->adjustSize();

    Timer1.setInterval(100);
    connect(&Timer1, &QTimer::timeout, this, [this] { RunGuarded([this] { Timer1Timer(); }); });

    ConnectClick("SkinButton7", [this] { SkinButton7Click(); });
    ConnectClick("SkinButton1", [this] { SkinButton1Click(); });
    ConnectClick("SkinButton2", [this] { SkinButton2Click(); });
    ConnectClick("SkinButton3", [this] { SkinButton3Click(); });
    ConnectClick("SkinButton4", [this] { SkinButton4Click(); });
    ConnectClick("SkinButton5", [this] { SkinButton5Click(); });
    ConnectClick("SkinButton6", [this] { SkinButton6Click(); });
    ConnectClick("SkinButton8", [this] { SkinButton8Click(); });
    // Keyboard: F5 Refresh, Delete, Ctrl+N Add, Enter or a double-click Edit.
    const std::pair<QKeySequence, void (TfrmMain::*)()> keys[] = {
        {QKeySequence(Qt::Key_F5), &TfrmMain::SkinButton8Click},
        {QKeySequence(Qt::Key_Delete), &TfrmMain::SkinButton3Click},
        {QKeySequence(Qt::CTRL | Qt::Key_N), &TfrmMain::SkinButton5Click}};
    for (const auto& entry : keys) {
        // A named copy, not a structured binding: clang before 16 cannot capture those.
        const auto command = entry.second;
        auto* shortcut = new QShortcut(entry.first, this);
        connect(shortcut, &QShortcut::activated, this,
                [this, command] { RunGuarded([this, command] { (this->*command)(); }); });
    }
    connect(ui->lvwItems, &QAbstractItemView::activated, this,
            [this] { RunGuarded([this] { SkinButton6Click(); }); });
    ConnectClick("btnStats", [this] { btnStatsClick(); });
    ConnectClick("btnLoad", [this] { btnLoadClick(); });
    ConnectClick("btnHelp", [] { OpenURL(kHelpAddress); });
    // The affiliate id is a value inside the address, never more of it.
    ConnectClick("btnMakeMoney",
                 [this] { OpenURL(kAffiliateBaseAddress + PercentEncode(FAffiliateID)); });
    ConnectClick("btnUpdate", [this] { btnUpdateClick(); });
    ConnectBannerClicks();
    ui->gifBanner->SetAnimate(true);

    RunGuarded([this] { FormCreate(); });
}

TfrmMain::~TfrmMain() {
    if (frmMain == this)
        frmMain = nullptr;
}

template <typename Handler> void TfrmMain::ConnectClick(const char* buttonName, Handler handler) {
    auto* button = findChild<QPushButton*>(QLatin1String(buttonName));
    connect(button, &QPushButton::clicked, this, [handler] { RunGuarded(handler); });
}

void TfrmMain::FormCreate() {
    // Both banners occupy the same place; one of them is shown.
    ui->gifBanner->setGeometry(ui->imgBanner->geometry());
    // The settings come first: nothing in the branding package, however
    // broken, can keep them from loading (a later Cancel in the Settings
    // dialog would otherwise store empty values over them). A branding error
    // is told once and the start-up goes on.
    LoadSettings();
    RunGuarded([this] { LoadBranding(); });
    Timer1.start();
}

void TfrmMain::Timer1Timer() {
    Timer1.stop(); // the start-up step never runs twice
    RunStartupStep();
}

void TfrmMain::RunStartupStep() {
    // No message either way: an unreachable service leaves the list empty,
    // with a quiet line in it saying why.
    if (TRequestGuard::InFlight(FCouponService))
        return;
    {
        TRequestGuard guard;
        if (!CheckService())
            ShowStartupFailure(false);
        else if (!RefreshCoupons())
            ShowStartupFailure(true);
    }
    // The silent update check comes after the first list, under its own
    // short time limit, so an update server that is slow or never answers
    // cannot keep the list empty. It speaks only of a newer version; an
    // error creating its descriptor reaches the general error handling.
    if (!TRequestGuard::InFlight(FCouponService))
        CheckForUpdates(true);
}

void TfrmMain::ShowStartupFailure(bool serviceChecked) {
    const std::string site = RedactURLPassword(WebServer());
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

TCouponListView* TfrmMain::CouponList() const {
    return ui->lvwItems;
}

void TfrmMain::ShowCommandFailure(const std::string& text) {
    msgMain.ShowMessageDialog(CommandFailureText(text, FCouponService), dkWarning, {dbOK});
}

void TfrmMain::CheckForUpdates(bool silent) {
    FUpdateChecker.CheckForUpdates(silent);
}

bool TfrmMain::DownloadFile(const std::string& url, const std::string& fileName) {
    return FUpdateChecker.DownloadFile(url, fileName);
}

void TfrmMain::btnUpdateClick() {
    // Not while a coupon request or a list decode is under way.
    if (TRequestGuard::InFlight(FCouponService))
        return;
    CheckForUpdates(false);
}

bool TfrmMain::CheckService() {
    return FCouponService.CheckService();
}

bool TfrmMain::RefreshCoupons() {
    const bool ok =
        FCouponService.RefreshCoupons([this](const std::string& reply) { FillCouponList(reply); });
    if (ok)
        CouponList()->SetEmptyHint({});
    return ok;
}

void TfrmMain::FillCouponList(const std::string& reply) {
    TCouponListModel* model = CouponList()->CouponModel();
    const int sortColumn = model->SortColumn();
    const bool descending = model->SortDescending();
    TCouponList list;
    std::vector<std::uint32_t> order;
    // Each row: name, code, "True"/"False"; the coupon's id rides along unseen.
    auto decode = [&] {
        list = TCouponList(reply);
        if (sortColumn >= 0)
            order = list.SortedOrder(sortColumn, descending);
    };
    if (reply.size() < kDecodeAsideFrom)
        decode();
    else
        RunAside(decode);
    model->SetList(std::move(list), std::move(order));
    if (!model->List().Complete())
        throw EListReplyError(model->List().Error(), model->List().Count());
}

// --- The coupon list commands ----------------------------------------------

// Select All and Clear Selection: the tick boxes only.
void TfrmMain::SkinButton1Click() {
    CouponList()->CouponModel()->SetAllChecked(true);
}

void TfrmMain::SkinButton2Click() {
    CouponList()->CouponModel()->SetAllChecked(false);
}

// Delete Selected: the ticked rows, whichever row is highlighted.
void TfrmMain::SkinButton3Click() {
    if (TRequestGuard::InFlight(FCouponService))
        return;
    std::string ids;
    for (const std::string& id : CouponList()->CouponModel()->CheckedIds())
        ids += (ids.empty() ? "" : ",") + id;
    if (ids.empty())
        return;
    if (msgMain.ShowMessageDialog(kConfirmDeleteSelected, dkWarning, {dbOK, dbCancel}) != mrOk)
        return;
    DeleteAndReload(ids);
}

void TfrmMain::SkinButton4Click() {
    if (TRequestGuard::InFlight(FCouponService) || CouponList()->CouponModel()->rowCount() == 0)
        return;
    if (msgMain.ShowMessageDialog(kConfirmDeleteAll, dkWarning, {dbOK, dbCancel}) != mrOk)
        return;
    DeleteAndReload("all");
}

void TfrmMain::DeleteAndReload(const std::string& ids) {
    bool deleted = false;
    {
        TRequestGuard guard;
        deleted = FCouponService.DeleteCoupons(ids);
        if (deleted)
            RefreshCoupons(); // a failed reload shows nothing
    }
    if (!deleted)
        ShowCommandFailure(kDeleteTrouble);
}

void TfrmMain::SkinButton5Click() {
    if (TRequestGuard::InFlight(FCouponService))
        return;
    RunCouponEditor(nullptr);
}

// Edit Coupon: the highlighted row, whichever rows are ticked. The record is
// read by the list's decoder, so commas in its values stay where they are.
void TfrmMain::SkinButton6Click() {
    if (TRequestGuard::InFlight(FCouponService))
        return;
    const int row = CouponList()->HighlightedRow();
    if (row < 0)
        return;
    std::string record;
    bool fetched = false;
    {
        TRequestGuard guard;
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

void TfrmMain::RunCouponEditor(const TCoupon* coupon) {
    // The editor is destroyed however the command ends.
    auto editor =
        std::make_unique<TfrmCoupon>(FCouponService, msgMain, nullptr,
                                     [this](const std::string& text) { ShowCommandFailure(text); });
    frmCoupon = editor.get();
    struct Clear {
        ~Clear() { frmCoupon = nullptr; }
    } clear;
    if (coupon)
        editor->LoadCoupon(*coupon);
    if (editor->exec() == mrOk) {
        TRequestGuard guard;
        RefreshCoupons(); // a failed reload shows nothing
    }
}

void TfrmMain::SkinButton8Click() {
    if (TRequestGuard::InFlight(FCouponService))
        return;
    bool refreshed = false;
    {
        TRequestGuard guard;
        refreshed = RefreshCoupons();
    }
    if (!refreshed)
        ShowCommandFailure(kRefreshTrouble);
}

void TfrmMain::LoadSettings() {
    FSettings.Load();
}

void TfrmMain::SaveSettings() {
    FSettings.Save();
}

void TfrmMain::SkinButton7Click() {
    // The dialog is destroyed however the command ends.
    std::unique_ptr<TfrmSettings> dialog = std::make_unique<TfrmSettings>(FSettings.Values());
    frmSettings = dialog.get();
    struct Clear {
        ~Clear() { frmSettings = nullptr; }
    } clear;
    // OK makes the dialog's values the ones in force, whether or not the
    // file could be read at start-up.
    if (dialog->exec() == 1)
        FSettings.Accept(dialog->AppliedValues());
    // settings.dat is rewritten after every use of the dialog, Cancel included.
    SaveSettings();
}

void TfrmMain::btnStatsClick() {
    // The window fetches and decodes the redemptions while it is created,
    // with the events pumped; with a request in flight, or a window already
    // on its way, the command does nothing.
    static bool opening = false;
    if (opening || TRequestGuard::InFlight(FCouponService))
        return;
    std::unique_ptr<TfrmStats> dialog;
    {
        opening = true;
        struct Opened {
            ~Opened() { opening = false; }
        } opened;
        dialog = std::make_unique<TfrmStats>(FCouponService, msgMain, DefaultFormatSettings());
    }
    dialog->exec();
}

void TfrmMain::btnLoadClick() {
    TfrmFormCode dialog(WebServer(), ScriptName());
    dialog.exec();
}

void TfrmMain::FormResize() {
    // Centre both banners in the panel, visible or not; they may stick out.
    const QWidget* panel = ui->panBanner;
    for (QWidget* banner :
         {static_cast<QWidget*>(ui->imgBanner), static_cast<QWidget*>(ui->gifBanner)}) {
        banner->move(panel->width() / 2 - banner->width() / 2,
                     panel->height() / 2 - banner->height() / 2);
    }
    PlaceLinkLabels();
    PlaceListColumns();
}

void TfrmMain::PlaceListColumns() {
    // The designed widths; the last column takes what the window gains.
    ui->lvwItems->setColumnWidth(2, kColumnWidths[2] + std::max(0, width() - kDesignedWidth));
}

void TfrmMain::FormShow() {
    FormResize();
}

void TfrmMain::PlaceLinkLabels() {
    QLabel* link2 = ui->lblLink2URL;
    link2->adjustSize();
    link2->move(ui->SkinPanel4->width() - FLink2RightMargin - link2->width(), link2->y());
}

void TfrmMain::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    RunGuarded([this] { FormResize(); });
}

void TfrmMain::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!FCentredOnce && !event->spontaneous()) {
        FCentredOnce = true;
        CentreOnScreen(*this, true);
    }
    RunGuarded([this] { FormShow(); });
}

} // namespace quillory
