#include "ui/SkinStyle.h"
#include "SkinTestData.h"
#include "ui/SkinMessage.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QStyleFactory>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <gtest/gtest.h>

using namespace quillory;
using namespace quillory::test;

namespace {

// Controls drawn from solid pictures: 0 red, 1 green, 2 blue.
TCompressedStoredSkin SolidSkin(const std::string& buttonKind, int buttonPicture) {
    TSkinPackage p = SamplePackage(
        Description({"button:" + buttonKind, "edit:edit", "special:button"},
                    "[button]\r\npicture=" + std::to_string(buttonPicture) +
                        "\r\nskinrect=0,0,40,21\r\nmargins=2,2,2,2\r\nfontcolor=#FFFFFF\r\n"
                        "fontname=Arial\r\nfontheight=-17\r\n"
                        "[edit]\r\npicture=2\r\nskinrect=0,0,30,20\r\nbgcolor=#FFFF00\r\n"
                        "fontname=Arial\r\nfontheight=-19\r\n"
                        "[special]\r\npicture=2\r\nskinrect=0,0,40,21\r\n"),
        0);
    p.ActivePictures = {SolidBitmap(64, 32, 0xFF0000), SolidBitmap(64, 32, 0x00FF00),
                        SolidBitmap(64, 32, 0x0000FF)};
    TCompressedStoredSkin c;
    c.CompressedData = Compressed(p);
    return c;
}

QRgb CentreOf(QWidget& w) {
    const QImage img = w.grab().toImage();
    return img.pixel(img.width() / 2, 2) & 0xFFFFFF;
}

class SkinStyleTest : public ::testing::Test {
protected:
    void SetUp() override {
        FData = new TSkinData();
        ApplySkinToApplication(FData);
    }
    void TearDown() override {
        QApplication::setStyle(QStyleFactory::create("Fusion"));
        delete FData;
    }
    TSkinData* FData = nullptr;
};

TEST(SkinStyleNamesTest, WidgetsMapToTheirEntries) {
    QPushButton button;
    QLineEdit edit;
    QCheckBox check;
    QRadioButton radio;
    QComboBox combo;
    QPlainTextEdit memo;
    QGroupBox group;
    QFrame panel;
    QTreeWidget list;
    QLabel label;
    QScrollBar h(Qt::Horizontal), v(Qt::Vertical);
    EXPECT_EQ(TSkinStyle::EntryNameFor(&button), "button");
    EXPECT_EQ(TSkinStyle::EntryNameFor(&edit), "edit");
    EXPECT_EQ(TSkinStyle::EntryNameFor(&check), "checkbox");
    EXPECT_EQ(TSkinStyle::EntryNameFor(&radio), "radiobox");
    EXPECT_EQ(TSkinStyle::EntryNameFor(&combo), "combobox");
    EXPECT_EQ(TSkinStyle::EntryNameFor(&memo), "memo");
    EXPECT_EQ(TSkinStyle::EntryNameFor(&group), "groupbox");
    EXPECT_EQ(TSkinStyle::EntryNameFor(&panel), "panel");
    EXPECT_EQ(TSkinStyle::EntryNameFor(&list), "listview");
    EXPECT_EQ(TSkinStyle::EntryNameFor(&label), "stdlabel");
    EXPECT_EQ(TSkinStyle::EntryNameFor(&h), "hscrollbar");
    EXPECT_EQ(TSkinStyle::EntryNameFor(&v), "vscrollbar");
    EXPECT_EQ(TSkinStyle::KindFor(&group), "panel");
    EXPECT_EQ(TSkinStyle::KindFor(&check), "checkradio");
    button.setProperty("SkinDataName", "resizebutton");
    EXPECT_EQ(TSkinStyle::EntryNameFor(&button), "resizebutton");
    QWidget plain;
    EXPECT_EQ(TSkinStyle::EntryNameFor(&plain), "");
}

TEST_F(SkinStyleTest, ButtonsDrawFromTheSkinAndFollowAReload) {
    const TCompressedStoredSkin red = SolidSkin("button", 0);
    FData->LoadCompressedStoredSkin(red);
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* button = new QPushButton("Load", &window);
    auto* special = new QPushButton("Other", &window);
    special->setProperty("SkinDataName", "special");
    layout->addWidget(button);
    layout->addWidget(special);
    window.resize(200, 100);
    window.show();
    EXPECT_EQ(CentreOf(*button), 0xFF0000u);
    EXPECT_EQ(CentreOf(*special), 0x0000FFu);
    EXPECT_EQ(button->font().pixelSize(), 17);
    EXPECT_GE(button->sizeHint().height(), 21);

    // A second package re-skins the open window.
    FData->LoadCompressedStoredSkin(SolidSkin("button", 1));
    EXPECT_EQ(CentreOf(*button), 0x00FF00u);

    // An entry of another kind: the plain style.
    FData->LoadCompressedStoredSkin(SolidSkin("panel", 0));
    EXPECT_NE(CentreOf(*button), 0xFF0000u);
    EXPECT_NE(button->font().pixelSize(), 17);
    EXPECT_EQ(CentreOf(*special), 0x0000FFu);
}

bool HasPixel(QWidget& w, QRgb colour) {
    const QImage img = w.grab().toImage();
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if ((img.pixel(x, y) & 0xFFFFFF) == colour)
                return true;
    return false;
}

TEST_F(SkinStyleTest, DefaultTextColourOnlyOnTheDefaultPicture) {
    TSkinPackage p = SamplePackage(
        Description({"button:button"},
                    "[button]\r\npicture=0\r\nskinrect=0,0,40,21\r\nmargins=2,2,2,2\r\n"
                    "fontcolor=#000000\r\ndefaultfontcolor=#00FF00\r\n"
                    "fontname=Arial\r\nfontheight=-17\r\n"),
        0);
    p.ActivePictures = {SolidBitmap(64, 32, 0xFFFFFF)};
    TCompressedStoredSkin skin;
    skin.CompressedData = Compressed(p);
    FData->LoadCompressedStoredSkin(skin);
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* button = new QPushButton("MMMM", &window);
    button->setDefault(true);
    button->setCheckable(true);
    layout->addWidget(button);
    window.resize(200, 60);
    window.show();
    EXPECT_TRUE(HasPixel(*button, 0x00FF00u));
    button->setChecked(true);
    EXPECT_FALSE(HasPixel(*button, 0x00FF00u));
    EXPECT_TRUE(HasPixel(*button, 0x000000u));
}

TEST_F(SkinStyleTest, OpenDialogsFollowASecondPackage) {
    FData->LoadCompressedStoredSkin(SolidSkin("button", 0));
    TSkinMessage message;
    message.UseProgramDefaults(FData);
    std::unique_ptr<TSkinMessageForm> dialog(
        message.CreateMessageDialog("Open while the skin changes", dkWarning, {dbOK, dbCancel}));
    dialog->show();
    TSkinButton* cancel = dialog->findChild<TSkinButton*>("Cancel");
    ASSERT_TRUE(cancel);
    EXPECT_EQ(CentreOf(*cancel), 0xFF0000u);
    FData->LoadCompressedStoredSkin(SolidSkin("button", 1));
    EXPECT_EQ(CentreOf(*cancel), 0x00FF00u);
}

TEST_F(SkinStyleTest, FailedLoadLeavesWindowsPlain) {
    FData->LoadCompressedStoredSkin(SolidSkin("button", 0));
    QPushButton button("OK");
    QLineEdit edit;
    button.resize(80, 25);
    button.show();
    edit.show();
    EXPECT_EQ(CentreOf(button), 0xFF0000u);
    EXPECT_EQ(edit.palette().color(QPalette::Base), QColor(0xFF, 0xFF, 0x00));
    EXPECT_EQ(edit.font().pixelSize(), 19);
    EXPECT_EQ(QApplication::palette().color(QPalette::Window), QColor(0x10, 0x20, 0x30));

    TCompressedStoredSkin broken;
    broken.CompressedData = "definitely not zlib";
    EXPECT_THROW(FData->LoadCompressedStoredSkin(broken), ECompressionError);
    EXPECT_TRUE(FData->Empty());
    EXPECT_NE(CentreOf(button), 0xFF0000u);
    EXPECT_NE(edit.palette().color(QPalette::Base), QColor(0xFF, 0xFF, 0x00));
    EXPECT_NE(edit.font().pixelSize(), 19);
    EXPECT_NE(QApplication::palette().color(QPalette::Window), QColor(0x10, 0x20, 0x30));
}

TEST_F(SkinStyleTest, OwnFontsAndPalettesOfWidgetsAreKept) {
    QLineEdit edit;
    QFont own("Serif");
    own.setPixelSize(11);
    edit.setFont(own);
    QPalette pal = edit.palette();
    pal.setColor(QPalette::Highlight, QColor(1, 2, 3));
    edit.setPalette(pal);
    FData->LoadCompressedStoredSkin(SolidSkin("button", 0));
    edit.show();
    EXPECT_EQ(edit.font().pixelSize(), 11);
    EXPECT_EQ(edit.palette().color(QPalette::Base), QColor(0xFF, 0xFF, 0x00));
    FData->LoadCompressedStoredSkin(SolidSkin("panel", 0)); // still has "edit"
    TSkinPackage v4 = SamplePackage("");
    v4.Version = 4;
    TCompressedStoredSkin none;
    none.CompressedData = Compressed(v4);
    FData->LoadCompressedStoredSkin(none);
    EXPECT_EQ(edit.palette().color(QPalette::Highlight), QColor(1, 2, 3));
    EXPECT_NE(edit.palette().color(QPalette::Base), QColor(0xFF, 0xFF, 0x00));
}

TEST_F(SkinStyleTest, BuiltInSkinDrawsEveryControl) {
    const TCompressedStoredSkin builtIn = BuiltInSkin();
    FData->SetCompressedStoredSkin(&builtIn);
    EXPECT_EQ(ApplicationSkinData(), FData);
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* check = new QCheckBox("Expired", &window);
    check->setChecked(true);
    auto* list = new QTreeWidget(&window);
    list->setColumnCount(2);
    for (int i = 0; i < 40; ++i)
        new QTreeWidgetItem(list, QStringList{QString("code %1").arg(i), "x"});
    auto* group = new QGroupBox("Database", &window);
    layout->addWidget(check);
    layout->addWidget(list);
    layout->addWidget(group);
    window.resize(300, 300);
    window.show();
    const QImage img = window.grab().toImage();
    // The ticked check box shows the skin's accent fill.
    bool accent = false;
    for (int y = 0; y < check->height(); ++y)
        for (int x = 0; x < 24; ++x) {
            const QColor c = img.pixelColor(check->mapTo(&window, QPoint(x, y)));
            accent = accent || (c.blue() > 180 && c.red() < 100);
        }
    EXPECT_TRUE(accent);
    EXPECT_EQ(list->verticalScrollBar()->sizeHint().width(), 12);
    EXPECT_EQ(QApplication::palette().color(QPalette::Window), QColor(0xF3, 0xF5, 0xF8));
}

} // namespace
