// Renders the message dialog, the date field with its calendar open and a
// window of ordinary controls, in the built-in skin and with no skin, into PNG files under the
// build tree's screenshots/ folder for a look by eye.
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

namespace {

QImage DialogShot(TSkinMessage& message) {
    std::unique_ptr<TSkinMessageForm> f(message.CreateMessageDialog(
        "Do you really want to delete the 3 selected coupons?\n\rThis cannot be undone.", dkWarning,
        {dbOK, dbCancel}));
    f->show();
    QApplication::processEvents();
    return f->grab().toImage();
}

QImage DateFieldShot() {
    QWidget window;
    window.resize(340, 230);
    auto* label = new QLabel("Expiry date:", &window);
    label->move(12, 16);
    auto* edit = new TSkinDateEdit(&window, TFormatSettings::EnglishUS());
    edit->setGeometry(100, 12, 140, 24);
    edit->SetText("12/15/2008");
    window.show();
    edit->setFocus();
    QTest::mouseClick(edit, Qt::LeftButton, {}, edit->ButtonRect().center());
    QApplication::processEvents();
    QImage shot = window.grab().toImage();
    // The calendar is a window of its own: paint it where it stands.
    QPainter p(&shot);
    const QPoint at = window.mapFromGlobal(edit->Calendar()->mapToGlobal(QPoint(0, 0)));
    p.drawImage(at, edit->Calendar()->grab().toImage());
    return shot;
}

// A window with every kind of control the program's windows use.
QImage ControlsShot() {
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
    return window.grab().toImage();
}

bool Save(const QImage& img, const QString& name) {
    QDir().mkpath(QUILLORY_SCREENSHOT_DIR);
    return img.save(QString(QUILLORY_SCREENSHOT_DIR) + "/" + name);
}

TEST(ScreenshotTest, SkinnedAndPlainDialogAndDateField) {
    TCompressedStoredSkin builtIn = BuiltInSkin();
    auto* skin = new TSkinData();
    skin->SetCompressedStoredSkin(&builtIn);
    ApplySkinToApplication(skin);
    TSkinMessage message;
    message.UseProgramDefaults(skin);
    const QImage skinnedDialog = DialogShot(message);
    const QImage skinnedDate = DateFieldShot();
    EXPECT_TRUE(Save(skinnedDialog, "message-skinned.png"));
    EXPECT_TRUE(Save(skinnedDate, "dateedit-skinned.png"));
    EXPECT_TRUE(Save(ControlsShot(), "controls-skinned.png"));

    QApplication::setStyle(QStyleFactory::create("Fusion"));
    QApplication::setPalette(QApplication::style()->standardPalette());
    TSkinMessage plain;
    const QImage plainDialog = DialogShot(plain);
    const QImage plainDate = DateFieldShot();
    EXPECT_TRUE(Save(plainDialog, "message-plain.png"));
    EXPECT_TRUE(Save(plainDate, "dateedit-plain.png"));
    EXPECT_TRUE(Save(ControlsShot(), "controls-plain.png"));
    delete skin;

    // The skin changes what is drawn.
    EXPECT_NE(skinnedDialog, plainDialog);
    EXPECT_NE(skinnedDate, plainDate);
    EXPECT_GE(skinnedDialog.width(), 315);
}

} // namespace
