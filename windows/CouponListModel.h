#pragma once
// The model behind the coupon list: three columns (name, code, expired) over
// a decoded TCouponList, two more (uses, status) when the list carries them,
// a tick box in front of each row, and the coupon's id kept per row without a
// column. Rows follow the reply's order unless a sort order is set; a filter
// shows only the rows whose code or name holds a text and whose status is
// the one asked for. Replacing the list resets the model: ticks are lost, the
// filter stays and applies to the new rows.
#include "coupons/CouponList.h"

#include <QAbstractTableModel>

#include <string>
#include <vector>

namespace quillory {

class TCouponListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit TCouponListModel(QObject* parent = nullptr);

    // Shows `list` with rows in `order` (row numbers of the list; empty means
    // the reply's order). Every tick is cleared.
    void SetList(TCouponList list, std::vector<std::uint32_t> order = {});
    void Clear();
    const TCouponList& List() const { return FList; }

    // The sort order: column -1 is the reply's order.
    void SetSortOrder(int column, bool descending);
    int SortColumn() const { return FSortColumn; }
    bool SortDescending() const { return FSortDescending; }

    // Shows only the rows whose code or name holds `text` (letter case
    // aside) and whose status is `status` (None: any). A text that grows
    // looks only at the rows the shorter one matched. Ticks of hidden rows
    // are kept but count for nothing until the rows are shown again.
    void SetFilter(const std::string& text, TCouponStatus status);
    // Shows every row again.
    void ClearFilter();
    bool Filtered() const { return FFiltered; }
    // The list row of a shown row, and the shown row of a list row (-1 when
    // it is hidden).
    std::size_t ListRow(int row) const { return Source(row); }
    int ShownRow(std::size_t listRow) const;

    // Ticks of the shown rows.
    bool Checked(int row) const;
    void SetChecked(int row, bool checked);
    // Ticks or unticks every shown row.
    void SetAllChecked(bool checked);
    // The ids of the ticked shown rows, top to bottom.
    std::vector<std::string> CheckedIds() const;
    // The id of a shown row.
    std::string IdAt(int row) const;
    // The coupon of a shown row, as the list holds it (see TCouponList::Coupon).
    TCoupon CouponAt(int row) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // The role that gives a row's coupon id (a QString).
    static constexpr int IdRole = Qt::UserRole + 1;

private:
    std::size_t Source(int row) const {
        if (FFiltered)
            return FShown[row];
        return FOrder.empty() ? static_cast<std::size_t>(row) : FOrder[row];
    }
    // FShown from FMatches in the sort order.
    void ShowMatches();

    TCouponList FList;
    std::vector<std::uint32_t> FOrder; // sorted row -> list row; empty: the same
    bool FFiltered = false;
    std::string FFilterText; // folded
    TCouponStatus FFilterStatus = TCouponStatus::None;
    std::vector<std::uint32_t> FMatches; // list rows matching the filter, ascending
    std::vector<std::uint32_t> FShown;   // shown row -> list row while filtered
    std::vector<char> FChecked;          // per list row
    int FSortColumn = -1;
    bool FSortDescending = false;
};

} // namespace quillory
