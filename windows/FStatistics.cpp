#include "windows/FStatistics.h"

#include "http/AntiFreeze.h"
#include "ui/SkinDateEdit.h"
#include "ui/WindowPlacement.h"
#include "ui_FStatistics.h"
#include "windows/CommandFailure.h"

#include <QApplication>
#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QButtonGroup>
#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QHorizontalBarSeries>
#include <QResizeEvent>
#include <QScreen>
#include <QShowEvent>
#include <QStringListModel>
#include <QVBoxLayout>
#include <QValueAxis>

#include <chrono>
#include <climits>

namespace quillory {

namespace {

QString FromBytes(const std::string& text) {
    return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}

std::string ToBytes(const QString& text) {
    return text.toLocal8Bit().toStdString();
}

const char* const kStatisticsTrouble = "There is a trouble loading the statistics, please check "
                                       "your settings and your internet connection.";

// How long decoding may run before the window's events are processed.
constexpr auto kDecodeSlice = std::chrono::milliseconds(25);

// Distances of the anchored controls from the right and bottom edges.
constexpr int kMargin = 8;
constexpr int kItemsTop = 144;
constexpr int kBottomRow = 32; // from the bottom edge to the top of the bottom buttons

const char* UnitTitle(TChartUnit unit) {
    switch (unit) {
    case TChartUnit::Day:
        return "Redemptions per day";
    case TChartUnit::Week:
        return "Redemptions per week";
    case TChartUnit::Month:
        return "Redemptions per month";
    case TChartUnit::Year:
        return "Redemptions per year";
    }
    return "";
}

} // namespace

// --------------------------------------------------------------- the tables

void TStatsTableModel::SetSortOrder(int column, bool descending) {
    beginResetModel();
    FSortColumn = column;
    FSortDescending = descending;
    Sort();
    endResetModel();
}

TTraceTableModel::TTraceTableModel(const TTraceList& traces, const TFormatSettings& fs,
                                   QObject* parent)
    : TStatsTableModel(parent), FTraces(traces), FFormat(fs) {}

void TTraceTableModel::SetRows(std::vector<std::size_t> rows) {
    beginResetModel();
    FFiltered = std::move(rows);
    FTicks.assign(FTraces.Count(), 0);
    Sort();
    endResetModel();
}

void TTraceTableModel::Sort() {
    FRows = SortTraceRows(FTraces, FFiltered, FSortColumn, FSortDescending);
}

int TTraceTableModel::RowOf(std::size_t item) const {
    const auto at = std::find(FRows.begin(), FRows.end(), item);
    return at == FRows.end() ? -1 : static_cast<int>(at - FRows.begin());
}

int TTraceTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(FRows.size());
}

int TTraceTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kTraceColumnCount;
}

QVariant TTraceTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= static_cast<int>(FRows.size()))
        return {};
    const std::size_t item = FRows[static_cast<std::size_t>(index.row())];
    const TTrace& trace = FTraces[item];
    if (role == Qt::DisplayRole) {
        switch (index.column()) {
        case tcCode:
            return FromBytes(trace.Code());
        case tcDateUsed:
            return FromBytes(FormatDateUsed(trace.DateUsed(), FFormat));
        case tcComputerIP:
            return FromBytes(trace.ComputerIP());
        }
    } else if (role == Qt::CheckStateRole && index.column() == 0) {
        return FTicks[item] ? Qt::Checked : Qt::Unchecked;
    }
    return {};
}

QVariant TTraceTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    static const char* const titles[kTraceColumnCount] = {"Coupon Code", "Date Used",
                                                          "Computer IP"};
    return section >= 0 && section < kTraceColumnCount ? QString::fromLatin1(titles[section])
                                                       : QVariant();
}

Qt::ItemFlags TTraceTableModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (index.isValid() && index.column() == 0)
        f |= Qt::ItemIsUserCheckable;
    return f;
}

bool TTraceTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::CheckStateRole || !index.isValid() || index.column() != 0 ||
        index.row() >= static_cast<int>(FRows.size()))
        return false;
    FTicks[FRows[static_cast<std::size_t>(index.row())]] =
        value.value<Qt::CheckState>() == Qt::Checked ? 1 : 0;
    emit dataChanged(index, index, {Qt::CheckStateRole});
    return true;
}

TCouponSumModel::TCouponSumModel(const TFormatSettings& fs, QObject* parent)
    : TStatsTableModel(parent), FFormat(fs) {}

void TCouponSumModel::SetSums(std::vector<TCouponSum> sums) {
    beginResetModel();
    FSums = std::move(sums);
    Sort();
    endResetModel();
}

void TCouponSumModel::Sort() {
    FOrder = SortCouponSums(FSums, FSortColumn, FSortDescending);
}

int TCouponSumModel::RowOf(std::size_t item) const {
    const auto at = std::find(FOrder.begin(), FOrder.end(), item);
    return at == FOrder.end() ? -1 : static_cast<int>(at - FOrder.begin());
}

int TCouponSumModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(FOrder.size());
}

int TCouponSumModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kCouponSumColumnCount;
}

QVariant TCouponSumModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= static_cast<int>(FOrder.size()))
        return {};
    const TCouponSum& sum = FSums[FOrder[static_cast<std::size_t>(index.row())]];
    if (role == Qt::DisplayRole) {
        switch (index.column()) {
        case scCode:
            return FromBytes(sum.Code);
        case scName:
            return FromBytes(sum.Name);
        case scRedemptions:
            return QString::number(static_cast<qulonglong>(sum.Redemptions));
        case scLastUsed:
            return FromBytes(FormatDateUsed(sum.LastUsed, FFormat));
        }
    } else if (role == Qt::TextAlignmentRole && index.column() == scRedemptions) {
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    }
    return {};
}

QVariant TCouponSumModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    static const char* const titles[kCouponSumColumnCount] = {"Coupon Code", "Coupon Name",
                                                              "Redemptions", "Last Used"};
    return section >= 0 && section < kCouponSumColumnCount ? QString::fromLatin1(titles[section])
                                                           : QVariant();
}

// --------------------------------------------------------------- the window

TfrmStats::TfrmStats(TCouponService& service, TSkinMessage& messages, const TFormatSettings& fs,
                     const TCouponList* coupons, QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::frmStats>()), FService(service), FMessages(messages),
      FFormat(fs) {
    ui->setupUi(this);
    resize(725, 444);
    setMinimumSize(660, 300);

    FModel = new TTraceTableModel(FTraces, FFormat, this);
    SetupTable(ui->lvwItems, FModel);
    ui->lvwItems->setColumnWidth(tcCode, 132);
    ui->lvwItems->setColumnWidth(tcDateUsed, 150);
    ui->lvwItems->setColumnWidth(tcComputerIP, 150);
    FCouponsModel = new TCouponSumModel(FFormat, this);
    SetupTable(ui->lvwCoupons, FCouponsModel);
    ui->lvwCoupons->setColumnWidth(scCode, 132);
    ui->lvwCoupons->setColumnWidth(scName, 200);
    ui->lvwCoupons->setColumnWidth(scRedemptions, 90);
    ui->lvwCoupons->setColumnWidth(scLastUsed, 150);

    auto* chart = new QChart;
    chart->legend()->hide();
    chart->setAnimationOptions(QChart::NoAnimation);
    FChartView = new QChartView(chart, ui->panChart);
    FChartView->setObjectName(QStringLiteral("chtItems"));
    FChartView->setRenderHint(QPainter::Antialiasing);
    auto* chartLayout = new QVBoxLayout(ui->panChart);
    chartLayout->setContentsMargins(0, 0, 0, 0);
    chartLayout->addWidget(FChartView);

    ui->cbxCodes->setModel(new QStringListModel(ui->cbxCodes));
    for (TSkinDateEdit* edit : {ui->edtDateFixed, ui->edtDateIni, ui->edtDateEnd})
        SetupDateField(edit);

    // The handlers are attached after the initial dates are set, so those do
    // not count as a user's edit.
    connect(ui->btnShow, &QPushButton::clicked, this, [this] { btnShowClick(); });
    connect(ui->cbxCodes, &QComboBox::activated, this, [this] { cbxCodesClick(); });
    connect(ui->edtCode, &QLineEdit::textChanged, this, [this] { edtCodeChange(); });
    connect(ui->edtDateFixed, &TSkinDateEdit::Change, this, [this] { edtDateFixedChange(); });
    connect(ui->edtDateIni, &TSkinDateEdit::Change, this, [this] { edtDateIniChange(); });
    connect(ui->edtDateEnd, &TSkinDateEdit::Change, this, [this] { edtDateEndChange(); });
    connect(ui->btnOk, &QPushButton::clicked, this, [this] { btnOkClick(); });
    connect(ui->btnExport, &QPushButton::clicked, this, [this] { btnExportClick(); });
    // Each radio group, the Table/Chart switch and the view switch are groups
    // of their own.
    for (const auto& members :
         {std::vector<QAbstractButton*>{ui->rbtCodeSel, ui->rbtCodeType, ui->rbtCodeAll},
          std::vector<QAbstractButton*>{ui->rbtDateSel, ui->rbtDateRange, ui->rbtDateAll},
          std::vector<QAbstractButton*>{ui->btnTable, ui->btnChart},
          std::vector<QAbstractButton*>{ui->btnViewTraces, ui->btnViewCoupons}}) {
        auto* group = new QButtonGroup(this);
        for (QAbstractButton* b : members)
            group->addButton(b);
    }
    connect(ui->btnTable, &QPushButton::toggled, this, [this] { ShowPage(); });
    connect(ui->btnViewTraces, &QPushButton::clicked, this,
            [this] { btnViewClick(TStatsView::Redemptions); });
    connect(ui->btnViewCoupons, &QPushButton::clicked, this,
            [this] { btnViewClick(TStatsView::ByCoupon); });

    FormCreate(coupons);
    ui->lblTotals->setText(TotalsText());
}

void TfrmStats::SetupTable(QTableView* table, TStatsTableModel* model) {
    table->setModel(model);
    table->verticalHeader()->hide();
    // Fixed row heights: the view never measures a hundred thousand rows.
    table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 4);
    QHeaderView* header = table->horizontalHeader();
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setStretchLastSection(false);
    header->setHighlightSections(false);
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(false);
    connect(header, &QHeaderView::sectionClicked, this,
            [this, table, model](int column) { CycleSort(table, model, column); });
}

void TfrmStats::CycleSort(QTableView* table, TStatsTableModel* model, int column) {
    const QModelIndexList selected = table->selectionModel()->selectedRows();
    const int before = selected.isEmpty() ? -1 : selected.first().row();
    const std::size_t item = before >= 0 ? model->ItemAt(before) : 0;
    if (model->SortColumn() != column)
        model->SetSortOrder(column, false);
    else if (!model->SortDescending())
        model->SetSortOrder(column, true);
    else
        model->SetSortOrder(-1, false);
    QHeaderView* header = table->horizontalHeader();
    header->setSortIndicatorShown(model->SortColumn() >= 0);
    if (model->SortColumn() >= 0)
        header->setSortIndicator(model->SortColumn(), model->SortDescending() ? Qt::DescendingOrder
                                                                              : Qt::AscendingOrder);
    if (before >= 0) {
        const int after = model->RowOf(item);
        if (after >= 0) {
            table->selectRow(after);
            table->scrollTo(model->index(after, 0));
        }
    }
    // The export follows the order shown; so does the "By coupon" chart's
    // choice among codes with equal counts.
    if (FView == TStatsView::ByCoupon)
        DrawChart();
}

TfrmStats::~TfrmStats() = default;

void TfrmStats::SetupDateField(TSkinDateEdit* edit) {
    edit->BeginLoading();
    edit->SetFormatSettings(FFormat);
    edit->SetEditMask("!99/99/0000;1; ");
    edit->SetTodayDefault(true);
    edit->EndLoading();
}

void TfrmStats::FormCreate(const TCouponList* coupons) {
    FLoaded = LoadStatistics();
    if (coupons && FTraces.Count() > 0) {
        // A long coupon list is looked through in steps, like the reply.
        auto last = std::chrono::steady_clock::now();
        FNames = NameCodes(FTraces, *coupons, [&last] {
            const auto now = std::chrono::steady_clock::now();
            if (now - last >= kDecodeSlice) {
                TAntiFreeze::PumpMessages(true, true);
                last = std::chrono::steady_clock::now();
            }
        });
    }
    DrawChart();
    if (FLoaded)
        return;
    // A failure never passes for "no redemptions": the window says so, and
    // with nothing read a message says why before the window opens.
    const std::string reason = FService.FailureReason();
    QString status;
    if (FTraces.Count() > 0)
        status = FTraces.Count() == 1
                     ? QStringLiteral("Incomplete: only the first redemption could be read.")
                     : QStringLiteral("Incomplete: only the first %1 redemptions could be read.")
                           .arg(static_cast<qulonglong>(FTraces.Count()));
    else
        status = QStringLiteral("The redemptions could not be loaded.");
    ui->lblStatus->setText(status);
    ui->lblStatus->setToolTip(FromBytes(reason));
    ui->lblStatus->setStyleSheet(QStringLiteral("QLabel { color: #B42318; font-weight: bold; }"));
    if (FTraces.Count() == 0)
        FMessages.ShowMessageDialog(CommandFailureText(kStatisticsTrouble, FService), dkWarning,
                                    {dbOK});
}

QString TfrmStats::StatusText() const {
    return ui->lblStatus->text();
}

bool TfrmStats::LoadStatistics() {
    // The busy cursor shows while the request runs and the reply is decoded.
    QApplication::setOverrideCursor(Qt::WaitCursor);
    struct RestoreCursor {
        ~RestoreCursor() { QApplication::restoreOverrideCursor(); }
    } restore;
    return FService.LoadStatistics([this](const std::string& reply) { ParseStatistics(reply); });
}

void TfrmStats::ParseStatistics(const std::string& reply) {
    FModel->SetRows({});
    FCouponsModel->SetSums({});
    FNames.clear();
    FChartData = {};
    FTraces.Clear();
    auto* codes = static_cast<QStringListModel*>(ui->cbxCodes->model());
    codes->setStringList({});
    // The code list is filled once, also when a record fails: the codes
    // before the failing record stay.
    struct FillCodes {
        TfrmStats* Self;
        QStringListModel* Codes;
        ~FillCodes() {
            QStringList list;
            list.reserve(static_cast<qsizetype>(Self->FTraces.Codes().size()));
            for (const std::string& code : Self->FTraces.Codes())
                list.append(FromBytes(code));
            Codes->setStringList(list);
            Self->ui->cbxCodes->setCurrentIndex(-1);
        }
    } fill{this, codes};
    // A long reply is decoded in steps, the window's events processed between them.
    auto last = std::chrono::steady_clock::now();
    FTraces.ParseStatistics(reply, [&last] {
        const auto now = std::chrono::steady_clock::now();
        if (now - last >= kDecodeSlice) {
            TAntiFreeze::PumpMessages(true, true);
            last = std::chrono::steady_clock::now();
        }
    });
}

TStatisticsFilter TfrmStats::CurrentFilter() const {
    TStatisticsFilter f;
    if (ui->rbtCodeSel->isChecked()) {
        f.ByCode = true;
        f.Code = ToBytes(ui->cbxCodes->currentText());
    } else if (ui->rbtCodeType->isChecked()) {
        f.ByCode = true;
        f.Code = ToBytes(ui->edtCode->text());
    }
    if (ui->rbtDateSel->isChecked()) {
        f.DateMode = TStatisticsFilter::dmDay;
        f.Day = ui->edtDateFixed->Date();
    } else if (ui->rbtDateRange->isChecked()) {
        f.DateMode = TStatisticsFilter::dmRange;
        f.From = ui->edtDateIni->Date();
        f.To = ui->edtDateEnd->Date();
    }
    return f;
}

void TfrmStats::ShowStatistics() {
    std::vector<std::size_t> rows = FilterTraces(FTraces.Traces(), CurrentFilter());
    FCouponsModel->SetSums(SumByCoupon(FTraces, rows, FNames));
    FModel->SetRows(std::move(rows));
    ui->lblTotals->setText(TotalsText());
    DrawChart();
}

QString TfrmStats::TotalsText() const {
    return FromBytes(ShownTotalsText(FModel->Rows().size(), FCouponsModel->Sums().size(), FFormat));
}

void TfrmStats::SetView(TStatsView view) {
    FView = view;
    (view == TStatsView::ByCoupon ? ui->btnViewCoupons : ui->btnViewTraces)->setChecked(true);
    ShowPage();
    DrawChart();
}

void TfrmStats::btnViewClick(TStatsView view) {
    if (view != FView)
        SetView(view);
}

void TfrmStats::ShowPage() {
    if (ui->btnChart->isChecked())
        ui->pagItems->setCurrentWidget(ui->panChart);
    else
        ui->pagItems->setCurrentWidget(FView == TStatsView::ByCoupon
                                           ? static_cast<QWidget*>(ui->lvwCoupons)
                                           : static_cast<QWidget*>(ui->lvwItems));
}

QChart* TfrmStats::Chart() const {
    return FChartView->chart();
}

void TfrmStats::DrawChart() {
    FChartData = BinRedemptions(FTraces.Traces(), FModel->Rows(), FFormat);
    QChart* chart = Chart();
    chart->removeAllSeries();
    // Removed axes would otherwise linger, drawn under the next ones.
    for (QAbstractAxis* axis : chart->axes()) {
        chart->removeAxis(axis);
        delete axis;
    }
    if (FChartData.Bars.empty()) {
        chart->setTitle(QStringLiteral("No redemptions shown"));
        return;
    }
    if (FView == TStatsView::ByCoupon)
        DrawCouponChart();
    else
        DrawTimeChart();
}

namespace {

// A count axis in whole numbers up to at least `highest`.
QValueAxis* CountAxis(int highest) {
    auto* axis = new QValueAxis;
    int top = std::max(highest, 1);
    int step = 1;
    while (top / step > 10)
        step *= top / step > 50 ? 5 : 2;
    top = (top + step - 1) / step * step;
    axis->setRange(0, top);
    axis->setTickCount(top / step + 1);
    axis->setLabelFormat(QStringLiteral("%d"));
    return axis;
}

} // namespace

void TfrmStats::DrawTimeChart() {
    QChart* chart = Chart();
    chart->setTitle(QString::fromLatin1(UnitTitle(FChartData.Unit)) + QStringLiteral(", ") +
                    FromBytes(ChartSpanText(FChartData, FFormat)) +
                    (FLoaded ? QString() : QStringLiteral(" (incomplete)")));
    auto* set = new QBarSet(QStringLiteral("Redemptions"));
    int highest = 0;
    for (const TChartBar& bar : FChartData.Bars) {
        set->append(bar.Count);
        highest = std::max(highest, bar.Count);
    }
    auto* series = new QBarSeries;
    series->append(set);
    chart->addSeries(series);

    // The bars stand at 0, 1, 2, ...; at most a dozen of them are labelled,
    // so every label is drawn whole whatever the range.
    auto* x = new QCategoryAxis;
    x->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    x->setStartValue(-0.5);
    // The axis keys its labels by their text: a repeated one ("Apr" of each
    // year) gets zero-width spaces that make it a label of its own.
    QStringList used;
    for (const TChartLabel& label : ChartAxisLabels(FChartData, FFormat)) {
        QString text = FromBytes(label.Text);
        while (used.contains(text))
            text += QChar(0x200B);
        used.append(text);
        x->append(text, static_cast<qreal>(label.Bar));
    }
    x->setRange(-0.5, static_cast<qreal>(FChartData.Bars.size()) - 0.5);
    x->setGridLineVisible(false);
    chart->addAxis(x, Qt::AlignBottom);
    series->attachAxis(x);

    QValueAxis* y = CountAxis(highest);
    chart->addAxis(y, Qt::AlignLeft);
    series->attachAxis(y);
}

void TfrmStats::DrawCouponChart() {
    // The most used coupons, one bar each, the most used at the top.
    const std::vector<TCouponSum>& sums = FCouponsModel->Sums();
    const std::vector<std::uint32_t> most = MostUsedCoupons(sums, FCouponsModel->Order());
    QChart* chart = Chart();
    QString title = QStringLiteral("Redemptions per coupon");
    if (sums.size() > most.size())
        title += QStringLiteral(", the %1 most used of %2 codes")
                     .arg(most.size())
                     .arg(static_cast<qulonglong>(sums.size()));
    chart->setTitle(title + (FLoaded ? QString() : QStringLiteral(" (incomplete)")));
    auto* set = new QBarSet(QStringLiteral("Redemptions"));
    auto* codes = new QBarCategoryAxis;
    QStringList used;
    int highest = 0;
    for (auto i = most.rbegin(); i != most.rend(); ++i) {
        const TCouponSum& sum = sums[*i];
        set->append(static_cast<qreal>(sum.Redemptions));
        highest =
            std::max(highest, static_cast<int>(std::min<std::size_t>(sum.Redemptions, INT_MAX)));
        // Categories are keyed by their text: an empty or repeated one gets
        // zero-width spaces that keep it apart.
        QString text = FromBytes(sum.Code);
        while (text.isEmpty() || used.contains(text))
            text += QChar(0x200B);
        used.append(text);
    }
    codes->append(used);
    auto* series = new QHorizontalBarSeries;
    series->append(set);
    chart->addSeries(series);
    chart->addAxis(codes, Qt::AlignLeft);
    series->attachAxis(codes);
    QValueAxis* x = CountAxis(highest);
    chart->addAxis(x, Qt::AlignBottom);
    series->attachAxis(x);
}

bool TfrmStats::ExportCsv(const QString& fileName) {
    const std::string csv = FView == TStatsView::ByCoupon
                                ? CouponSumsCsv(FCouponsModel->Sums(), FCouponsModel->Order())
                                : StatisticsCsv(FTraces.Traces(), FModel->Rows());
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(csv.data(), static_cast<qint64>(csv.size())) !=
            static_cast<qint64>(csv.size()) ||
        !file.flush()) {
        const std::string reason = ToBytes(file.errorString());
        file.close();
        FMessages.ShowMessageDialog("The file " + ToBytes(fileName) +
                                        " cannot be written: " + reason,
                                    dkWarning, {dbOK}, 0);
        return false;
    }
    return true;
}

void TfrmStats::btnShowClick() {
    ShowStatistics();
}

void TfrmStats::cbxCodesClick() {
    ui->rbtCodeSel->setChecked(true);
}

void TfrmStats::edtCodeChange() {
    ui->rbtCodeType->setChecked(true);
}

void TfrmStats::edtDateFixedChange() {
    ui->rbtDateSel->setChecked(true);
}

void TfrmStats::edtDateIniChange() {
    ui->rbtDateRange->setChecked(true);
}

void TfrmStats::edtDateEndChange() {
    ui->rbtDateRange->setChecked(true);
}

void TfrmStats::btnOkClick() {
    done(1);
}

void TfrmStats::reject() {
    done(2);
}

void TfrmStats::btnExportClick() {
    QFileDialog dialog(this, QStringLiteral("Export Statistics"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters({QStringLiteral("CSV files (*.csv)"), QStringLiteral("All files (*)")});
    dialog.setDefaultSuffix(QStringLiteral("csv"));
    dialog.selectFile(FView == TStatsView::ByCoupon ? QStringLiteral("statistics-by-coupon.csv")
                                                    : QStringLiteral("statistics.csv"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    ExportCsv(dialog.selectedFiles().constFirst());
}

void TfrmStats::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    // The table grows with the window; the bottom row stays at the bottom,
    // "Close" in the bottom right corner.
    const int w = width(), h = height();
    ui->panItems->setGeometry(kMargin, kItemsTop, w - 2 * kMargin,
                              h - kItemsTop - kBottomRow - kMargin);
    for (QWidget* b : {static_cast<QWidget*>(ui->btnTable), static_cast<QWidget*>(ui->btnChart),
                       static_cast<QWidget*>(ui->btnExport)})
        b->move(b->x(), h - kBottomRow);
    ui->btnOk->move(w - kMargin - ui->btnOk->width(), h - kBottomRow);
    // The totals end where the table ends.
    const QRect totals = ui->lblTotals->geometry();
    ui->lblTotals->setGeometry(totals.x(), totals.y(), w - kMargin - totals.x(), totals.height());
}

void TfrmStats::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!FCentredOnce && !event->spontaneous()) {
        FCentredOnce = true;
        CentreOnScreen(*this, false);
    }
}

} // namespace quillory
