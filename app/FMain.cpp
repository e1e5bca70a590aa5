#include "FMain.h"

#include "BrandingView.h"
#include "CouponCommands.h"
#include "ErrorReport.h"
#include "FSettings.h"
#include "UUtils.h"
#include "UpdateHandOff.h"
#include "platform/FileSystem.h"
#include "platform/ProgramFolder.h"
#include "ui/SkinStyle.h"
#include "ui/WindowPlacement.h"
#include "ui_FMain.h"
#include "windows/CouponFilterBar.h"
#include "windows/CouponListView.h"

#include <QAction>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QResizeEvent>
#include <QShortcut>
#include <QShowEvent>

namespace quillory {

TfrmMain* frmMain = nullptr;

namespace {
const char* const kHelpAddress = "http://www.quillory.com/help/";
const char* const kAffiliateBaseAddress = "http://www.quillory.com/affiliates/";

// The designed widths of the list's columns, and of the use count and the
// status a list with details adds; the last column shown takes what the
// window gains beyond its designed width.
constexpr int kColumnWidths[] = {200, 132, 150, 70, 110};
constexpr int kDesignedWidth = 775;

// While a reply streams in, the message pump runs at most this often.
constexpr int kPumpIntervalMs = 8;

} // namespace

TfrmMain::TfrmMain(QWidget* parent)
    : QWidget(parent), ui(std::make_unique<Ui::frmMain>()),
      FCouponService(
          HTTP1, [this] { return WebServer(); }, [this] { return ScriptName(); }),
      FDispatcher(FCouponService) {
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
    // most every few milliseconds. Waits are cut into slices of the same
    // length: with slices of a quarter second, a server that takes its time
    // to answer would hold the window still for up to a quarter second.
    AntiFreeze1.OnlyWhenIdle = false;
    AntiFreeze1.IdleTimeOut = kPumpIntervalMs;
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
    for (int c = 0; c < kCouponColumnCount; ++c)
        ui->lvwItems->setColumnWidth(c, kColumnWidths[c]);
    ui->lvwItems->header()->setSectionsMovable(false);
    ui->lvwItems->header()->setStretchLastSection(false);

    // The units the window coordinates.
    FCommands = std::make_unique<TCouponCommands>(FCouponService, FDispatcher, msgMain,
                                                  *ui->lvwItems, FSettings);
    FBranding = std::make_unique<TBrandingView>(*this, *ui, SkinData1);
    FUpdates = std::make_unique<TUpdateHandOff>(HTTP1, msgMain, FDispatcher, *this);

    Timer1.setInterval(100);
    connect(&Timer1, &QTimer::timeout, this, [this] { RunGuarded([this] { Timer1Timer(); }); });

    ConnectCommand("SkinButton7", [this] { SkinButton7Click(); });
    ConnectClick("SkinButton1", [this] { SkinButton1Click(); });
    ConnectClick("SkinButton2", [this] { SkinButton2Click(); });
    ConnectCommand("SkinButton3", [this] { SkinButton3Click(); });
    ConnectCommand("SkinButton4", [this] { SkinButton4Click(); });
    ConnectCommand("SkinButton5", [this] { SkinButton5Click(); });
    ConnectCommand("SkinButton6", [this] { SkinButton6Click(); });
    ConnectCommand("SkinButton8", [this] { SkinButton8Click(); });
    // Keyboard: F5 Refresh, Delete, Ctrl+N Add, Enter or a double-click Edit.
    const std::pair<QKeySequence, void (TfrmMain::*)()> keys[] = {
        {QKeySequence(Qt::Key_F5), &TfrmMain::SkinButton8Click},
        {QKeySequence(Qt::Key_Delete), &TfrmMain::SkinButton3Click},
        {QKeySequence(Qt::CTRL | Qt::Key_N), &TfrmMain::SkinButton5Click},
        {QKeySequence(Qt::CTRL | Qt::Key_G), &TfrmMain::GenerateCouponsClick}};
    for (const auto& entry : keys) {
        // A named copy, not a structured binding: clang before 16 cannot capture those.
        const auto command = entry.second;
        auto* shortcut = new QShortcut(entry.first, this);
        connect(shortcut, &QShortcut::activated, this, [this, command] {
            RunGuarded(
                [this, command] { FDispatcher.Run([this, command] { (this->*command)(); }); });
        });
    }
    connect(ui->lvwItems, &QAbstractItemView::activated, this,
            [this] { RunGuarded([this] { FDispatcher.Run([this] { SkinButton6Click(); }); }); });
    CreateFilterBar();
    ConnectCommand("btnStats", [this] { btnStatsClick(); });
    CreateListMenu();
    ConnectClick("btnLoad", [this] { btnLoadClick(); });
    ConnectClick("btnHelp", [] { OpenURL(kHelpAddress); });
    // The affiliate id is a value inside the address, never more of it.
    ConnectClick("btnMakeMoney", [this] {
        OpenURL(kAffiliateBaseAddress + PercentEncode(FBranding->AffiliateID()));
    });
    // The update check runs through the dispatcher itself.
    ConnectClick("btnUpdate", [this] { btnUpdateClick(); });

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

template <typename Handler> void TfrmMain::ConnectCommand(const char* buttonName, Handler handler) {
    ConnectClick(buttonName, [this, handler] { FDispatcher.Run(handler); });
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

void TfrmMain::LoadBranding() {
    FBranding->LoadBranding();
}

void TfrmMain::Timer1Timer() {
    Timer1.stop(); // the start-up step never runs twice
    RunStartupStep();
}

void TfrmMain::RunStartupStep() {
    // No message either way: an unreachable service leaves the list empty,
    // with a quiet line in it saying why.
    const bool ran = FDispatcher.Run([this] {
        FDispatcher.Request([this] {
            if (!CheckService())
                FCommands->ShowStartupFailure(false);
            else if (!RefreshCoupons())
                FCommands->ShowStartupFailure(true);
        });
    });
    if (!ran)
        return;
    // The silent update check comes after the first list, under its own
    // short time limit, so an update server that is slow or never answers
    // cannot keep the list empty. It speaks only of a newer version; an
    // error creating its descriptor reaches the general error handling.
    CheckForUpdates(true);
}

TCouponListView* TfrmMain::CouponList() const {
    return ui->lvwItems;
}

void TfrmMain::ShowCommandFailure(const std::string& text) {
    FCommands->ShowCommandFailure(text);
}

TUpdateChecker& TfrmMain::UpdateChecker() {
    return FUpdates->Checker();
}

void TfrmMain::CheckForUpdates(bool silent) {
    FUpdates->CheckForUpdates(silent);
}

bool TfrmMain::DownloadFile(const std::string& url, const std::string& fileName) {
    return FUpdates->DownloadFile(url, fileName);
}

void TfrmMain::btnUpdateClick() {
    // Not while a coupon request or a list decode is under way.
    CheckForUpdates(false);
}

bool TfrmMain::CheckService() {
    return FCommands->CheckService();
}

bool TfrmMain::RefreshCoupons() {
    return FCommands->RefreshCoupons();
}

void TfrmMain::FillCouponList(const std::string& reply) {
    FCommands->FillCouponList(reply);
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
    // Its Test may still be waiting for a reply after the dialog was closed:
    // until it ends, the dialog counts as a request in flight.
    const bool applied = FDispatcher.RunMarked([&] { return dialog->exec() == 1; });
    if (applied)
        FSettings.Accept(dialog->AppliedValues());
    // settings.dat is rewritten after every use of the dialog, Cancel included.
    SaveSettings();
    // The seller still has to upload what OK wrote: say where it is.
    if (applied)
        OfferServerScriptFolder(msgMain, TfrmSettings::ScriptPath());
}

void TfrmMain::btnStatsClick() {
    FCommands->Statistics();
}

void TfrmMain::btnLoadClick() {
    FCommands->FormCode();
}

void TfrmMain::FormResize() {
    // Centre both banners in the panel, visible or not; they may stick out.
    const QWidget* panel = ui->panBanner;
    for (QWidget* banner :
         {static_cast<QWidget*>(ui->imgBanner), static_cast<QWidget*>(ui->gifBanner)}) {
        banner->move(panel->width() / 2 - banner->width() / 2,
                     panel->height() / 2 - banner->height() / 2);
    }
    FBranding->PlaceLinkLabels();
    PlaceListColumns();
}

void TfrmMain::PlaceListColumns() {
    // The designed widths; the last column takes what the window gains.
    const int columns = ui->lvwItems->CouponModel()->columnCount();
    for (int c = 0; c < columns - 1; ++c)
        if (FPlacedColumns != columns)
            ui->lvwItems->setColumnWidth(c, kColumnWidths[c]);
    ui->lvwItems->setColumnWidth(columns - 1, kColumnWidths[columns - 1] +
                                                  std::max(0, width() - kDesignedWidth));
    FPlacedColumns = columns;
}

void TfrmMain::CreateFilterBar() {
    // Above the list, hidden until Ctrl+F or the Find button opens it.
    FFilterBar = new TCouponFilterBar(this);
    ui->layMain->insertWidget(ui->layMain->indexOf(ui->lvwItems), FFilterBar);
    auto* find = new QPushButton(QStringLiteral("Find"), ui->SkinPanel1);
    find->setObjectName(QStringLiteral("btnFind"));
    find->setGeometry(708, 6, 62, 20);
    find->setCursor(Qt::PointingHandCursor);
    find->setFocusPolicy(Qt::NoFocus);
    find->setToolTip(QStringLiteral("Find coupons by code, name or status (Ctrl+F)"));
    auto open = [this] { RunGuarded([this] { FFilterBar->Open(); }); };
    connect(find, &QPushButton::clicked, this, open);
    connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_F), this), &QShortcut::activated, this,
            open);
    // Escape closes the bar wherever the focus is in the window.
    connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this,
            [this] { RunGuarded([this] { FFilterBar->Close(); }); });
    TCouponListView* list = ui->lvwItems;
    connect(FFilterBar, &TCouponFilterBar::FilterChanged, this, [this, list] {
        RunGuarded([&] { list->SetFilter(FFilterBar->Text(), FFilterBar->Status()); });
    });
    connect(FFilterBar, &TCouponFilterBar::Closed, this, [this, list] {
        RunGuarded([&] {
            list->ClearFilter();
            list->setFocus();
        });
    });
    // After every change of the rows: the count in the bar, and the columns
    // placed again when a list with details (or without) came.
    connect(list->CouponModel(), &QAbstractItemModel::modelReset, this, [this, list] {
        const TCouponListModel* model = list->CouponModel();
        FFilterBar->ShowCount(model->rowCount(), static_cast<int>(model->List().Count()),
                              model->Filtered());
        if (model->columnCount() != FPlacedColumns)
            PlaceListColumns();
    });
}

void TfrmMain::CreateListMenu() {
    // The list's menu, on a right-click in the list and on the filter bar's
    // Actions button. Every entry may send requests: through the dispatcher.
    FListMenu = new QMenu(this);
    FListMenu->setObjectName(QStringLiteral("mnuCouponList"));
    const struct {
        const char* Caption;
        const char* Name;
        void (TCouponCommands::*Command)();
    } entries[] = {
        {"Export coupons\u2026", "actExportCoupons", &TCouponCommands::ExportCoupons},
        {"Import coupons\u2026", "actImportCoupons", &TCouponCommands::ImportCoupons},
        {nullptr, nullptr, nullptr},
        {"Mark expired", "actMarkExpired", &TCouponCommands::MarkExpired},
        {"Clear expired", "actClearExpired", &TCouponCommands::ClearExpired},
        {"Set expiry date\u2026", "actSetExpiryDate", &TCouponCommands::SetExpiryDate},
        {"Duplicate", "actDuplicateCoupons", &TCouponCommands::DuplicateCoupons},
        {nullptr, nullptr, nullptr},
        {"Generate coupons\u2026", "actGenerateCoupons", &TCouponCommands::GenerateCoupons},
    };
    for (const auto& entry : entries) {
        if (!entry.Caption) {
            FListMenu->addSeparator();
            continue;
        }
        auto* action = FListMenu->addAction(QString::fromUtf8(entry.Caption));
        action->setObjectName(QLatin1String(entry.Name));
        const auto command = entry.Command;
        connect(action, &QAction::triggered, this, [this, command] {
            RunGuarded([this, command] {
                FDispatcher.Run([this, command] { (FCommands.get()->*command)(); });
            });
        });
    }
    // Ctrl+G has a shortcut of its own; the menu shows it.
    auto* generate = findChild<QAction*>(QStringLiteral("actGenerateCoupons"));
    generate->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_G));
    generate->setShortcutContext(Qt::WidgetShortcut);
    ui->lvwItems->SetContextMenu(FListMenu);
    FFilterBar->SetListMenu(FListMenu);
}

void TfrmMain::FormShow() {
    FormResize();
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
