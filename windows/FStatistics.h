#pragma once
// The statistics window: every redemption fetched once when the window opens
// (action 6), listed by "Show" through the code and date filters, one row a
// redemption or one row a coupon ("By coupon"), each table sorted by a click
// on a column's header, drawn as a chart, and exported as CSV: the chart and
// the export always hold what the table of the chosen view shows.
#include "coupons/CouponService.h"
#include "coupons/Statistics.h"
#include "platform/FormatSettings.h"
#include "ui/SkinMessage.h"

#include <QAbstractTableModel>
#include <QDialog>

#include <memory>
#include <vector>

class QChart;
class QChartView;
class QTableView;

namespace Ui {
class frmStats;
}

namespace quillory {

// A table of the window whose rows sort by one column: -1 is the order the
// rows came in (the reply's order).
class TStatsTableModel : public QAbstractTableModel {
public:
    using QAbstractTableModel::QAbstractTableModel;

    // Sorts the rows (a reset of the model; ticks stay with their rows).
    void SetSortOrder(int column, bool descending);
    int SortColumn() const { return FSortColumn; }
    bool SortDescending() const { return FSortDescending; }
    // The row's item under every order (a trace or a sum index), and the
    // row that shows an item now (-1 when none does).
    virtual std::size_t ItemAt(int row) const = 0;
    virtual int RowOf(std::size_t item) const = 0;

protected:
    // Puts the rows into the current order.
    virtual void Sort() = 0;

    int FSortColumn = -1;
    bool FSortDescending = false;
};

// The rows "Show" selected, over the window's traces: "Coupon Code", "Date
// Used" and "Computer IP", texts made when a row is drawn, so a hundred
// thousand rows cost no more than the visible ones. Each row has a tick box
// of its own that does nothing else.
class TTraceTableModel : public TStatsTableModel {
public:
    TTraceTableModel(const TTraceList& traces, const TFormatSettings& fs,
                     QObject* parent = nullptr);

    // Replaces the rows (indexes into the traces, in the traces' order) and
    // shows them in the current sort order; all ticks cleared.
    void SetRows(std::vector<std::size_t> rows);
    // The rows as shown, top to bottom.
    const std::vector<std::size_t>& Rows() const { return FRows; }
    std::size_t ItemAt(int row) const override { return FRows[static_cast<std::size_t>(row)]; }
    int RowOf(std::size_t item) const override;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

protected:
    void Sort() override;

private:
    const TTraceList& FTraces;
    const TFormatSettings& FFormat;
    std::vector<std::size_t> FFiltered; // in the traces' order
    std::vector<std::size_t> FRows;     // as shown
    std::vector<char> FTicks;           // per trace
};

// The "By coupon" table: one row per code among the rows "Show" selected,
// with the coupon's name, its number of redemptions and its last use.
class TCouponSumModel : public TStatsTableModel {
public:
    TCouponSumModel(const TFormatSettings& fs, QObject* parent = nullptr);

    // Replaces the sums and shows them in the current sort order.
    void SetSums(std::vector<TCouponSum> sums);
    const std::vector<TCouponSum>& Sums() const { return FSums; }
    // The sums as shown, top to bottom (indexes into Sums()).
    const std::vector<std::uint32_t>& Order() const { return FOrder; }
    std::size_t ItemAt(int row) const override { return FOrder[static_cast<std::size_t>(row)]; }
    int RowOf(std::size_t item) const override;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

protected:
    void Sort() override;

private:
    const TFormatSettings& FFormat;
    std::vector<TCouponSum> FSums;
    std::vector<std::uint32_t> FOrder;
};

// What the window's table lists: a row per redemption, or per coupon.
enum class TStatsView { Redemptions, ByCoupon };

class TfrmStats : public QDialog {
public:
    // Fetches the redemptions through `service` before it returns. A fetch
    // that failed before any redemption was read shows the failure through
    // `messages` (which also shows the export's errors); one that failed
    // part-way keeps what was read; either way the window's status line says
    // the list is incomplete. `fs` gives the date and time formats. The
    // "By coupon" view takes the coupons' names from `coupons` (the list the
    // main window holds), read while the window is created; without it, or
    // for a code it does not hold, the name stays empty.
    TfrmStats(TCouponService& service, TSkinMessage& messages,
              const TFormatSettings& fs = TFormatSettings::EnglishUS(),
              const TCouponList* coupons = nullptr, QWidget* parent = nullptr);
    ~TfrmStats() override;

    // Action 6; on a reply that contains "OK", ParseStatistics. False after a
    // failed exchange or a record that could not be read.
    bool LoadStatistics();
    // Decodes the reply into the traces and the code list and empties the
    // table. A record that cannot be read ends the decoding with an error;
    // the records before it stay.
    void ParseStatistics(const std::string& reply);
    // Rebuilds the table and the chart from the traces and the filters.
    void ShowStatistics();

    // The window's status line: empty after a complete fetch.
    QString StatusText() const;

    // The filters as the controls set them now.
    TStatisticsFilter CurrentFilter() const;

    // The table shown: a row per redemption or per coupon; the "Redemptions"
    // and "By coupon" buttons choose it.
    TStatsView View() const { return FView; }
    void SetView(TStatsView view);
    // "1,234 redemptions of 56 codes shown": what "Show" listed.
    QString TotalsText() const;

    const TTraceList& Traces() const { return FTraces; }
    TTraceTableModel& ItemsModel() { return *FModel; }
    TCouponSumModel& CouponsModel() { return *FCouponsModel; }
    // The redemptions per period of the rows shown: the chart of the
    // "Redemptions" view ("By coupon" charts its most used coupons).
    const TChartData& ChartData() const { return FChartData; }
    QChart* Chart() const;
    QChartView* ChartView() const { return FChartView; }

    // Writes the rows the table of the chosen view shows, in the order shown,
    // as CSV; false, after a warning, when the file cannot be written.
    bool ExportCsv(const QString& fileName);

    // Closing the window in any other way than "Close" ends it with Cancel.
    void reject() override;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void FormCreate(const TCouponList* coupons);
    void btnShowClick();
    void cbxCodesClick();
    void edtCodeChange();
    void edtDateFixedChange();
    void edtDateIniChange();
    void edtDateEndChange();
    void btnOkClick();
    void btnExportClick();
    void btnViewClick(TStatsView view);
    void SetupDateField(class TSkinDateEdit* edit);
    void SetupTable(QTableView* table, TStatsTableModel* model);
    // A click on a column's header: ascending, then descending, then the
    // reply's order again; the highlighted row stays highlighted.
    void CycleSort(QTableView* table, TStatsTableModel* model, int column);
    void ShowPage();
    void DrawChart();
    void DrawTimeChart();
    void DrawCouponChart();

    std::unique_ptr<Ui::frmStats> ui;
    TCouponService& FService;
    TSkinMessage& FMessages;
    TFormatSettings FFormat;
    TTraceList FTraces;
    std::vector<TCouponNaming> FNames; // per entry of FTraces.Codes()
    TTraceTableModel* FModel = nullptr;
    TCouponSumModel* FCouponsModel = nullptr;
    TStatsView FView = TStatsView::Redemptions;
    QChartView* FChartView = nullptr;
    TChartData FChartData;
    bool FCentredOnce = false;
    bool FLoaded = false; // the fetch read the whole reply
};

} // namespace quillory
