// The calendar dialog: opening at today, stepping by voice, impossible dates, and handing the character back.
#include "calendar/frmCalendar.h"

#include "support/CharacterTestSupport.h"

#include <gtest/gtest.h>

namespace {

class CalendarTest : public testsupport::MainCharacterTest {
protected:
    character::CharacterStage& stage() { return mainAgentA->stage(); }
    CalendarView& open(const QDate& today = QDate(1999, 3, 15))
    {
        t.clock.set(QDateTime(today, QTime(10, 20, 0)));
        openDialog(dialog, t.platform);
        return testsupport::child<CalendarView>(*dialog, "MonthView");
    }
    // As the user would say it: through the connection in effect.
    void say(const QString& name)
    {
        ASSERT_TRUE(stage().deliverCommand(name)) << name.toStdString();
        testsupport::pump();
    }
    std::unique_ptr<frmCalendar> dialog;
};

} // namespace

// Opens at today and says it; "Previous Year" shows the year first, and an "Okay" meanwhile closes the
// dialog without harm; steps say nothing.
TEST_F(CalendarTest, OpensAtTodayAndPreviousYearShowsTheYearFirst)
{
    CalendarView& cal = open(QDate(2026, 12, 7));
    EXPECT_EQ(cal.Value(), QDate(2026, 12, 7));
    dialog->Form_Activate();
    EXPECT_EQ(carriedOut(), QStringList({"Hide:fast", "Show:fast", "Speak:Today is Monday, December 7, 2026",
                                         QStringLiteral("Gesture:%1,0").arg(mainAgentA->Width())}));

    QDate whileShown;
    t.messageBox.onShow = [&] { whileShown = cal.Value(); };
    ASSERT_TRUE(cal.setValue(QDate(2000, 3, 15)));
    say("previousYear");
    EXPECT_EQ(cal.Value(), QDate(1999, 3, 15));
    EXPECT_EQ(whileShown, QDate(2000, 3, 15));
    EXPECT_EQ(t.messageBox.shown, QStringList({"2000"}));
    EXPECT_TRUE(carriedOut().isEmpty());

    dialog->show();
    t.messageBox.onShow = [&] { say("OK"); };
    say("previousYear");
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_TRUE(mainAgentA->Visible() && stage().inEffect() == mainAgentA);
    EXPECT_EQ(cal.Value(), QDate(1998, 3, 15));
}

// Day steps are QDate's own arithmetic; months and years are ours.
TEST_F(CalendarTest, StepsLandOnARealDateInRange)
{
    CalendarView& cal = open();
    const std::tuple<QDate, const char*, QDate> cases[] = {
        {{1999, 12, 15}, "nextMonth", {2000, 1, 15}},
        // The day is held to the length of the month it lands in.
        {{2000, 1, 31}, "nextMonth", {2000, 2, 29}},
        {{2000, 2, 29}, "nextYear", {2001, 2, 28}},
        // The calendar's range holds: a step out of it leaves the date where it was.
        {{1753, 6, 10}, "previousYear", {1753, 6, 10}},
        {{1753, 1, 1}, "previousDay", {1753, 1, 1}},
        {{9999, 6, 10}, "nextYear", {9999, 6, 10}},
        {{9999, 12, 31}, "nextDay", {9999, 12, 31}},
        {{1754, 1, 1}, "previousYear", {1753, 1, 1}},
    };
    for (const auto& [start, command, expected] : cases) {
        ASSERT_TRUE(cal.setValue(start));
        say(command);
        EXPECT_EQ(cal.Value(), expected) << command << " from " << start.toString(Qt::ISODate).toStdString();
        EXPECT_EQ(cal.selectedDate(), cal.Value());
    }
    EXPECT_EQ(t.messageBox.shown.size(), 2); // the year box comes with "Previous Year" alone

    // A clicked date is where the next step starts, and is not announced.
    carriedOut();
    cal.setSelectedDate(QDate(2004, 7, 4));
    EXPECT_TRUE(carriedOut().isEmpty());
    say("nextMonth");
    EXPECT_EQ(cal.Value(), QDate(2004, 8, 4));
}
