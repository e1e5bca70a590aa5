#pragma once
// The filter bar above the coupon list: a text that the code or name must
// hold (letter case aside), a status choice (all, active, used up, expired),
// the number of coupons shown, a button that opens the list's menu (the
// actions on the ticked coupons shown), and a button that closes it. Closing clears
// the filter, so every row shows again. The bar itself filters nothing: the
// window connects FilterChanged to the list.
#include "coupons/CouponList.h"

#include <QFrame>

#include <string>

class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QToolButton;

namespace quillory {

class TCouponFilterBar : public QFrame {
    Q_OBJECT
public:
    explicit TCouponFilterBar(QWidget* parent = nullptr);

    // Shows the bar and puts the focus in its text, selected.
    void Open();
    // Hides the bar, clears the text and the status choice, and emits
    // Closed; nothing when it is hidden already.
    void Close();

    // The text as bytes in the locale's encoding.
    std::string Text() const;
    // The status chosen; None for all.
    TCouponStatus Status() const;
    // "12 of 340 coupons", or empty while nothing is filtered.
    void ShowCount(int shown, int total, bool filtered);

    QLineEdit* edtFilter() const { return FText; }
    QComboBox* cbxStatus() const { return FStatus; }
    QLabel* lblCount() const { return FCount; }
    // The button that opens `menu` (the list's menu; the bar does not own
    // it), shown once a menu is set.
    void SetListMenu(QMenu* menu);
    QToolButton* btnListMenu() const { return FMenuButton; }

protected:
    void keyPressEvent(QKeyEvent* e) override;

signals:
    // The text or the status choice changed.
    void FilterChanged();
    void Closed();

private:
    QLineEdit* FText;
    QComboBox* FStatus;
    QLabel* FCount;
    QToolButton* FMenuButton;
    QPushButton* FClose;
};

} // namespace quillory
