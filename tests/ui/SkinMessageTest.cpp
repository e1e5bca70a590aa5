#include "ui/SkinMessage.h"
#include "tests/support/ModalHelper.h"
#include "ui/SkinStyle.h"

#include <QLabel>
#include <QScreen>
#include <QStyleFactory>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

using namespace quillory;
using namespace quillory::test;

namespace {

class SkinMessageTest : public ::testing::Test {
protected:
    void SetUp() override {
        FSkin.SetCompressedStoredSkin(&FBuiltIn);
        FMessage.UseProgramDefaults(&FSkin);
    }
    std::unique_ptr<TSkinMessageForm> Create(const std::string& msg, TDialogKind kind,
                                             TDialogButtons buttons) {
        return std::unique_ptr<TSkinMessageForm>(FMessage.CreateMessageDialog(msg, kind, buttons));
    }
    static TSkinButton* Button(TSkinMessageForm& f, const char* name) {
        return f.findChild<TSkinButton*>(name);
    }
    static TSkinStdLabel* Label(TSkinMessageForm& f) {
        return f.findChild<TSkinStdLabel*>("Message");
    }
    static int ScreenWidth() {
        return QGuiApplication::primaryScreen()->availableGeometry().width();
    }

    TCompressedStoredSkin FBuiltIn = BuiltInSkin();
    TSkinData FSkin;
    TSkinMessage FMessage;
};

TEST_F(SkinMessageTest, OkCancelRowIsCentredWithSkinButtonHeight) {
    auto f = Create("Delete the selected coupons?", dkWarning, {dbOK, dbCancel});
    TSkinButton* ok = Button(*f, "OK");
    TSkinButton* cancel = Button(*f, "Cancel");
    ASSERT_TRUE(ok && cancel);
    TSkinStdLabel* label = Label(*f);
    const int right = 50 + label->width();
    const int client = std::max(std::max(right + 40, 150 + 40), 315);
    EXPECT_EQ(f->width(), client);
    EXPECT_EQ(f->height(), 21 + label->height() + 50);
    EXPECT_EQ(ok->geometry(), QRect((client - 150) / 2, f->height() - 21 - 10, 70, 21));
    EXPECT_EQ(cancel->geometry(), ok->geometry().translated(80, 0));
    EXPECT_EQ(ok->text(), "OK");
    EXPECT_EQ(ok->ModalResult, 1);
    EXPECT_EQ(cancel->ModalResult, 2);
    EXPECT_TRUE(ok->isDefault());
    EXPECT_FALSE(ok->Cancel);
    EXPECT_TRUE(cancel->Cancel);
    EXPECT_EQ(f->windowTitle(), "Warning");
    EXPECT_EQ(label->pos(), QPoint(50, 15));
    EXPECT_EQ(f->findChild<QLabel*>("Image")->geometry(),
              QRect(5, std::max(10, 15 + label->height() / 2 - 16), 32, 32));
    EXPECT_FALSE(f->findChild<QLabel*>("Image")->pixmap().isNull());
}

TEST_F(SkinMessageTest, WithoutSkinButtonsAre25HighAndMinimumIs120) {
    TSkinMessage plain;
    std::unique_ptr<TSkinMessageForm> f(plain.CreateMessageDialog("Hi", dkInformation, {dbOK}));
    TSkinButton* ok = f->findChild<TSkinButton*>("OK");
    ASSERT_TRUE(ok);
    EXPECT_EQ(ok->height(), 25);
    TSkinStdLabel* label = Label(*f);
    const int expected = std::max(std::max(50 + label->width() + 40, 70 + 40), 120);
    EXPECT_EQ(f->width(), expected);
    EXPECT_EQ(f->height(), 25 + label->height() + 50);
    EXPECT_EQ(ok->x(), (expected - 70) / 2);
    EXPECT_EQ(f->windowTitle(), "Information");
    // The label draws with the default font when there is no skin.
    EXPECT_EQ(label->DrawFont(), plain.DefaultFont);
}

TEST_F(SkinMessageTest, WideMessagesGrowTheWindowAndAreClampedToTheScreen) {
    const std::string line(60, 'W');
    auto f = Create(line, dkWarning, {dbOK});
    TSkinStdLabel* label = Label(*f);
    const QFontMetrics fm(label->DrawFont());
    // The label is as wide as the text (give or take the last glyph's overhang).
    EXPECT_NEAR(label->width(), fm.horizontalAdvance(QString::fromStdString(line)), 2);
    if (label->width() + 90 <= ScreenWidth()) {
        EXPECT_EQ(f->width(), label->width() + 90);
    }
    auto huge = Create(std::string(1000, 'W'), dkWarning, {dbOK});
    EXPECT_EQ(huge->width(), ScreenWidth());
    EXPECT_GT(Label(*huge)->width(), huge->width()); // not wrapped: cut at the edge
    EXPECT_EQ(Button(*huge, "OK")->x(), (ScreenWidth() - 70) / 2);
}

TEST_F(SkinMessageTest, SeveralLinesMakeATallerLabelWithTheIconCentred) {
    auto one = Create("One line", dkInformation, {dbOK});
    auto three = Create("First line\n\rSecond line\n\rThird\tline", dkInformation, {dbOK});
    const int h1 = Label(*one)->height();
    const int h3 = Label(*three)->height();
    EXPECT_EQ(h3, 3 * h1);
    EXPECT_EQ(three->height(), 21 + h3 + 50);
    const QRect icon = three->findChild<QLabel*>("Image")->geometry();
    EXPECT_EQ(icon.top(), std::max(10, 15 + h3 / 2 - 16));
    EXPECT_GT(icon.top(), 10);
    EXPECT_EQ(one->findChild<QLabel*>("Image")->y(), 10);
}

TEST_F(SkinMessageTest, NoButtonsGiveATextOnlyDialog) {
    auto f = Create("Nothing to press", dkError, {});
    EXPECT_TRUE(f->findChildren<TSkinButton*>().isEmpty());
    EXPECT_EQ(f->height(), 21 + Label(*f)->height() + 50);
    EXPECT_EQ(f->width(), std::max(50 + Label(*f)->width() + 40, 315));
    EXPECT_EQ(f->windowTitle(), "Error");
}

TEST_F(SkinMessageTest, CustomKindShowsTheApplicationTitleAndNoIcon) {
    auto f = Create("Custom", dkCustom, {dbYes, dbNo});
    EXPECT_EQ(f->windowTitle(), QGuiApplication::applicationDisplayName());
    EXPECT_TRUE(f->findChild<QLabel*>("Image")->pixmap().isNull());
    EXPECT_EQ(Create("?", dkConfirmation, {dbOK})->windowTitle(), "Confirm");
}

TEST_F(SkinMessageTest, ButtonsFollowTheTableOrderWithNamesAndCaptions) {
    auto f = Create("All", dkConfirmation,
                    {dbHelp, dbYesToAll, dbNoToAll, dbAll, dbIgnore, dbRetry, dbAbort, dbCancel,
                     dbOK, dbNo, dbYes});
    const char* names[] = {"Yes",    "No",  "OK",      "Cancel",   "Abort", "Retry",
                           "Ignore", "All", "NoToAll", "YesToAll", "Help"};
    const char* captions[] = {"&Yes",    "&No",  "OK",       "Cancel",    "&Abort", "&Retry",
                              "&Ignore", "&All", "N&oToAll", "&YesToAll", "&Help"};
    const int results[] = {6, 7, 1, 2, 3, 4, 5, 8, 9, 10, 0};
    const QList<TSkinButton*> buttons = f->findChildren<TSkinButton*>();
    ASSERT_EQ(buttons.size(), 11);
    for (int i = 0; i < 11; ++i) {
        TSkinButton* b = Button(*f, names[i]);
        ASSERT_TRUE(b) << names[i];
        EXPECT_EQ(b->text(), captions[i]);
        EXPECT_EQ(b->ModalResult, results[i]);
        if (i > 0) {
            EXPECT_EQ(b->x(), Button(*f, names[i - 1])->x() + 80);
        }
    }
    EXPECT_TRUE(Button(*f, "OK")->isDefault());
    EXPECT_TRUE(Button(*f, "Cancel")->Cancel);
    auto yesNo = Create("?", dkConfirmation, {dbYes, dbNo});
    EXPECT_TRUE(Button(*yesNo, "Yes")->isDefault());
    EXPECT_TRUE(Button(*yesNo, "No")->Cancel);
    auto retry = Create("?", dkError, {dbRetry, dbIgnore});
    EXPECT_TRUE(Button(*retry, "Retry")->isDefault());
    EXPECT_EQ(retry->CancelButton(), nullptr);
}

TEST_F(SkinMessageTest, SkinTextTableReplacesCaptions) {
    const std::map<std::string, std::string> table = {
        {"MSG_BTN_OK", "Fine"}, {"SK_MSG_BTN_RETRY", "Again"}, {"MSG_CAP_WARNING", "Careful"}};
    FSkin.SetResourceStrData(&table);
    auto f = Create("x", dkWarning, {dbOK, dbRetry, dbCancel});
    EXPECT_EQ(Button(*f, "OK")->text(), "Fine");
    EXPECT_EQ(Button(*f, "Retry")->text(), "Again");
    EXPECT_EQ(Button(*f, "Cancel")->text(), "Cancel");
    EXPECT_EQ(f->windowTitle(), "Careful");
    FSkin.SetResourceStrData(nullptr);
}

TEST_F(SkinMessageTest, EnterAndEscapeGiveOkAndCancel) {
    AnswerNextModal([](QWidget* w) { QTest::keyClick(w->focusWidget(), Qt::Key_Return); });
    EXPECT_EQ(FMessage.ShowMessageDialog("Go?", dkWarning, {dbOK, dbCancel}), 1);
    AnswerNextModal([](QWidget* w) { QTest::keyClick(w->focusWidget(), Qt::Key_Escape); });
    EXPECT_EQ(FMessage.ShowMessageDialog("Go?", dkWarning, {dbOK, dbCancel}), 2);
    AnswerNextModal([](QWidget* w) { w->close(); });
    EXPECT_EQ(FMessage.ShowMessageDialog("Go?", dkWarning, {dbOK, dbCancel}), 2);
}

TEST_F(SkinMessageTest, OkAloneAnswersBothEnterAndEscape) {
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Escape, Qt::Key_Enter}) {
        QString focused;
        AnswerNextModal([&](QWidget* w) {
            focused = w->focusWidget() ? w->focusWidget()->objectName() : QString();
            QTest::keyClick(w, key);
        });
        EXPECT_EQ(FMessage.ShowMessageDialog("Saved.", dkInformation, {dbOK}), 1);
        EXPECT_EQ(focused, "OK");
    }
}

TEST_F(SkinMessageTest, TabAcceleratorsAndSpaceChooseButtons) {
    AnswerNextModal([](QWidget* w) {
        QTest::keyClick(w->focusWidget(), Qt::Key_Tab);
        QTest::keyClick(w->focusWidget(), Qt::Key_Return);
    });
    EXPECT_EQ(FMessage.ShowMessageDialog("?", dkConfirmation, {dbOK, dbCancel}), 2);
    AnswerNextModal([](QWidget* w) { QTest::keyClick(w->focusWidget(), Qt::Key_N); });
    EXPECT_EQ(FMessage.ShowMessageDialog("?", dkConfirmation, {dbYes, dbNo}), 7);
    AnswerNextModal([](QWidget* w) { QTest::keyClick(w->focusWidget(), Qt::Key_O); });
    EXPECT_EQ(FMessage.ShowMessageDialog("?", dkConfirmation, {dbYes, dbNoToAll}), 9);
    AnswerNextModal(
        [](QWidget* w) { QTest::keyClick(w->focusWidget(), Qt::Key_Y, Qt::AltModifier); });
    EXPECT_EQ(FMessage.ShowMessageDialog("?", dkConfirmation, {dbYes, dbNo}), 6);
    AnswerNextModal([](QWidget* w) {
        QTest::keyClick(w->focusWidget(), Qt::Key_Tab);
        QTest::keyClick(w->focusWidget(), Qt::Key_Space);
    });
    EXPECT_EQ(FMessage.ShowMessageDialog("?", dkConfirmation, {dbYes, dbNo}), 7);
}

TEST_F(SkinMessageTest, EscapeWithoutCancelButtonOrWithModifiersDoesNothing) {
    AnswerNextModal([](QWidget* w) {
        QTest::keyClick(w, Qt::Key_Escape);
        QTest::keyClick(w, Qt::Key_Escape, Qt::ShiftModifier);
        QTest::keyClick(w->focusWidget(), Qt::Key_Return);
    });
    EXPECT_EQ(FMessage.ShowMessageDialog("?", dkError, {dbRetry, dbIgnore}), 4);
    AnswerNextModal([](QWidget* w) {
        QTest::keyClick(w, Qt::Key_Escape);
        QTest::keyClick(w, Qt::Key_Return);
        w->close();
    });
    EXPECT_EQ(FMessage.ShowMessageDialog("Only the window system closes this", dkInformation, {}),
              2);
}

TEST_F(SkinMessageTest, HelpButtonAsksForHelpWithoutClosing) {
    int asked = -1;
    QObject::connect(&FMessage, &TSkinMessage::HelpRequested, [&](int ctx) { asked = ctx; });
    AnswerNextModal([](QWidget* w) {
        w->findChild<TSkinButton*>("Help")->click();
        w->findChild<TSkinButton*>("OK")->click();
    });
    EXPECT_EQ(FMessage.ShowMessageDialog("?", dkInformation, {dbOK, dbHelp}, 42), 1);
    EXPECT_EQ(asked, 42);
}

TEST_F(SkinMessageTest, DialogIsCentredOnTheScreen) {
    QRect seen;
    AnswerNextModal([&](QWidget* w) {
        seen = w->frameGeometry();
        w->close();
    });
    FMessage.ShowMessageDialog("Centre", dkInformation, {dbOK});
    const QRect s = QGuiApplication::primaryScreen()->geometry();
    EXPECT_EQ(seen.left(), (s.width() - seen.width()) / 2);
    EXPECT_EQ(seen.top(), (s.height() - seen.height()) / 2);
}

TEST_F(SkinMessageTest, AmpersandsMarkAcceleratorsInTheMessage) {
    auto a = Create("Save && quit", dkInformation, {dbOK});
    auto b = Create("Save & quit", dkInformation, {dbOK});
    auto c = Create("Save  quit", dkInformation, {dbOK});
    EXPECT_GT(Label(*a)->width(), Label(*b)->width()); // "&&" shows one "&"
    EXPECT_EQ(Label(*b)->width(), Label(*c)->width()); // "& " underlines the blank
}

TEST(WrapMessageTextTest, LongLinesBreakAtSpacesAndShortOnesStay) {
    struct Case {
        const char* text;
        std::size_t columns;
        const char* wrapped;
    };
    const Case cases[] = {
        {"short text", 20, "short text"},
        {"", 20, ""},
        {"one two three four", 9, "one two\n\rthree\n\rfour"},
        {"exactly nine", 12, "exactly nine"},
        {"abcdefghijkl mn", 5, "abcde\n\rfghij\n\rkl mn"},
        {"first line\n\rsecond one here", 10, "first line\n\rsecond one\n\rhere"},
        {"a  b", 2, "a\n\rb"},
        {"keep\r\nbreaks\nas they\rare", 80, "keep\r\nbreaks\nas they\rare"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(WrapMessageText(c.text, c.columns), c.wrapped) << c.text;
    // A zero byte is text like any other: nothing after it is lost.
    EXPECT_EQ(WrapMessageText(std::string("zero\0byte and more", 19), 10),
              std::string("zero\0byte\n\rand more", 20));
}

// A zero byte in a message never ends it early: the label shows it as the
// replacement character and the rest of the text after it, in the dialog
// and in the skin's text table alike.
TEST_F(SkinMessageTest, AZeroByteNeverCutsTheMessageShort) {
    const struct {
        std::string msg;
        QString shown;
    } cases[] = {
        {std::string("before\0after", 12), QStringLiteral("before\uFFFDafter")},
        {std::string("\0", 1), QStringLiteral("\uFFFD")},
        {std::string("line one\n\rline\0two", 18), QStringLiteral("line one\nline\uFFFDtwo")},
    };
    for (const auto& c : cases) {
        auto f = Create(c.msg, dkWarning, {dbOK});
        EXPECT_EQ(Label(*f)->Caption(), c.shown) << c.shown.toStdString();
        auto bare = Create(c.msg.substr(0, c.msg.find('\0')), dkWarning, {dbOK});
        if (c.msg.find('\0') > 0) {
            EXPECT_GT(Label(*f)->width(), Label(*bare)->width()) << c.shown.toStdString();
        }
    }
}

} // namespace
