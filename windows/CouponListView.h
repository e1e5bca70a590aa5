#pragma once
// The view of the coupon list: report style with tick boxes and grid lines,
// one highlighted row selected as a whole. A table view with rows of one
// height: a new list of a million rows is shown without laying out each row
// (a tree view builds an item per row on every reset). Clicking a
// column header sorts by that column, a second click reverses the order and a
// third returns to the server's order. Space ticks or unticks the highlighted
// row, and the context menu key or a right-click opens the list's menu.
// While the list is empty, a hint (why it is empty) is drawn in the
// middle of the view.
#include "windows/CouponListModel.h"

#include <QHeaderView>
#include <QTableView>

class QMenu;

namespace quillory {

class TCouponListView : public QTableView {
    Q_OBJECT
public:
    explicit TCouponListView(QWidget* parent = nullptr);

    // The column header.
    QHeaderView* header() const { return horizontalHeader(); }

    // The view keeps its own model.
    TCouponListModel* CouponModel() const { return FModel; }

    // The line shown while the list is empty; empty text shows nothing.
    void SetEmptyHint(const QString& text);
    QString EmptyHint() const { return FEmptyHint; }

    // The row that is highlighted, or -1.
    int HighlightedRow() const;

    // A header click: sort by `column`, reverse, then back to reply order.
    void CycleSort(int column);

    // The menu a right-click on the list (or the context menu key) opens;
    // nothing while none is set. The view does not own it.
    void SetContextMenu(QMenu* menu) { FContextMenu = menu; }
    QMenu* ContextMenu() const { return FContextMenu; }

    // Filters the rows (see TCouponListModel::SetFilter); the highlighted
    // coupon stays highlighted while it is shown.
    void SetFilter(const std::string& text, TCouponStatus status);
    void ClearFilter();

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void changeEvent(QEvent* e) override;

private:
    void ShowSortIndicator();
    // Every row is one line of the view's font high.
    void FitRowHeight();
    void DrawGrid();
    // Runs `change` and highlights again the coupon highlighted before it.
    template <class TChange> void KeepingHighlight(TChange change);

    TCouponListModel* FModel;
    QString FEmptyHint;
    QMenu* FContextMenu = nullptr;
};

} // namespace quillory
