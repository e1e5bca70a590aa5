#include "AppFixture.h"
#include "app/FMain.h"
#include "tests/support/ModalHelper.h"
#include "ui/SkinMessage.h"

#include "windows/CouponListView.h"
#include <QElapsedTimer>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>

#include <stdexcept>

using namespace quillory;
using namespace quillory::test;

namespace {

using MainWindowTest = AppFixture;

struct ButtonDesign {
    const char* name;
    const char* caption;
    const char* panel;
    int left, width;
};

const ButtonDesign kButtons[] = {
    {"btnLoad", "Generate HTML Form Code", "SkinPanel1", 6, 163},
    {"btnStats", "Statistics", "SkinPanel1", 173, 96},
    {"SkinButton7", "Settings", "SkinPanel1", 274, 96},
    {"btnHelp", "Help", "SkinPanel1", 375, 95},
    {"btnUpdate", "Check Updates", "SkinPanel1", 475, 99},
    {"btnMakeMoney", "Make Money", "SkinPanel1", 579, 125},
    {"SkinButton1", "Select All", "SkinPanel4", 8, 100},
    {"SkinButton2", "Clear Selection", "SkinPanel4", 112, 100},
    {"SkinButton5", "Add Coupon", "SkinPanel4", 216, 100},
    {"SkinButton6", "Edit Coupon", "SkinPanel4", 320, 100},
    {"SkinButton3", "Delete Selected", "SkinPanel4", 424, 100},
    {"SkinButton4", "Delete All", "SkinPanel4", 528, 100},
    {"SkinButton8", "Refresh", "SkinPanel4", 632, 90},
};

TEST_F(MainWindowTest, LayoutMatchesTheDesign) {
    QuietMain main;
    main.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&main));
    EXPECT_EQ(main.windowTitle(), "Quillory");
    EXPECT_EQ(main.size(), QSize(775, 516));

    auto* bar = main.findChild<QFrame*>("SkinPanel1");
    auto* banner = main.findChild<QFrame*>("panBanner");
    auto* list = main.findChild<TCouponListView*>("lvwItems");
    auto* bottom = main.findChild<QFrame*>("SkinPanel4");
    ASSERT_TRUE(bar && banner && list && bottom);
    EXPECT_EQ(bar->geometry(), QRect(0, 0, 775, 37));
    EXPECT_EQ(banner->geometry(), QRect(0, 37, 775, 65));
    EXPECT_EQ(bottom->geometry(), QRect(0, 516 - 54, 775, 54));
    EXPECT_EQ(list->geometry(), QRect(0, 102, 775, 516 - 54 - 102));
    EXPECT_EQ(bar->frameShape(), QFrame::NoFrame);
    EXPECT_NE(banner->frameShape(), QFrame::NoFrame);
    EXPECT_NE(bottom->frameShape(), QFrame::NoFrame);

    for (const ButtonDesign& b : kButtons) {
        SCOPED_TRACE(b.name);
        auto* button = main.findChild<QPushButton*>(b.name);
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->text(), b.caption);
        EXPECT_EQ(button->parentWidget()->objectName(), b.panel);
        EXPECT_EQ(button->geometry(), QRect(b.left, 6, b.width, 20));
        EXPECT_EQ(button->focusPolicy(), Qt::NoFocus);
        EXPECT_EQ(button->cursor().shape(), Qt::PointingHandCursor);
    }

    ASSERT_EQ(list->model()->columnCount(), 3);
    const char* captions[] = {"Coupon Name", "Code", "Expired"};
    const int widths[] = {200, 132, 150};
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(list->model()->headerData(c, Qt::Horizontal).toString(), captions[c]);
        EXPECT_EQ(list->columnWidth(c), widths[c]);
    }
    EXPECT_EQ(list->font().family(), "Arial");
    EXPECT_EQ(list->font().pixelSize(), 14);

    for (const char* name : {"lblLink1URL", "lblLink2URL"}) {
        auto* link = main.findChild<QLabel*>(name);
        ASSERT_NE(link, nullptr);
        EXPECT_EQ(link->text(), "Google");
        EXPECT_EQ(link->y(), 32);
        EXPECT_TRUE(link->font().underline());
        EXPECT_EQ(link->property("address").toString(), "http://www.google.com/");
    }
    EXPECT_EQ(main.findChild<QLabel*>("lblLink1URL")->x(), 13);
    // Right-aligned: its designed right edge (723 + 50) stays where its
    // caption needs the room.
    const QLabel* link2 = main.findChild<QLabel*>("lblLink2URL");
    EXPECT_EQ(link2->x() + link2->width(), 773);
}

// Every caption of the main window is drawn whole, at its designed size and
// when the window grows: the text fits the part of the button the style
// draws it in, clear of the skinned border on either side, and each link
// label lies inside the bottom panel.
TEST_F(MainWindowTest, CaptionsAreDrawnWholeAtTheWindowSizes) {
    QuietMain main;
    main.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&main));
    for (const QSize size : {QSize(775, 516), QSize(1100, 700), QSize(775, 400)}) {
        main.resize(size);
        QCoreApplication::processEvents();
        const std::string at = std::to_string(size.width()) + "x" + std::to_string(size.height());
        for (QPushButton* button : main.findChildren<QPushButton*>()) {
            if (!button->isVisibleTo(&main) || button->text().isEmpty())
                continue;
            QStyleOptionButton opt;
            opt.initFrom(button);
            opt.text = button->text();
            const QRect contents =
                button->style()->subElementRect(QStyle::SE_PushButtonContents, &opt, button);
            QString shown = button->text();
            shown.remove('&');
            // The skin's button pictures have a border of up to 3 pixels.
            const int border = 4;
            const int needed = QFontMetrics(button->font()).horizontalAdvance(shown);
            EXPECT_LE(needed, std::min(contents.width(), button->width() - 2 * border))
                << button->objectName().toStdString() << " at " << at << ": \""
                << shown.toStdString() << "\" needs " << needed;
        }
        const auto* panel = main.findChild<QFrame*>("SkinPanel4");
        for (const char* name : {"lblLink1URL", "lblLink2URL"}) {
            const QLabel* link = main.findChild<QLabel*>(name);
            const int needed = QFontMetrics(link->font()).horizontalAdvance(link->text());
            EXPECT_LE(needed, link->contentsRect().width()) << name << " at " << at;
            EXPECT_TRUE(panel->contentsRect().contains(link->geometry()))
                << name << " at " << at << ": " << link->geometry().x() << "+"
                << link->geometry().width() << " in " << panel->contentsRect().right();
        }
    }
}

TEST_F(MainWindowTest, BannersAndRightLinkFollowTheWindowWidth) {
    QuietMain main;
    main.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&main));
    auto* img = main.findChild<QLabel*>("imgBanner");
    auto* gif = main.findChild<QWidget*>("gifBanner");
    auto* link2 = main.findChild<QLabel*>("lblLink2URL");
    EXPECT_EQ(gif->size(), img->size());
    // Centred: (panel div 2) - (control div 2), for both banners.
    EXPECT_EQ(img->pos(), QPoint(775 / 2 - img->width() / 2, 65 / 2 - img->height() / 2));
    EXPECT_EQ(gif->pos(), img->pos());
    const int rightGap = 775 - (link2->x() + link2->width());
    main.resize(975, 516);
    QCoreApplication::processEvents();
    EXPECT_EQ(img->x(), 975 / 2 - img->width() / 2);
    EXPECT_EQ(975 - (link2->x() + link2->width()), rightGap);
}

class CountingMain : public TfrmMain {
public:
    int runs = 0;
    bool reentered = false;
    bool inside = false;

protected:
    void RunStartupStep() override {
        reentered |= inside;
        inside = true;
        ++runs;
        // A slow start-up: the event loop keeps running while it waits, and the
        // timer's further ticks must not start the step again.
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 400)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        inside = false;
    }
};

TEST_F(MainWindowTest, StartupStepRunsExactlyOnceHoweverLongItTakes) {
    CountingMain main;
    EXPECT_TRUE(main.StartupTimer().isActive());
    EXPECT_EQ(main.StartupTimer().interval(), 100);
    main.show();
    // However slow the machine: once the step has run to its end, further
    // ticks of the timer's 100 ms would have had their chance to start it.
    ASSERT_TRUE(QTest::qWaitFor([&] { return main.runs > 0 && !main.inside; }, 30000));
    QTest::qWait(300);
    EXPECT_EQ(main.runs, 1);
    EXPECT_FALSE(main.reentered);
    EXPECT_FALSE(main.StartupTimer().isActive());
}

TEST_F(MainWindowTest, ExceptionFromAClickHandlerIsShownAndTheWindowGoesOn) {
    QuietMain main;
    main.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&main));
    // A handler connected the plain way: the exception travels through the
    // event delivery and reaches the application's error handling.
    // A button of the bottom panel whose command is the test's own.
    auto* refresh = new QPushButton("Refresh", main.findChild<QFrame*>("SkinPanel4"));
    refresh->show();
    int clicks = 0;
    QObject::connect(refresh, &QPushButton::clicked, [&] {
        ++clicks;
        throw std::runtime_error("The list could not be read.");
    });
    QTest::mouseClick(refresh, Qt::LeftButton);
    ASSERT_EQ(errors.size(), 1);
    EXPECT_EQ(errors[0], "The list could not be read.");
    // The window still takes clicks, and the button is not left pressed.
    EXPECT_FALSE(refresh->isDown());
    QTest::mouseClick(refresh, Qt::LeftButton);
    EXPECT_EQ(clicks, 2);
    EXPECT_EQ(errors.size(), 2);
    EXPECT_TRUE(main.isVisible());
}

} // namespace

namespace {

TEST_F(MainWindowTest, ErrorsAppearInTheSkinnedMessageDialog) {
    SetErrorPresenter({}); // the real dialog, not the recorder
    QuietMain main;
    EXPECT_FALSE(main.SkinData().Empty()); // the built-in skin is loaded
    main.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&main));
    auto* refresh = new QPushButton("Refresh", main.findChild<QFrame*>("SkinPanel4"));
    refresh->show();
    QObject::connect(refresh, &QPushButton::clicked,
                     [] { throw std::runtime_error("Cannot reach the shop."); });
    QString shownText;
    bool skinned = false;
    AnswerNextModal([&](QWidget* dialog) {
        skinned = qobject_cast<TSkinMessageForm*>(dialog) != nullptr;
        for (auto* label : dialog->findChildren<TSkinStdLabel*>())
            shownText += label->Caption();
        static_cast<QDialog*>(dialog)->reject();
    });
    QTest::mouseClick(refresh, Qt::LeftButton);
    EXPECT_TRUE(skinned);
    EXPECT_TRUE(shownText.contains("Cannot reach the shop.")) << shownText.toStdString();
}

} // namespace
