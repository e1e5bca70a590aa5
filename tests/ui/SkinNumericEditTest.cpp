#include "ui/SkinNumericEdit.h"
#include "ui/DateEditText.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

using namespace quillory;

namespace {

class NumericEditTest : public ::testing::Test {
protected:
    void SetUp() override {
        FEdit.show();
        FEdit.setFocus();
    }
    void Type(const char* keys) { QTest::keyClicks(&FEdit, keys); }
    TSkinNumericEdit FEdit{nullptr, TFormatSettings::EnglishUS()};
};

TEST_F(NumericEditTest, StartsAtZero) {
    EXPECT_EQ(FEdit.text(), "0");
    EXPECT_EQ(FEdit.Value(), 0);
    EXPECT_EQ(FEdit.ValueType(), vtInteger);
    EXPECT_EQ(FEdit.property("SkinDataName").toString(), "edit");
}

TEST_F(NumericEditTest, TextsBecomeValuesOnlyWhenTheyAreNumbers) {
    FEdit.SetText("12");
    EXPECT_EQ(FEdit.Value(), 12);
    FEdit.SetText("");
    EXPECT_EQ(FEdit.Value(), 12);
    FEdit.SetText("-3");
    EXPECT_EQ(FEdit.Value(), -3);
    FEdit.SetText("-");
    EXPECT_EQ(FEdit.Value(), -3);
    FEdit.SetText("5-");
    EXPECT_EQ(FEdit.Value(), -3);
    EXPECT_FALSE(FEdit.IsValidNumberText("1.5"));
    EXPECT_FALSE(FEdit.IsValidNumberText("--1"));
    EXPECT_TRUE(FEdit.IsValidNumberText("007"));
}

TEST_F(NumericEditTest, KeyFilterRefusesWhatCannotBeANumber) {
    FEdit.clear();
    QSignalSpy changes(&FEdit, &TSkinNumericEdit::Change);
    Type("4a2.-");
    EXPECT_EQ(FEdit.text(), "42-");
    EXPECT_EQ(FEdit.Value(), 42);
    Type("-");
    EXPECT_EQ(FEdit.text(), "42-");
    QTest::keyClick(&FEdit, Qt::Key_Backspace);
    EXPECT_EQ(FEdit.text(), "42");
    EXPECT_EQ(changes.count(), 4); // "4", "42", "42-", "42"
    FEdit.SetValue(7);
    QTest::keyClick(&FEdit, Qt::Key_Up); // arrows step only when asked to
    EXPECT_EQ(FEdit.Value(), 7);
    FEdit.SupportUpDownKeys = true;
    FEdit.Increment = 5;
    QTest::keyClick(&FEdit, Qt::Key_Up);
    EXPECT_EQ(FEdit.Value(), 12);
    EXPECT_EQ(FEdit.text(), "12");
}

TEST_F(NumericEditTest, WritingValueRoundsTheTextOnly) {
    FEdit.SetValue(2.5);
    EXPECT_EQ(FEdit.text(), "2");
    EXPECT_EQ(FEdit.Value(), 2.5);
    FEdit.SetValue(3.5);
    EXPECT_EQ(FEdit.text(), "4");
    FEdit.SetValue(-2.5);
    EXPECT_EQ(FEdit.text(), "-2");
    QSignalSpy changes(&FEdit, &TSkinNumericEdit::Change);
    FEdit.SetValue(-2.5);
    EXPECT_EQ(changes.count(), 0); // the text did not change
    FEdit.SetValue(1);
    EXPECT_EQ(changes.count(), 1);
    EXPECT_EQ(FEdit.Value(), 1);
}

TEST_F(NumericEditTest, LimitsClampAndCorrectTheText) {
    FEdit.MinValue = 1;
    FEdit.MaxValue = 10;
    QSignalSpy changes(&FEdit, &TSkinNumericEdit::Change);
    FEdit.SetText("50");
    EXPECT_EQ(FEdit.Value(), 10);
    EXPECT_EQ(FEdit.text(), "10");
    EXPECT_EQ(changes.count(), 1); // the correcting rewrite raises nothing
    FEdit.SetValue(-4);
    EXPECT_EQ(FEdit.Value(), 1);
    EXPECT_EQ(FEdit.text(), "1");
    FEdit.MinValue = FEdit.MaxValue = 3; // equal limits: none
    FEdit.SetText("500");
    EXPECT_EQ(FEdit.Value(), 500);
}

TEST_F(NumericEditTest, IntegerOutOfRangeRaisesTheParserError) {
    FEdit.SetText("17");
    try {
        FEdit.SetText("99999999999");
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "'99999999999' is not a valid integer value");
    }
    EXPECT_EQ(FEdit.Value(), 17);
    FEdit.SetText("214748364");
    FEdit.setCursorPosition(9);
    EXPECT_THROW(QTest::keyClick(&FEdit, '9'), EConvertError);
    EXPECT_EQ(FEdit.Value(), 214748364);
    FEdit.SetText("-2147483648");
    EXPECT_EQ(FEdit.Value(), -2147483648.0);
}

TEST(NumericEditFloatTest, UsesTheLocaleDecimalSeparator) {
    TFormatSettings fs = TFormatSettings::EnglishUS();
    fs.DecimalSeparator = ',';
    TSkinNumericEdit e(nullptr, fs);
    e.SetValueType(vtFloat);
    e.show();
    e.clear();
    QTest::keyClicks(&e, "2,5,.7");
    EXPECT_EQ(e.text(), "2,57");
    EXPECT_DOUBLE_EQ(e.Value(), 2.57);
    EXPECT_FALSE(e.IsValidNumberText(",5"));
    EXPECT_TRUE(e.IsValidNumberText("-0,5"));
    e.SetValue(1.234);
    EXPECT_EQ(e.text(), "1,23");
    EXPECT_DOUBLE_EQ(e.Value(), 1.234);
    e.Decimal = 0;
    e.SetValue(2.6);
    EXPECT_EQ(e.text(), "3");
}

} // namespace
