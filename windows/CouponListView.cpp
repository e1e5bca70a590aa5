#include "windows/CouponListView.h"

#include <QContextMenuEvent>
#include <QFontMetrics>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QTextOption>

namespace quillory {

TCouponListView::TCouponListView(QWidget* parent)
    : QTreeView(parent), FModel(new TCouponListModel(this)) {
    setModel(FModel);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSortingEnabled(false);
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
    QTreeView::keyPressEvent(e);
}

void TCouponListView::contextMenuEvent(QContextMenuEvent* e) {
    if (!FContextMenu) {
        QTreeView::contextMenuEvent(e);
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
    QTreeView::paintEvent(e);
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

void TCouponListView::drawRow(QPainter* p, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const {
    QTreeView::drawRow(p, option, index);
    // Grid lines: under each row and between the columns.
    p->save();
    p->setPen(palette().color(QPalette::Midlight).darker(110));
    const QRect r = option.rect;
    p->drawLine(r.left(), r.bottom(), r.right(), r.bottom());
    for (int c = 0; c < header()->count(); ++c) {
        const int x = header()->sectionViewportPosition(c) + header()->sectionSize(c) - 1;
        if (x >= r.left() && x <= r.right())
            p->drawLine(x, r.top(), x, r.bottom());
    }
    p->restore();
}

} // namespace quillory
