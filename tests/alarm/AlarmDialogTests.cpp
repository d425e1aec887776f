// The alarm dialog: what it opens with, arming, storing the time, number commands, and handing the character back.
#include "alarm/frmSettingAlarm.h"

#include "support/CharacterTestSupport.h"

#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

using platform::TimeOfDay;

namespace {

class AlarmDialogTest : public testsupport::MainCharacterTest {
protected:
    void open() { openDialog(dialog, t.platform, main); }
    void command(const QString& name) { MainCharacterTest::command(*dialog, name); }
    QStringList listed() const { return MainCharacterTest::listed(*own); }
    QString status() const { return testsupport::child<QLabel>(*dialog, "lblAlarmStatus").text(); }
    int numbersPresent() const
    {
        int n = 0;
        for (int i = 0; i <= 59; ++i)
            n += own->Commands().Item(QString::number(i)) != nullptr;
        return n;
    }
    QLineEdit& box(const char* name) const { return testsupport::child<QLineEdit>(*dialog, name); }

    alarms::AlarmState main;
    std::unique_ptr<frmSettingAlarm> dialog;
};

} // namespace

// Arming and disarming take effect at once; OK stores the time alone, or keeps the old one and says why.
TEST_F(AlarmDialogTest, ArmingTakesEffectAtOnceAndOkStoresOnlyTheTime)
{
    main.alarmTime = *TimeOfDay::fromHms(6, 15, 0);
    open();
    command("setAlarmOn");
    EXPECT_TRUE(main.alarmStatus);
    EXPECT_EQ(status() + '|' + listed().join(','), "On|OK,Cancel,Alarm Off");
    EXPECT_TRUE(carriedOut().contains("Speak:Yes sir, I'll inform you in the scheduled time."));
    box("txtAlarmTimeHour").setText("9");
    command("Cancel");
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_TRUE(main.alarmStatus); // the cancel keeps the arming and the old time
    EXPECT_EQ(main.alarmTime, *TimeOfDay::fromHms(6, 15, 0));

    open();
    command("setAlarmOff");
    EXPECT_FALSE(main.alarmStatus);
    EXPECT_EQ(status() + '|' + listed().join(','), "Off|OK,Cancel,Alarm On");
    box("txtAlarmTimeHour").setText("x"); // emptied
    command("OK");
    EXPECT_EQ(main.alarmTime, *TimeOfDay::fromHms(6, 15, 0));
    EXPECT_TRUE(carriedOut().contains("Speak:\":15:00 AM\" is not a time I can set. The alarm stays at 6:15:00 AM."));
    for (const auto& [name, text] : {std::pair{"txtAlarmTimeHour", "7"}, {"txtAlarmTimeMinute", "5"}, {"txtAlarmTimeSecond", "9"}})
        box(name).setText(text);
    command("setPM");
    command("OK");
    EXPECT_EQ(main.alarmTime, *TimeOfDay::fromHms(19, 5, 9));
    EXPECT_FALSE(main.alarmStatus);
}

// The numbers offered are those of the focused box; said, they go into it. A pop-up menu taking the
// keyboard does not count as leaving the box.
TEST_F(AlarmDialogTest, NumberCommandsFollowTheFocusedBox)
{
    open();
    ASSERT_TRUE(testsupport::activate(*dialog));
    EXPECT_EQ(numbersPresent(), 12);
    command("setMinute");
    command("7");
    EXPECT_EQ(box("txtAlarmTimeMinute").text(), "07");
    QFocusEvent popup(QEvent::FocusOut, Qt::PopupFocusReason);
    QCoreApplication::sendEvent(&box("txtAlarmTimeMinute"), &popup);
    EXPECT_EQ(numbersPresent(), 60);
    box("txtAlarmTimeAMPM").setFocus();
    EXPECT_EQ(numbersPresent(), 0);
}

// The dialog opens showing the alarm state, and each activation places and introduces the character.
TEST_F(AlarmDialogTest, OpensFromTheAlarmStateAndEachActivationTakesTheCharacter)
{
    const std::tuple<TimeOfDay, bool, QStringList> cases[] = {
        {*TimeOfDay::fromHms(13, 5, 9), true, {"1", "05", "09", "PM", "On", "Alarm Off"}},
        {*TimeOfDay::fromHms(12, 30, 0), false, {"12", "30", "00", "PM", "Off", "Alarm On"}},
        {*TimeOfDay::fromHms(0, 30, 0), false, {"12", "30", "00", "AM", "Off", "Alarm On"}},
    };
    for (const auto& [time, armed, shown] : cases) {
        main.alarmTime = time;
        main.alarmStatus = armed;
        open();
        QStringList seen;
        for (const char* b : {"txtAlarmTimeHour", "txtAlarmTimeMinute", "txtAlarmTimeSecond", "txtAlarmTimeAMPM"})
            seen << box(b).text();
        EXPECT_EQ(seen + QStringList({status(), listed().last()}), shown);
    }
    open();
    // Which character stands, and how it introduces itself, is seen in EndToEnd.EachDialogStandsBeside...
    ASSERT_TRUE(testsupport::activate(*dialog));

    // Another window of ours in front: the main character is back with its commands; and taken again on return.
    dialog->Form_Deactivate();
    EXPECT_TRUE(mainAgentA->Visible());
    EXPECT_EQ(own->stage().inEffect(), mainAgentA);
    dialog->Form_Activate();
    EXPECT_EQ(own->stage().inEffect(), own);
}
