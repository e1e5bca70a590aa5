#include "windows/CouponListView.h"

#include <QContextMenuEvent>
#include <QFontMetrics>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QStyle>
#include <QTextOption>

#include <algorithm>

namespace quillory {

TCouponListView::TCouponListView(QWidget* parent)
    : QTableView(parent), FModel(new TCouponListModel(this)) {
    setModel(FModel);
    setSortingEnabled(false);
    setShowGrid(false); // drawn in paintEvent, under each row and between the columns
    setWordWrap(false);
    setCornerButtonEnabled(false);
    setTabKeyNavigation(false);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    FitRowHeight();
    header()->setHighlightSections(false);
    header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    header()->setSectionsMovable(false);
    header()->setSectionsClickable(true);
    header()->setSortIndicatorShown(false);
    connect(header(), &QHeaderView::sectionClicked, this, &TCouponListView::CycleSort);
    // A new list loses its highlight along with its ticks.
    connect(FModel, &QAbstractItemModel::modelReset, this, [this] { viewport()->update(); });
}

void TCouponListView::SetEmptyHint(const QString& text) {
    FEmptyHint = text;
    viewport()->update();
}

int TCouponListView::HighlightedRow() const {
    const QModelIndexList rows = selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void TCouponListView::CycleSort(int column) {
    if (FModel->SortColumn() != column)
        FModel->SetSortOrder(column, false);
    else if (!FModel->SortDescending())
        FModel->SetSortOrder(column, true);
    else
        FModel->SetSortOrder(-1, false);
    ShowSortIndicator();
    if (currentIndex().isValid())
        scrollTo(currentIndex());
}

template <class TChange> void TCouponListView::KeepingHighlight(TChange change) {
    const int before = HighlightedRow();
    const std::size_t coupon = before >= 0 ? FModel->ListRow(before) : 0;
    change();
    if (before < 0)
        return;
    const int after = FModel->ShownRow(coupon);
    if (after >= 0) {
        setCurrentIndex(FModel->index(after, 0));
        scrollTo(currentIndex());
    }
}

void TCouponListView::SetFilter(const std::string& text, TCouponStatus status) {
    KeepingHighlight([&] { FModel->SetFilter(text, status); });
}

void TCouponListView::ClearFilter() {
    KeepingHighlight([&] { FModel->ClearFilter(); });
}

void TCouponListView::ShowSortIndicator() {
    const int column = FModel->SortColumn();
    header()->setSortIndicatorShown(column >= 0);
    if (column >= 0)
        header()->setSortIndicator(column, FModel->SortDescending() ? Qt::DescendingOrder
                                                                    : Qt::AscendingOrder);
}

void TCouponListView::keyPressEvent(QKeyEvent* e) {
    if ((e->key() == Qt::Key_Space || e->key() == Qt::Key_Select) &&
        e->modifiers() == Qt::NoModifier) {
        const int row = HighlightedRow() >= 0 ? HighlightedRow() : currentIndex().row();
        if (row >= 0)
            FModel->SetChecked(row, !FModel->Checked(row));
        e->accept();
        return;
    }
    QTableView::keyPressEvent(e);
}

void TCouponListView::FitRowHeight() {
    // Room for a line of text and the tick box, as tight as a report list.
    const int box = style()->pixelMetric(QStyle::PM_IndicatorHeight, nullptr, this);
    verticalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setDefaultSectionSize(std::max(fontMetrics().height(), box + 2));
}

void TCouponListView::changeEvent(QEvent* e) {
    QTableView::changeEvent(e);
    if (e->type() == QEvent::FontChange || e->type() == QEvent::StyleChange)
        FitRowHeight();
}

void TCouponListView::contextMenuEvent(QContextMenuEvent* e) {
    if (!FContextMenu) {
        QTableView::contextMenuEvent(e);
        return;
    }
    // From the keyboard the menu opens at the highlighted row.
    QPoint at = e->globalPos();
    if (e->reason() == QContextMenuEvent::Keyboard && currentIndex().isValid())
        at = viewport()->mapToGlobal(visualRect(currentIndex()).bottomLeft());
    FContextMenu->popup(at);
    e->accept();
}

void TCouponListView::paintEvent(QPaintEvent* e) {
    QTableView::paintEvent(e);
    DrawGrid();
    if (FModel->rowCount() == 0 && !FEmptyHint.isEmpty()) {
        QPainter p(viewport());
        p.setPen(palette().color(QPalette::Disabled, QPalette::Text));
        // One line: a smaller font where the window is narrow, and as a last
        // resort the middle of the line left out.
        const QRect area = viewport()->rect().adjusted(12, 0, -12, 0);
        QFont f = font();
        if (f.pixelSize() <= 0)
            f.setPixelSize(QFontMetrics(f).height());
        while (QFontMetrics(f).horizontalAdvance(FEmptyHint) > area.width() && f.pixelSize() > 10)
            f.setPixelSize(f.pixelSize() - 1);
        p.setFont(f);
        p.drawText(area, Qt::AlignCenter | Qt::TextSingleLine,
                   QFontMetrics(f).elidedText(FEmptyHint, Qt::ElideMiddle, area.width()));
    }
}

void TCouponListView::DrawGrid() {
    // A line under each row shown and one at the right of each column, as far
    // down as there are rows.
    const int rows = FModel->rowCount();
    if (rows == 0)
        return;
    QPainter p(viewport());
    p.setPen(palette().color(QPalette::Midlight).darker(110));
    const QRect area = viewport()->rect();
    const int first = std::max(0, rowAt(area.top()));
    int last = rowAt(area.bottom());
    if (last < 0)
        last = rows - 1;
    int bottom = area.top();
    for (int r = first; r <= last; ++r) {
        bottom = rowViewportPosition(r) + rowHeight(r) - 1;
        p.drawLine(area.left(), bottom, area.right(), bottom);
    }
    const int width = header()->length() - header()->offset();
    for (int c = 0; c < header()->count(); ++c) {
        if (isColumnHidden(c))
            continue;
        const int x = columnViewportPosition(c) + columnWidth(c) - 1;
        if (x >= area.left() && x <= std::min(area.right(), width))
            p.drawLine(x, area.top(), x, bottom);
    }
}

} // namespace quillory
