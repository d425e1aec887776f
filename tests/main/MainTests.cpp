// The main form: start-up, idle hiding, the spoken actions, the clock's chimes and alarm, and dialogs.
#include "main/frmMain.h"

#include "devices/MCIFunction.h"
#include "support/CharacterTestSupport.h"
#include "support/FakeDrive.h"

#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// A main form over test services: a still clock, recorded message boxes, a fake CD drive.
class MainTest : public testsupport::CharacterTest {
protected:
    frmMain& load()
    {
        form = std::make_unique<frmMain>(t.platform, server, activation, lock, mci);
        const platform::Result<bool> running = form->Form_Load();
        EXPECT_TRUE(running && *running) << running.why().toStdString();
        record(form->agentA->stage());
        atStart = carriedOut();
        return *form;
    }
    void setting(const QString& key, const QString& value) { t.settings.store.SaveSetting("Varrow", "Settings", key, value); }
    void tickAt(const QDateTime& time)
    {
        t.clock.set(time);
        form->Timer_Timer();
    }
    void tickAt(const QTime& time) { tickAt(QDateTime(t.clock.now().date(), time)); }
    void command(const QString& name) { CharacterTest::command(*form, name); }
    // The idle seconds the form waits before the character hides, counted on the clock.
    int secondsUntilHidden(QTime from, int limit)
    {
        for (int s = 1; s <= limit; ++s) {
            tickAt(from.addSecs(s));
            if (carriedOut().contains("Hide"))
                return s;
        }
        return -1;
    }

    QTemporaryDir lockDir;
    platform::InstanceLock lock{"Varrow", lockDir.path()};
    testsupport::FakeDrive* drive = new testsupport::FakeDrive;
    devices::MciInterpreter interpreter{std::unique_ptr<devices::CdDriver>(drive)};
    devices::MCIFunction mci{t.messageBox, "Varrow", interpreter};
    std::unique_ptr<frmMain> form;
    QStringList atStart; // what the figure carried out as the form loaded
};

} // namespace

// Stored numbers that are no 16-bit whole number fall back and are told; a place off every screen comes
// back. (A place on it is kept: EndToEnd.EachDialog..., and a little off an edge: Monitors.)
TEST_F(MainTest, StartUpPlacesTheCharacterFromTheSettingsAndFallsBackOnBadOnes)
{
    for (const auto& [key, value] : {std::pair{"LastPositionX", "30000"}, {"LastPositionY", "left"}, {"HideTime", ""},
                                     {"SpeechRate", "-100"}, {"SpeechPitch", "101"}})
        setting(key, value);
    frmMain& g = load();
    // Nothing is said at start-up, and placing the character is no drag: nothing is saved.
    EXPECT_EQ(atStart, QStringList({"Show"}));
    const int right = QGuiApplication::primaryScreen()->availableGeometry().right() + 1;
    EXPECT_EQ(QPoint(g.agentA->Left(), g.agentA->Top()), QPoint(right - 128, 0));
    EXPECT_EQ(t.notifier.shown.filter("A setting was not understood|").size(), 3);
    EXPECT_EQ(t.notifier.shown.filter("SpeechPitch").size(), 1);
}

TEST_F(MainTest, IdleHidingCountsDisplayedSecondsAndAClickOnTheClockBringsTheCharacterBack)
{
    // HideTime, and the second of idling the character hides in: 0 hides on the first second, idling
    // or not; a negative one never; otherwise the one after HideTime.
    for (const auto& [hideTime, idle, hidesIn] : {std::tuple{"0", false, 1}, {"-5", true, -1}, {"3", true, 4}}) {
        form.reset();
        setting("HideTime", hideTime);
        load();
        if (idle)
            form->Agent_IdleStart("Genie");
        EXPECT_EQ(secondsUntilHidden(QTime(10, 3, 5), 400), hidesIn) << hideTime;
    }
    // A click on the clock brings it back; idling that ends stops the count.
    QTest::mouseClick(form.get(), Qt::LeftButton);
    EXPECT_EQ(carriedOut(), QStringList({"Show"}));
    form->Agent_IdleStart("Genie");
    tickAt(QTime(10, 4, 0));
    form->Agent_IdleComplete("Genie");
    EXPECT_EQ(secondsUntilHidden(QTime(10, 4, 0), 10), -1);
}

// Commands match their names exactly and read the time when they run; the CD command's caption
// follows the door whatever it did. (Quit and the close button: EndToEnd.)
TEST_F(MainTest, CommandsMatchTheirNamesExactlyAndTheTimeIsReadWhenTheyRun)
{
    frmMain& f = load();
    t.clock.set(QDateTime(QDate(1999, 3, 15), QTime(13, 5, 9)));
    command("saytime"); // names match case and all
    command("tellHollin"); // the action has no command of its own
    command("sayNow");
    t.clock.set(QDateTime(QDate(1999, 3, 16), QTime(0, 0, 1)));
    EXPECT_EQ(carriedOut(), QStringList({"Speak:Now is 1:05:09 PM ,Monday, March 15, 1999"}));
    command("about"); // the product's name comes from the build
    EXPECT_TRUE(carriedOut().join('|').contains("proudly present to you, Varrow. "));

    drive->openOutcome = devices::CdDriver::Outcome::NoDrive;
    auto cd = [&] { return f.agentA->Commands().Item("CDRom"); };
    command("CDRom");
    EXPECT_EQ(cd()->Caption() + '|' + cd()->Voice(), "Close CD-Rom|Close");
    drive->openOutcome = devices::CdDriver::Outcome::Ok;
    command("CDRom");
    EXPECT_EQ(cd()->Caption() + '|' + cd()->Voice(), "Eject CD-Rom|Eject");
    EXPECT_TRUE(drive->log.contains("closeTray")); // what each outcome shows and leaves open: CdDoor
}

TEST_F(MainTest, ClipboardIsReadOrDeclinedAndTheAlarmCutsEvenMegabytesShort)
{
    frmMain& f = load();
    t.clipboard.text = "Buy milk";
    command("readClip");
    EXPECT_EQ(carriedOut(), QStringList({"Speak:Buy milk"})); // "Reading" is cancelled, the speech is not
    t.clipboard.text.clear(); // an image only reads as no text
    command("readClip");
    EXPECT_EQ(carriedOut(), QStringList({"Play:Decline", "Speak:There are no text in the clipboard."}));

    // What was asked after the megabytes goes on.
    t.clipboard.text = QString("All work and no play makes a dull day. ").repeated(120000);
    command("readClip");
    command("sayTime");
    ASSERT_TRUE(testsupport::waitUntil([&] { return testsupport::BalloonText().startsWith("All work"); }, 10000));
    f.alarm.alarmStatus = true;
    f.alarm.alarmTime = *platform::TimeOfDay::fromHms(9, 7, 0);
    tickAt(QTime(9, 7, 0));
    EXPECT_TRUE(testsupport::waitUntil([&] { return recorder->started.contains("Play:GetAttention"); }, 1000));
    EXPECT_EQ(carriedOut().mid(1), QStringList({"Play:GetAttention", "Speak:It's now 9:07:00 AM.",
                                                "Speak:The time is now 9:00:00 AM"}));
}

TEST_F(MainTest, ClockAnnouncesEachHourAndQuarterOnce)
{
    load();
    const QStringList none, one{"Play:Domagic2", "Speak:The time is now 1:00:00 PM"};
    // Where the clock runs from, for how many seconds in half-second ticks, and what is heard.
    const std::tuple<QTime, int, QStringList> runs[] = {
        {QTime(12, 59, 58), 4, one},
        {QTime(13, 0, 10), 2, none}, // set back within the minute: not repeated
        {QTime(13, 16, 0), 3, none},
        {QTime(13, 15, 0), 3, {"Play:Domagic1", "Speak:The time is now 1:15:00 PM"}},
    };
    for (const auto& [from, seconds, heard] : runs) {
        for (int half = 0; half < seconds * 2; ++half)
            tickAt(from.addMSecs(half * 500));
        EXPECT_EQ(carriedOut(), heard) << from.toString().toStdString();
    }
    EXPECT_EQ(testsupport::child<QLabel>(*form, "lblTime").text(), "1:15:02 PM");
}

// Twice in its second, before the chime; and over ticks that do not come each half second (a busy
// machine, a fast clock, a clock set, a suspend).
TEST_F(MainTest, TheAlarmRingsInItsSecondOrOnceForASecondTheClockStepsOverAndIsToldMissedAfterHours)
{
    setting("HideTime", "0");
    t.clock.set(QDateTime(QDate(2026, 12, 7), QTime(8, 44, 0)));
    frmMain& f = load();
    f.alarm.alarmTime = *platform::TimeOfDay::fromHms(8, 45, 0);
    tickAt(QTime(8, 45, 0));
    EXPECT_FALSE(carriedOut().join('|').contains("GetAttention")); // disarmed
    f.alarm.alarmStatus = true;
    tickAt(QTime(8, 45, 0, 500));
    tickAt(QTime(8, 45, 0, 900));
    tickAt(QTime(20, 45, 0)); // twelve hours off is another time
    EXPECT_EQ(carriedOut().filter(QRegularExpression("GetAttention|It's now|Domagic")),
              QStringList({"Play:GetAttention", "Speak:It's now 8:45:00 AM.", "Play:GetAttention",
                           "Speak:It's now 8:45:00 AM.", "Play:Domagic1"}));

    f.alarm.alarmTime = *platform::TimeOfDay::fromHms(7, 32, 7);
    auto at = [&](int day, int h, int m, int s) { tickAt(QDateTime(QDate(2026, 12, day), QTime(h, m, s))); };
    at(8, 7, 31, 58);
    carriedOut();
    at(8, 7, 32, 8); // ten seconds on, over the alarm's second: the hidden figure comes back for it
    EXPECT_EQ(carriedOut(), QStringList({"Show", "Play:GetAttention", "Speak:It's now 7:32:07 AM."}));
    // Set back and over it again: no more; a tick in it rings, as every tick of it does.
    at(8, 7, 32, 0), at(8, 7, 32, 10), at(8, 7, 32, 7);
    at(9, 7, 20, 0), at(9, 7, 40, 0); // the next day
    f.alarm.alarmTime = *platform::TimeOfDay::fromHms(23, 59, 55);
    at(9, 23, 59, 50), at(10, 0, 1, 0); // over midnight
    f.alarm.alarmTime = *platform::TimeOfDay::fromHms(7, 32, 7);
    at(10, 6, 0, 0), at(10, 9, 14, 0); // hours at once: told, not rung as if it were now
    EXPECT_EQ(carriedOut().filter("It's now"), QStringList({"Speak:It's now 7:32:07 AM.", "Speak:It's now 7:32:07 AM.",
                                                            "Speak:It's now 11:59:55 PM."}));
    EXPECT_EQ(t.notifier.shown.filter(QRegularExpression("^(Alarm|Missed alarm)\\|")),
              QStringList({"Alarm|It's now 8:45:00 AM.", "Alarm|It's now 7:32:07 AM.", "Alarm|It's now 7:32:07 AM.",
                           "Alarm|It's now 11:59:55 PM.",
                           "Missed alarm|The alarm of 7:32:07 AM did not ring: the clock went from 6:00:00 AM to "
                           "9:14:00 AM at once (the computer was asleep, or its clock was set)."}));
    EXPECT_TRUE(f.alarm.alarmStatus); // firing does not disarm
}

// However a dialog ends, the main character is back once with its menu; the clock ticks on meanwhile.
TEST_F(MainTest, EveryDialogHandsTheCharacterBackHoweverItEnds)
{
    frmMain& f = load();
    const QStringList anyDialog{"close", "Escape"};
    int hour = 14;
    for (const auto& [open, ways] : {std::pair{"calendar", QStringList{"OK"} + anyDialog},
                                     {"setAlarm", QStringList{"OK", "Cancel"} + anyDialog},
                                     {"run", QStringList{"Cancel"} + anyDialog}})
        for (const QString& way : ways) {
            SCOPED_TRACE((QLatin1String(open) + u' ' + way).toStdString());
            const QTime strikes(hour++, 0, 0);
            testsupport::whenShown<QDialog>([&](QDialog& dialog) {
                tickAt(strikes); // the hour strikes while the dialog is open
                if (way == "close")
                    dialog.close();
                else if (way == "Escape")
                    QTest::keyClick(&dialog, Qt::Key_Escape);
                else
                    EXPECT_TRUE(f.agentA->stage().deliverCommand(way));
                testsupport::pump();
                // At once, not only when the dialog's queue has run dry.
                EXPECT_TRUE(f.agentA->Visible());
            });
            command(open);
            const QStringList done = carriedOut();
            EXPECT_EQ(done.mid(done.size() - 2), QStringList({"Hide:fast", "Show:fast"}));
            EXPECT_EQ(done.count("Show:fast"), 2) << done.join(" | ").toStdString(); // one for each character
            EXPECT_TRUE(done.contains("Play:Domagic2"));
            EXPECT_EQ(f.agentA->stage().inEffect(), f.agentA);
        }
}
