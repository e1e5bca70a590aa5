// The message dialog, the date field with its calendar open and a window of
// ordinary controls, in the built-in skin and with no skin: each is drawn in
// the colours of its look, then kept as a PNG file under the build tree's
// screenshots/ folder for a look by eye.
#include "tests/support/WindowShot.h"
#include "ui/SkinDateEdit.h"
#include "ui/SkinMessage.h"
#include "ui/SkinStyle.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyleFactory>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

using namespace quillory;
using quillory::test::DrawnAs;

namespace {

QImage DialogShot(TSkinMessage& message, const QColor& background) {
    std::unique_ptr<TSkinMessageForm> f(message.CreateMessageDialog(
        "Do you really want to delete the 3 selected coupons?\n\rThis cannot be undone.", dkWarning,
        {dbOK, dbCancel}));
    f->show();
    QApplication::processEvents();
    EXPECT_TRUE(DrawnAs(f.get(), background));
    for (const char* name : {"OK", "Cancel", "Message", "Image"}) {
        const QWidget* child = f->findChild<QWidget*>(name);
        EXPECT_TRUE(child && child->isVisible() && f->rect().contains(child->geometry())) << name;
    }
    return f->grab().toImage();
}

QImage DateFieldShot(const QColor& background) {
    QWidget window;
    window.resize(340, 230);
    auto* label = new QLabel("Expiry date:", &window);
    label->move(12, 16);
    auto* edit = new TSkinDateEdit(&window, TFormatSettings::EnglishUS());
    edit->setGeometry(100, 12, 140, 24);
    edit->SetText("12/15/2008");
    window.show();
    // The calendar closes when its window loses the focus: it opens only in
    // an active window.
    window.activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
    edit->setFocus();
    QTest::mouseClick(edit, Qt::LeftButton, {}, edit->ButtonRect().center());
    // The click opened the calendar just below the field (checked before any
    // event is processed: on the offscreen platform that closes it again).
    EXPECT_TRUE(edit->CalendarVisible());
    EXPECT_TRUE(DrawnAs(&window, background));
    EXPECT_EQ(edit->Calendar()->pos(), edit->mapToGlobal(QPoint(0, edit->height())));
    QImage shot = window.grab().toImage();
    // The calendar is a window of its own: paint it where it stands.
    QPainter p(&shot);
    const QPoint at = window.mapFromGlobal(edit->Calendar()->mapToGlobal(QPoint(0, 0)));
    p.drawImage(at, edit->Calendar()->grab().toImage());
    return shot;
}

// A window with every kind of control the program's windows use.
QImage ControlsShot(const QColor& background) {
    QWidget window;
    window.resize(520, 330);
    auto* grid = new QGridLayout(&window);
    auto* panel = new QFrame(&window);
    panel->setFrameShape(QFrame::StyledPanel);
    auto* panelLayout = new QHBoxLayout(panel);
    for (const char* text : {"Add Coupon", "Edit Coupon", "Delete Selected", "Refresh"})
        panelLayout->addWidget(new QPushButton(text, panel));
    grid->addWidget(panel, 0, 0, 1, 2);
    auto* list = new QTreeWidget(&window);
    list->setHeaderLabels({"Name", "Code", "Expires"});
    for (int i = 0; i < 30; ++i) {
        auto* item = new QTreeWidgetItem(list, {QString("Spring sale %1").arg(i),
                                                QString("QX%1").arg(i * 7919, 6, 10, QChar('0')),
                                                "12/31/2008"});
        item->setCheckState(0, i % 3 == 0 ? Qt::Checked : Qt::Unchecked);
    }
    list->setCurrentItem(list->topLevelItem(1));
    grid->addWidget(list, 1, 0, 3, 1);
    auto* group = new QGroupBox("Expiry", &window);
    auto* groupLayout = new QVBoxLayout(group);
    auto* once = new QRadioButton("One time use", group);
    once->setChecked(true);
    groupLayout->addWidget(once);
    groupLayout->addWidget(new QRadioButton("By days", group));
    auto* expired = new QCheckBox("Expired", group);
    expired->setChecked(true);
    groupLayout->addWidget(expired);
    grid->addWidget(group, 1, 1);
    auto* combo = new QComboBox(&window);
    combo->addItems({"http://www.example.com", "http://shop.example.com"});
    grid->addWidget(combo, 2, 1);
    auto* edit = new QLineEdit("SPRING2008", &window);
    grid->addWidget(edit, 3, 1);
    auto* memo = new QPlainTextEdit("Comments about the coupon\nsecond line", &window);
    grid->addWidget(memo, 4, 0);
    auto* label = new QLabel("Days valid:", &window);
    grid->addWidget(label, 4, 1, Qt::AlignTop);
    window.show();
    edit->setFocus();
    QApplication::processEvents();
    EXPECT_TRUE(DrawnAs(&window, background, QSize(520, 330)));
    for (QWidget* control :
         {static_cast<QWidget*>(panel), static_cast<QWidget*>(list), static_cast<QWidget*>(group),
          static_cast<QWidget*>(combo), static_cast<QWidget*>(edit), static_cast<QWidget*>(memo)})
        EXPECT_TRUE(control->isVisible() && !control->geometry().isEmpty() &&
                    window.rect().contains(control->geometry()))
            << control->metaObject()->className();
    return window.grab().toImage();
}

TEST(ScreenshotTest, SkinnedAndPlainWindowsDrawInTheirColours) {
    TCompressedStoredSkin builtIn = BuiltInSkin();
    auto* skin = new TSkinData();
    skin->SetCompressedStoredSkin(&builtIn);
    ApplySkinToApplication(skin);
    // Windows show the skin's client colour.
    const QColor client = skin->FormInfo().Color("clientcolor", Qt::magenta);
    ASSERT_NE(client, QColor(Qt::magenta));
    TSkinMessage message;
    message.UseProgramDefaults(skin);
    const QImage skinnedDialog = DialogShot(message, client);
    const QImage skinnedDate = DateFieldShot(client);
    const QImage skinnedControls = ControlsShot(client);
    EXPECT_TRUE(test::SaveShot(skinnedDialog, "message-skinned.png"));
    EXPECT_TRUE(test::SaveShot(skinnedDate, "dateedit-skinned.png"));
    EXPECT_TRUE(test::SaveShot(skinnedControls, "controls-skinned.png"));

    QApplication::setStyle(QStyleFactory::create("Fusion"));
    QApplication::setPalette(QApplication::style()->standardPalette());
    const QColor plainWindow = QApplication::style()->standardPalette().color(QPalette::Window);
    ASSERT_NE(plainWindow.rgb(), client.rgb());
    TSkinMessage plain;
    const QImage plainDialog = DialogShot(plain, plainWindow);
    const QImage plainDate = DateFieldShot(plainWindow);
    const QImage plainControls = ControlsShot(plainWindow);
    EXPECT_TRUE(test::SaveShot(plainDialog, "message-plain.png"));
    EXPECT_TRUE(test::SaveShot(plainDate, "dateedit-plain.png"));
    EXPECT_TRUE(test::SaveShot(plainControls, "controls-plain.png"));
    delete skin;

    // The skin changes what is drawn.
    EXPECT_NE(skinnedDialog, plainDialog);
    EXPECT_NE(skinnedDate, plainDate);
    EXPECT_GE(skinnedDialog.width(), 315);
}

} // namespace
