#include "windows/CouponListModel.h"

namespace quillory {

TCouponListModel::TCouponListModel(QObject* parent) : QAbstractTableModel(parent) {}

void TCouponListModel::SetList(TCouponList list, std::vector<std::uint32_t> order) {
    beginResetModel();
    FList = std::move(list);
    FOrder = std::move(order);
    if (!FOrder.empty() && FOrder.size() != FList.Count())
        FOrder.clear();
    FChecked.assign(FList.Count(), 0);
    endResetModel();
}

void TCouponListModel::Clear() {
    SetList(TCouponList());
}

void TCouponListModel::SetSortOrder(int column, bool descending) {
    FSortColumn = column;
    FSortDescending = descending;
    emit layoutAboutToBeChanged();
    // Ticks stay with their coupons; the highlight follows its row's coupon.
    const QModelIndexList before = persistentIndexList();
    std::vector<std::size_t> sources;
    sources.reserve(before.size());
    for (const QModelIndex& i : before)
        sources.push_back(Source(i.row()));
    FOrder = column < 0 ? std::vector<std::uint32_t>() : FList.SortedOrder(column, descending);
    if (!before.isEmpty()) {
        std::vector<int> shownRow(FList.Count());
        for (std::size_t r = 0; r < shownRow.size(); ++r)
            shownRow[Source(static_cast<int>(r))] = static_cast<int>(r);
        QModelIndexList after;
        for (int k = 0; k < before.size(); ++k)
            after << index(shownRow[sources[k]], before[k].column());
        changePersistentIndexList(before, after);
    }
    emit layoutChanged();
}

bool TCouponListModel::Checked(int row) const {
    return row >= 0 && row < rowCount() && FChecked[Source(row)] != 0;
}

void TCouponListModel::SetChecked(int row, bool checked) {
    if (row < 0 || row >= rowCount())
        return;
    FChecked[Source(row)] = checked;
    const QModelIndex i = index(row, 0);
    emit dataChanged(i, i, {Qt::CheckStateRole});
}

void TCouponListModel::SetAllChecked(bool checked) {
    if (FChecked.empty())
        return;
    std::fill(FChecked.begin(), FChecked.end(), static_cast<char>(checked));
    emit dataChanged(index(0, 0), index(rowCount() - 1, 0), {Qt::CheckStateRole});
}

std::vector<std::string> TCouponListModel::CheckedIds() const {
    std::vector<std::string> ids;
    for (int row = 0; row < rowCount(); ++row)
        if (FChecked[Source(row)])
            ids.push_back(FList.Id(Source(row)));
    return ids;
}

std::string TCouponListModel::IdAt(int row) const {
    if (row < 0 || row >= rowCount())
        return {};
    return FList.Id(Source(row));
}

TCoupon TCouponListModel::CouponAt(int row) const {
    if (row < 0 || row >= rowCount())
        return {};
    return FList.Coupon(Source(row));
}

int TCouponListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(FList.Count());
}

int TCouponListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kCouponColumnCount;
}

namespace {
QString Local(std::string_view text) {
    return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}
} // namespace

QVariant TCouponListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const std::size_t row = Source(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        switch (index.column()) {
        case ccName:
            return Local(FList.Name(row));
        case ccCode:
            return Local(FList.Code(row));
        case ccExpired:
            return FList.Expired(row) ? QStringLiteral("True") : QStringLiteral("False");
        }
        break;
    case Qt::CheckStateRole:
        if (index.column() == ccName)
            return FChecked[row] ? Qt::Checked : Qt::Unchecked;
        break;
    case IdRole:
        return Local(FList.Id(row));
    default:
        break;
    }
    return {};
}

bool TCouponListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::CheckStateRole || index.column() != ccName || !index.isValid())
        return false;
    SetChecked(index.row(), value.toInt() == Qt::Checked);
    return true;
}

Qt::ItemFlags TCouponListModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    if (index.column() == ccName)
        f |= Qt::ItemIsUserCheckable;
    return f;
}

QVariant TCouponListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case ccName:
        return QStringLiteral("Coupon Name");
    case ccCode:
        return QStringLiteral("Code");
    case ccExpired:
        return QStringLiteral("Expired");
    }
    return {};
}

} // namespace quillory
