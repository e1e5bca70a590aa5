#pragma once
// The statistics window: every redemption fetched once when the window opens
// (action 6), listed by "Show" through the code and date filters, drawn as
// redemptions per period, and exported as CSV.
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

namespace Ui {
class frmStats;
}

namespace quillory {

// The rows "Show" selected, over the window's traces: "Coupon Code", "Date
// Used" and "Computer IP", texts made when a row is drawn, so a hundred
// thousand rows cost no more than the visible ones. Each row has a tick box
// of its own that does nothing else.
class TTraceTableModel : public QAbstractTableModel {
public:
    TTraceTableModel(const TTraceList& traces, const TFormatSettings& fs,
                     QObject* parent = nullptr);

    // Replaces the rows (indexes into the traces); all ticks cleared.
    void SetRows(std::vector<std::size_t> rows);
    const std::vector<std::size_t>& Rows() const { return FRows; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

private:
    const TTraceList& FTraces;
    const TFormatSettings& FFormat;
    std::vector<std::size_t> FRows;
    std::vector<char> FTicks;
};

class TfrmStats : public QDialog {
public:
    // Fetches the redemptions through `service` before it returns. A fetch
    // that failed before any redemption was read shows the failure through
    // `messages` (which also shows the export's errors); one that failed
    // part-way keeps what was read; either way the window's status line says
    // the list is incomplete. `fs` gives the date and time formats.
    TfrmStats(TCouponService& service, TSkinMessage& messages,
              const TFormatSettings& fs = TFormatSettings::EnglishUS(), QWidget* parent = nullptr);
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

    const TTraceList& Traces() const { return FTraces; }
    TTraceTableModel& ItemsModel() { return *FModel; }
    const TChartData& ChartData() const { return FChartData; }
    QChart* Chart() const;
    QChartView* ChartView() const { return FChartView; }

    // Writes the rows the table shows as CSV; false, after a warning, when
    // the file cannot be written.
    bool ExportCsv(const QString& fileName);

    // Closing the window in any other way than "Close" ends it with Cancel.
    void reject() override;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void FormCreate();
    void btnShowClick();
    void cbxCodesClick();
    void edtCodeChange();
    void edtDateFixedChange();
    void edtDateIniChange();
    void edtDateEndChange();
    void btnOkClick();
    void btnExportClick();
    void SetupDateField(class TSkinDateEdit* edit);
    void DrawChart();

    std::unique_ptr<Ui::frmStats> ui;
    TCouponService& FService;
    TSkinMessage& FMessages;
    TFormatSettings FFormat;
    TTraceList FTraces;
    TTraceTableModel* FModel = nullptr;
    QChartView* FChartView = nullptr;
    TChartData FChartData;
    bool FCentredOnce = false;
    bool FLoaded = false; // the fetch read the whole reply
};

} // namespace quillory
