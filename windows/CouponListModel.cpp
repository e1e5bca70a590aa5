#include "windows/CouponListModel.h"

#include <algorithm>

namespace quillory {

TCouponListModel::TCouponListModel(QObject* parent) : QAbstractTableModel(parent) {}

void TCouponListModel::SetList(TCouponList list, std::vector<std::uint32_t> order) {
    beginResetModel();
    FList = std::move(list);
    FOrder = std::move(order);
    if (!FOrder.empty() && FOrder.size() != FList.Count())
        FOrder.clear();
    FChecked.assign(FList.Count(), 0);
    if (FFiltered) {
        FMatches = FList.Matching(FFilterText, FFilterStatus);
        ShowMatches();
    }
    endResetModel();
}

void TCouponListModel::ShowMatches() {
    FShown.clear();
    if (FOrder.empty()) {
        FShown = FMatches;
        return;
    }
    std::vector<char> match(FList.Count(), 0);
    for (std::uint32_t row : FMatches)
        match[row] = 1;
    FShown.reserve(FMatches.size());
    for (std::uint32_t row : FOrder)
        if (match[row])
            FShown.push_back(row);
}

void TCouponListModel::SetFilter(const std::string& text, TCouponStatus status) {
    std::string folded = FoldCase(text);
    if (folded.empty() && status == TCouponStatus::None) {
        ClearFilter();
        return;
    }
    if (FFiltered && folded == FFilterText && status == FFilterStatus)
        return;
    // A text that holds the one before matches only rows that one matched:
    // only those are looked at.
    const bool narrowing =
        FFiltered && status == FFilterStatus && folded.find(FFilterText) != std::string::npos;
    beginResetModel();
    FMatches = FList.Matching(folded, status, narrowing ? &FMatches : nullptr);
    FFiltered = true;
    FFilterText = std::move(folded);
    FFilterStatus = status;
    ShowMatches();
    endResetModel();
}

void TCouponListModel::ClearFilter() {
    if (!FFiltered)
        return;
    beginResetModel();
    FFiltered = false;
    FFilterText.clear();
    FFilterStatus = TCouponStatus::None;
    FMatches = {};
    FShown = {};
    endResetModel();
}

int TCouponListModel::ShownRow(std::size_t listRow) const {
    if (!FFiltered && FOrder.empty())
        return listRow < FList.Count() ? static_cast<int>(listRow) : -1;
    const std::vector<std::uint32_t>& shown = FFiltered ? FShown : FOrder;
    const auto it = std::find(shown.begin(), shown.end(), static_cast<std::uint32_t>(listRow));
    return it == shown.end() ? -1 : static_cast<int>(it - shown.begin());
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
    if (FFiltered)
        ShowMatches();
    if (!before.isEmpty()) {
        std::vector<int> shownRow(FList.Count(), -1);
        for (int r = 0; r < rowCount(); ++r)
            shownRow[Source(r)] = r;
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
    if (rowCount() == 0)
        return;
    if (FFiltered)
        for (std::uint32_t row : FShown)
            FChecked[row] = checked;
    else
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
    if (parent.isValid())
        return 0;
    return static_cast<int>(FFiltered ? FShown.size() : FList.Count());
}

int TCouponListModel::columnCount(const QModelIndex& parent) const {
    if (parent.isValid())
        return 0;
    return FList.HasDetails() ? kDetailedColumnCount : kCouponColumnCount;
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
        case ccUses: // empty for a row the server sent no count for
            return FList.Uses(row) < 0 ? QString() : QString::number(FList.Uses(row));
        case ccStatus:
            return QLatin1String(
                CouponStatusText(FList.Status(row)).data(),
                static_cast<qsizetype>(CouponStatusText(FList.Status(row)).size()));
        }
        break;
    case Qt::TextAlignmentRole:
        if (index.column() == ccUses)
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
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
    case ccUses:
        return QStringLiteral("Uses");
    case ccStatus:
        return QStringLiteral("Status");
    }
    return {};
}

} // namespace quillory
