// Renders the message dialog and the date field with its calendar open, in
// the built-in skin and with no skin, into PNG files under the build tree's
// screenshots/ folder for a look by eye.
#include "ui/SkinDateEdit.h"
#include "ui/SkinMessage.h"
#include "ui/SkinStyle.h"

#include <QDir>
#include <QLabel>
#include <QPainter>
#include <QStyleFactory>
#include <QTest>

#include <gtest/gtest.h>

using namespace quillory;

namespace {

QImage DialogShot(TSkinMessage& message) {
    std::unique_ptr<TSkinMessageForm> f(message.CreateMessageDialog(
        "Do you really want to delete the 3 selected coupons?\n\rThis cannot be undone.",
        dkWarning, {dbOK, dbCancel}));
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

    QApplication::setStyle(QStyleFactory::create("Fusion"));
    QApplication::setPalette(QApplication::style()->standardPalette());
    TSkinMessage plain;
    const QImage plainDialog = DialogShot(plain);
    const QImage plainDate = DateFieldShot();
    EXPECT_TRUE(Save(plainDialog, "message-plain.png"));
    EXPECT_TRUE(Save(plainDate, "dateedit-plain.png"));
    delete skin;

    // The skin changes what is drawn.
    EXPECT_NE(skinnedDialog, plainDialog);
    EXPECT_NE(skinnedDate, plainDate);
    EXPECT_GE(skinnedDialog.width(), 315);
}

} // namespace
