#include "windows/CouponFilterBar.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QToolButton>

namespace quillory {

namespace {
// The status choices, in the order the box lists them.
constexpr std::pair<const char*, TCouponStatus> kStatusChoices[] = {
    {"All", TCouponStatus::None},
    {"Active", TCouponStatus::Active},
    {"Used up", TCouponStatus::UsedUp},
    {"Expired", TCouponStatus::Expired}};
} // namespace

TCouponFilterBar::TCouponFilterBar(QWidget* parent)
    : QFrame(parent), FText(new QLineEdit(this)), FStatus(new QComboBox(this)),
      FCount(new QLabel(this)), FMenuButton(new QToolButton(this)),
      FClose(new QPushButton(QStringLiteral("Close"), this)) {
    setObjectName(QStringLiteral("panFilter"));
    setFrameShape(QFrame::StyledPanel);
    FText->setObjectName(QStringLiteral("edtFilter"));
    FText->setPlaceholderText(QStringLiteral("Code or name"));
    FText->setClearButtonEnabled(true);
    FStatus->setObjectName(QStringLiteral("cbxStatus"));
    for (const auto& [caption, status] : kStatusChoices)
        FStatus->addItem(QLatin1String(caption), static_cast<int>(status));
    FCount->setObjectName(QStringLiteral("lblFilterCount"));
    FMenuButton->setObjectName(QStringLiteral("btnListMenu"));
    FMenuButton->setText(QStringLiteral("Actions"));
    FMenuButton->setToolTip(QStringLiteral("Export, import, mark expired, ... the ticked coupons "
                                           "shown (also on a right-click in the list)"));
    FMenuButton->setPopupMode(QToolButton::InstantPopup);
    FMenuButton->setFocusPolicy(Qt::NoFocus);
    FMenuButton->hide();
    FClose->setObjectName(QStringLiteral("btnCloseFilter"));
    FClose->setFocusPolicy(Qt::NoFocus);
    FClose->setCursor(Qt::PointingHandCursor);
    FClose->setToolTip(QStringLiteral("Close the filter and show every coupon (Esc)"));

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(6, 3, 6, 3);
    auto* find = new QLabel(QStringLiteral("Find:"), this);
    find->setBuddy(FText);
    row->addWidget(find);
    row->addWidget(FText, 1);
    row->addWidget(new QLabel(QStringLiteral("Status:"), this));
    row->addWidget(FStatus);
    row->addWidget(FCount);
    row->addWidget(FMenuButton);
    row->addWidget(FClose);

    connect(FText, &QLineEdit::textChanged, this, &TCouponFilterBar::FilterChanged);
    connect(FStatus, &QComboBox::currentIndexChanged, this, &TCouponFilterBar::FilterChanged);
    connect(FClose, &QPushButton::clicked, this, &TCouponFilterBar::Close);
    hide();
}

void TCouponFilterBar::keyPressEvent(QKeyEvent* e) {
    // Escape in the bar closes it (the window may also close it from
    // elsewhere with a shortcut of its own).
    if (e->key() == Qt::Key_Escape && e->modifiers() == Qt::NoModifier) {
        Close();
        e->accept();
        return;
    }
    QFrame::keyPressEvent(e);
}

void TCouponFilterBar::Open() {
    show();
    FText->setFocus(Qt::ShortcutFocusReason);
    FText->selectAll();
}

void TCouponFilterBar::Close() {
    if (isHidden())
        return;
    hide();
    {
        // One change, not two: the filter goes when the bar closes.
        const QSignalBlocker textBlock(FText), statusBlock(FStatus);
        FText->clear();
        FStatus->setCurrentIndex(0);
    }
    FCount->clear();
    emit Closed();
}

void TCouponFilterBar::SetListMenu(QMenu* menu) {
    FMenuButton->setMenu(menu);
    FMenuButton->setVisible(menu != nullptr);
}

std::string TCouponFilterBar::Text() const {
    return FText->text().toLocal8Bit().toStdString();
}

TCouponStatus TCouponFilterBar::Status() const {
    return static_cast<TCouponStatus>(FStatus->currentData().toInt());
}

void TCouponFilterBar::ShowCount(int shown, int total, bool filtered) {
    if (!filtered)
        FCount->setText(QStringLiteral("%1 coupons").arg(total));
    else
        FCount->setText(QStringLiteral("%1 of %2 coupons").arg(shown).arg(total));
}

} // namespace quillory
