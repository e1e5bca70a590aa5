#pragma once
// The model behind the coupon list: three columns (name, code, expired) over
// a decoded TCouponList, a tick box in front of each row, and the coupon's id
// kept per row without a column. Rows follow the reply's order unless a sort
// order is set. Replacing the list resets the model: ticks are lost.
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

    // Ticks of the shown rows.
    bool Checked(int row) const;
    void SetChecked(int row, bool checked);
    void SetAllChecked(bool checked);
    // The ids of the ticked rows, top to bottom.
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
        return FOrder.empty() ? static_cast<std::size_t>(row) : FOrder[row];
    }

    TCouponList FList;
    std::vector<std::uint32_t> FOrder; // shown row -> list row; empty: the same
    std::vector<char> FChecked;        // per list row
    int FSortColumn = -1;
    bool FSortDescending = false;
};

} // namespace quillory
