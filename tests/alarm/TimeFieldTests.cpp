// The alarm's time boxes: wrapping and padding what is typed, focus, and the arrows.
#include "alarm/TimeField.h"
#include "alarm/UpDown.h"

#include "support/TestSupport.h"

#include <QLineEdit>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {

// Four boxes and the arrows on a bare form, with the rules attached (no character).
struct Boxes {
    Boxes()
    {
        int x = 0;
        for (QLineEdit* b : {&hour, &minute, &second, &ampm}) {
            b->setText(b == &ampm ? "AM" : "00");
            b->setGeometry(x += 45, 5, 40, 25);
        }
        ampm.setReadOnly(true);
        arrows.setGeometry(x + 45, 5, 16, 25);
        QObject::connect(&arrows, &alarms::UpDownArrows::UpClick, &fields, &alarms::TimeFields::UpDown_UpClick);
        QObject::connect(&arrows, &alarms::UpDownArrows::DownClick, &fields, &alarms::TimeFields::UpDown_DownClick);
        fields.attach(nullptr);
    }
    QString type(QLineEdit& box, const QString& text)
    {
        box.setText(text);
        return box.text();
    }
    void click(const char* arrow) { QTest::mouseClick(&testsupport::child<QToolButton>(arrows, arrow), Qt::LeftButton); }

    QWidget form;
    QLineEdit hour{&form}, minute{&form}, second{&form}, ampm{&form};
    alarms::UpDownArrows arrows{&form};
    alarms::TimeFields fields{form, hour, minute, second, ampm};
};

} // namespace

// A number is plain decimal notation; the boxes wrap and pad it as typed, and any input settles.
TEST(TimeFieldRules, BoxesWrapAndPadAsTyped)
{
    const std::pair<const char*, double> numbers[] = {{"+5", 5}, {".5", 0.5}, {"5.", 5}, {"1E+2", 100}, {"-2.5e-1", -0.25},
                                                      {"1e309", HUGE_VAL}, {"-1e99999999999999999999", -HUGE_VAL},
                                                      {"1e-400", 0}, {"0.001e311", 1e308}};
    for (const auto& [text, value] : numbers)
        EXPECT_EQ(alarms::NumericValue(QString::fromUtf8(text)), value) << text;
    for (const char* text : {"", "-", ".", "e5", "1e+", "1.2.3", "--1", " 7 ", "0x10", "&H10", "nan", "inf", "1,5",
                             "1d2", "12a", "\xef\xbc\x97"})
        EXPECT_FALSE(alarms::NumericValue(QString::fromUtf8(text))) << text;

    Boxes b;
    const std::pair<const char*, const char*> hour[] = {{"13", "1"}, {"0", "12"}, {"100", "12"}, {"-1", "11"}, {"99", "3"},
                                                        {"-12", "12"}, {"-13", "11"}, {"25", "1"}, {"a", ""}};
    for (const auto& [typed, shown] : hour)
        EXPECT_EQ(b.type(b.hour, typed), shown) << typed;
    const std::pair<const char*, const char*> minute[] = {{"7", "07"},   {"0", "00"},   {"60", "00"}, {"75", "15"},
                                                          {"100", "59"}, {"-1", "59"},  {"-61", "59"}, {"-60", "00"},
                                                          {"99", "39"},  {"x", ""},     {"07", "007"}};
    for (const auto& [typed, shown] : minute) {
        EXPECT_EQ(b.type(b.minute, typed), shown) << typed;
        EXPECT_EQ(b.type(b.second, typed), shown) << typed;
    }
    // Pasted texts that "0" in front turns into no number: the box empties, and the next digit is padded.
    for (const char* pasted : {"+5", "-0.0", "-1e-300", "+0", "5.", "-0"}) {
        b.type(b.minute, pasted);
        EXPECT_EQ(b.type(b.minute, "7"), "07") << pasted;
    }

    // Any input settles in a few changes.
    int changes = 0;
    for (QLineEdit* box : {&b.minute, &b.hour})
        QObject::connect(box, &QLineEdit::textChanged, [&] { ++changes; });
    const QString digits(10000, u'7');
    // Typed text, then what the minute box and the hour box end with.
    const std::tuple<QString, QString, QString> cases[] = {
        {"-1e300", "00", "12"},                // far beyond where single steps still move: exact arithmetic
        {"-9007199254740993", "28", "4"},      // reads as -2^53
        {"-123456789.5", "50.5", "2.5"},
        {"-1e309", "59", "12"},                // minus infinity: no number of steps gets back, so the top
        {digits, "59", "12"},
        {"0." + digits, "00." + digits, "12"},   // in range: the minute box pads it, the hour box wraps it up
        // Within reach of single steps: each step's own rounding shows, as one change after another gives it.
        {"-1234.1", "25.90000000000009", "1.900000000000091"},
        {"12.5", "12.5", "12"},                // less than one unit past the top: settles at the top
    };
    for (const auto& [typed, minute, hour] : cases) {
        SCOPED_TRACE(typed.left(20).toStdString());
        changes = 0;
        EXPECT_EQ(b.type(b.minute, typed), minute);
        EXPECT_LE(std::exchange(changes, 0), 4);
        EXPECT_EQ(b.type(b.hour, typed), hour);
        EXPECT_LE(changes, 4);
    }
}

// Entered by Tab, by the program or by a click, a box's text is selected, so the digit typed replaces
// it; leaving a box empty fills it and takes the focus back.
TEST(TimeFieldFocus, TypingReplacesTheWholeTextOnEntryAndLeavingEmptyFillsTheBox)
{
    Boxes b;
    ASSERT_TRUE(testsupport::activate(b.form));
    b.hour.setFocus();
    b.hour.setText("");
    QTest::keyClick(&b.form, Qt::Key_Tab);
    EXPECT_EQ(b.hour.text(), "12");
    ASSERT_TRUE(testsupport::waitUntil([&] { return b.hour.hasFocus(); }, 2000));

    b.minute.setFocus();
    QTest::keyClick(&b.minute, Qt::Key_A); // typing a letter empties the box and keeps the focus there
    EXPECT_EQ(b.minute.text(), "");
    b.second.setFocus();
    EXPECT_EQ(b.minute.text(), "000");
    ASSERT_TRUE(testsupport::waitUntil([&] { return b.minute.hasFocus(); }, 2000));
    EXPECT_EQ(b.second.text(), "00"); // the box it passed through was not touched

    // Leaving with something in range: nothing moves, and no padding is added on leaving.
    b.minute.setText("45");
    b.hour.setFocus();
    testsupport::pump();
    EXPECT_TRUE(b.hour.hasFocus());
    EXPECT_EQ(b.minute.text(), "45");
    QTest::keyClick(&b.form, Qt::Key_Tab);
    ASSERT_TRUE(b.minute.hasFocus());
    QTest::keyClicks(&b.minute, "7");
    EXPECT_EQ(b.minute.text(), "07");
    // Entered by the program rather than by Tab: selected all the same.
    b.second.setText("33");
    b.second.setFocus(Qt::OtherFocusReason);
    EXPECT_EQ(b.second.selectedText(), "33");

    // Clicked into: selected too, so the digit typed replaces the text; a click inside then edits as usual.
    const QPoint atEnd(b.second.width() - 4, b.second.height() / 2);
    b.hour.setFocus();
    QTest::mouseClick(&b.second, Qt::LeftButton, {}, atEnd);
    QTest::keyClicks(&b.second, "5");
    EXPECT_EQ(b.second.text(), "05");
    b.second.setText("33");
    QTest::mouseClick(&b.second, Qt::LeftButton, {}, atEnd);
    EXPECT_FALSE(b.second.hasSelectedText());
    EXPECT_EQ(b.second.cursorPosition(), 2);
}

// Up counts down, round past the end, and the focus stays in the box; entering the AM/PM box switches it.
TEST(TimeFieldArrows, StepTheFocusedBoxTheOtherWayRoundAndNeverTakeTheFocus)
{
    Boxes b;
    ASSERT_TRUE(testsupport::activate(b.form));
    b.minute.setFocus();
    b.minute.setText("00");
    b.click("UpDownUp");
    EXPECT_EQ(b.minute.text(), "59");
    EXPECT_TRUE(b.minute.hasFocus());
    b.ampm.setFocus();
    EXPECT_EQ(b.ampm.text(), "PM");
}
