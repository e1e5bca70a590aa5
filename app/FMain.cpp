#include "FMain.h"

#include "ErrorReport.h"
#include "FSettings.h"
#include "LinkLabel.h"
#include "UUtils.h"
#include "coupons/FFormCode.h"
#include "coupons/FStatistics.h"
#include "coupons/ListReply.h"
#include "platform/FileSystem.h"
#include "platform/ProfileFile.h"
#include "platform/ProgramFolder.h"
#include "ui/SkinDateEdit.h"
#include "ui/SkinStyle.h"
#include "ui_FMain.h"

#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QResizeEvent>
#include <QScreen>
#include <QShowEvent>
#include <QTreeWidget>

namespace quillory {

TfrmMain* frmMain = nullptr;

namespace {
const char* const kSettingsFile = "settings.dat";
const char* const kSettingsSection = "Settings";
const char* const kHelpAddress = "http://www.quillory.com/help/";
const char* const kAffiliateBaseAddress = "http://www.quillory.com/affiliates/";
// Where a row of the coupon list keeps its coupon's id.
constexpr int kCouponIdRole = Qt::UserRole + 1;
} // namespace

TfrmMain::TfrmMain(QWidget* parent)
    : QWidget(parent), ui(std::make_unique<Ui::frmMain>()),
      FCouponService(
          HTTP1, [this] { return FWebServer; }, [this] { return FScriptName; }) {
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
    // While a request waits, the window keeps repainting and taking clicks.
    TAntiFreeze::SetHook([](bool) { QCoreApplication::processEvents(QEventLoop::AllEvents); });
    resize(775, 516);
    QFont listFont(QStringLiteral("Arial"));
    listFont.setPixelSize(14);
    ui->lvwItems->setFont(listFont);
    ui->lvwItems->setColumnWidth(0, 200);
    ui->lvwItems->setColumnWidth(1, 132);
    ui->lvwItems->setColumnWidth(2, 150);
    ui->lvwItems->header()->setSectionsMovable(false);
    ui->lvwItems->header()->setStretchLastSection(false);
    TLinkLabel::Attach(ui->lblLink1URL);
    TLinkLabel::Attach(ui->lblLink2URL);
    // lblLink2URL keeps its distance from the right edge of the bottom panel.
    ui->lblLink2URL->adjustSize();
    FLink2RightMargin = 775 - (723 + ui->lblLink2URL->width());
    ui->lblLink1URL->adjustSize();

    Timer1.setInterval(100);
    connect(&Timer1, &QTimer::timeout, this, [this] { RunGuarded([this] { Timer1Timer(); }); });

    ConnectClick("SkinButton7", [this] { SkinButton7Click(); });
    ConnectClick("btnStats", [this] { btnStatsClick(); });
    ConnectClick("btnLoad", [this] { btnLoadClick(); });
    ConnectClick("btnHelp", [] { OpenURL(kHelpAddress); });
    ConnectClick("btnMakeMoney", [this] { OpenURL(kAffiliateBaseAddress + FAffiliateID); });

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
    LoadSettings();
    Timer1.start();
}

void TfrmMain::Timer1Timer() {
    Timer1.stop(); // the start-up step never runs twice
    RunStartupStep();
}

void TfrmMain::RunStartupStep() {
    // No message either way: an unreachable service leaves the list empty.
    if (CheckService())
        RefreshCoupons();
}

bool TfrmMain::CheckService() {
    return FCouponService.CheckService();
}

bool TfrmMain::RefreshCoupons() {
    return FCouponService.RefreshCoupons(
        [this](const std::string& reply) { FillCouponList(reply); });
}

void TfrmMain::FillCouponList(const std::string& reply) {
    QTreeWidget* list = ui->lvwItems;
    list->clear();
    // Each row: name, code, "True"/"False"; the coupon's id rides along unseen.
    ForEachListRecord(reply, 4, [list](TListRecord& fields) {
        auto* row = new QTreeWidgetItem(list);
        row->setText(0, QString::fromLocal8Bit(fields[2]));
        row->setText(1, QString::fromLocal8Bit(fields[1]));
        row->setText(2, TrimText(RemoveQuotes(fields[3])) == "1" ? QStringLiteral("True")
                                                                 : QStringLiteral("False"));
        row->setData(0, kCouponIdRole, QString::fromLocal8Bit(TrimText(RemoveQuotes(fields[0]))));
        row->setFlags(row->flags() | Qt::ItemIsUserCheckable);
        row->setCheckState(0, Qt::Unchecked);
    });
}

void TfrmMain::LoadSettings() {
    // The file is read once; a missing, odd or oversized file reads as no file.
    if (const auto text = ReadProfileText(ProgramFolder() + kSettingsFile)) {
        auto read = [&](const char* key) {
            return ReadProfileStringFromText(*text, kSettingsSection, key);
        };
        FWebServer = read("webserver");
        FDbHostName = read("dbhostname");
        FDbDatabase = read("dbdatabase");
        FDbUserName = read("dbusername");
        FDbPassword = read("dbpassword");
        FInvalidPage = read("invalidpage");
    }
    FScriptName = "couponsactions.php";
}

void TfrmMain::SaveSettings() {
    const std::string path = ProgramFolder() + kSettingsFile;
    WriteProfileString(path, kSettingsSection, "webserver", FWebServer);
    WriteProfileString(path, kSettingsSection, "dbhostname", FDbHostName);
    WriteProfileString(path, kSettingsSection, "dbdatabase", FDbDatabase);
    WriteProfileString(path, kSettingsSection, "dbusername", FDbUserName);
    WriteProfileString(path, kSettingsSection, "dbpassword", FDbPassword);
    WriteProfileString(path, kSettingsSection, "invalidpage", FInvalidPage);
}

void TfrmMain::SkinButton7Click() {
    // The dialog is destroyed however the command ends.
    std::unique_ptr<TfrmSettings> dialog = std::make_unique<TfrmSettings>();
    frmSettings = dialog.get();
    struct Clear {
        ~Clear() { frmSettings = nullptr; }
    } clear;
    dialog->edtSite()->setText(QString::fromLocal8Bit(FWebServer));
    dialog->edtHostname()->setText(QString::fromLocal8Bit(FDbHostName));
    dialog->edtDatabase()->setText(QString::fromLocal8Bit(FDbDatabase));
    dialog->edtUsername()->setText(QString::fromLocal8Bit(FDbUserName));
    dialog->edtPassword()->setText(QString::fromLocal8Bit(FDbPassword));
    dialog->edtInvalid()->setText(QString::fromLocal8Bit(FInvalidPage));
    dialog->exec();
    // settings.dat is rewritten after every use of the dialog, Cancel included.
    SaveSettings();
}

void TfrmMain::btnStatsClick() {
    // The window fetches and decodes the redemptions while it is created,
    // with the events pumped; with a request in flight, or a window already
    // on its way, the command does nothing.
    static bool opening = false;
    if (opening || FCouponService.Busy())
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
    TfrmFormCode dialog(FWebServer, FScriptName);
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
        if (QScreen* screen = this->screen()) {
            QRect area = screen->availableGeometry();
            QRect frame = frameGeometry();
            move(area.center() - QPoint(frame.width() / 2, frame.height() / 2) +
                 (geometry().topLeft() - frame.topLeft()));
        }
    }
    RunGuarded([this] { FormShow(); });
}

} // namespace quillory
