// The main form: start-up, idle hiding, the spoken actions, the clock's chimes and alarm, and dialogs.
#include "main/frmMain.h"

#include "devices/MCIFunction.h"
#include "support/CharacterTestSupport.h"
#include "support/FakeDrive.h"

#include <QDialog>
#include <QGuiApplication>
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
        form = std::make_unique<frmMain>(t.platform, server, lock, mci);
        EXPECT_EQ(form->Form_Load(), frmMain::Loaded::Running) << form->loadError().toStdString();
        record(form->agentA->stage());
        return *form;
    }
    void setting(const QString& key, const QString& value) { t.settings.store.SaveSetting("Varrow", "Settings", key, value); }
    QString setting(const QString& key) { return t.settings.store.GetSetting("Varrow", "Settings", key, "<none>"); }

    void tickAt(const QTime& time)
    {
        t.clock.set(time);
        form->Timer_Timer();
    }
    void command(const QString& name) { CharacterTest::command(*form, name); }

    QTemporaryDir lockDir;
    platform::InstanceLock lock{"Varrow", lockDir.path()};
    testsupport::FakeDrive* drive = new testsupport::FakeDrive;
    devices::MciInterpreter interpreter{std::unique_ptr<devices::CdDriver>(drive)};
    devices::MCIFunction mci{t.messageBox, "Varrow", interpreter};
    std::unique_ptr<frmMain> form;
};

} // namespace

TEST_F(MainTest, StartUpPlacesTheCharacterAndAddsTheMainMenu)
{
    setting("LastPositionX", "250");
    setting("LastPositionY", "-20");
    frmMain& f = load();
    EXPECT_EQ(f.agentA->Left(), 250);
    EXPECT_EQ(f.agentA->Top(), -20);

    QStringList menu;
    for (const auto& c : f.agentA->Commands().all())
        menu << QStringLiteral("%1|%2|%3|%4|%5").arg(c->Name(), c->Caption(), c->Voice()).arg(c->Enabled()).arg(c->Visible());
    EXPECT_EQ(menu, QStringList({"CDRom|Eject CD-Rom|Eject|1|1", "readClip|Read Clipboard|Clipboard|1|1",
                                 "sayTime|Say the time|Time|1|1", "sayDate| Say the date|Date|1|0", "sayNow|Now|Now|1|0",
                                 "calendar|Show the Calendar|Calendar|1|1", "setAlarm|Set the alarm|Alarm|1|1",
                                 "run|Run ...|Run|1|1", "about|About|About|1|1", "Quit|Quit|Quit|1|1"}));
    // Nothing is said at start-up, and placing the character is no drag: nothing is saved.
    EXPECT_EQ(carriedOut(), QStringList({"Show"}));
    EXPECT_EQ(setting("LastPositionX"), "250");

    // Stored numbers that are no 16-bit whole number fall back; a place off every screen comes back.
    form.reset();
    setting("LastPositionX", "30000");
    setting("LastPositionY", "left");
    setting("HideTime", "");
    setting("SpeechRate", "-100");
    setting("SpeechPitch", "101");
    frmMain& g = load();
    carriedOut();
    EXPECT_EQ(g.agentA->Left(), QGuiApplication::primaryScreen()->availableGeometry().right() + 1 - 128);
    EXPECT_EQ(g.agentA->Top(), 0);
    EXPECT_EQ(g.hideTime(), 300);
    EXPECT_EQ(t.notifier.shown.filter("Speech").join(u'\n'),
              "A setting was not understood|The setting SpeechPitch holds \"101\", which is not a whole number from -100 to "
              "100; speech-dispatcher's own pitch is used instead.");
}

TEST_F(MainTest, IdleHidingCountsDisplayedSecondsOfIdling)
{
    setting("HideTime", "3");
    frmMain& f = load();
    carriedOut();
    QTime now(10, 3, 5);
    auto nextSecond = [&] { tickAt(now = now.addSecs(1)); };
    f.Agent_IdleStart("Genie");
    for (int i = 0; i < 3; ++i)
        nextSecond();
    EXPECT_EQ(f.hideCountdown(), 0);
    EXPECT_TRUE(carriedOut().isEmpty());
    // A second tick within the same displayed second changes nothing.
    f.Timer_Timer();
    EXPECT_EQ(f.hideCountdown(), 0);
    nextSecond(); // the fourth second after idling began: hidden, with the hiding animation
    EXPECT_EQ(f.hideCountdown(), -1);
    EXPECT_EQ(carriedOut(), QStringList({"Hide"}));
    // Idling that ends reloads the count and stops it.
    f.Agent_IdleComplete("Genie");
    EXPECT_EQ(f.hideCountdown(), 3);
    nextSecond();
    EXPECT_EQ(f.hideCountdown(), 3);
}

TEST_F(MainTest, HideTimeZeroHidesAtOnceAndNegativeNever)
{
    setting("HideTime", "0");
    frmMain& f = load();
    carriedOut();
    tickAt(QTime(8, 3, 1)); // not idling: a count of 0 hides anyway
    EXPECT_EQ(f.hideCountdown(), -1);
    EXPECT_EQ(carriedOut(), QStringList({"Hide"}));
    // A click on the clock brings the hidden character back, with the countdown reloaded.
    QTest::mouseClick(&f, Qt::LeftButton);
    EXPECT_EQ(carriedOut(), QStringList({"Show"}));
    EXPECT_EQ(f.hideCountdown(), 0);

    form.reset();
    setting("HideTime", "-5");
    frmMain& g = load();
    g.Agent_IdleStart("Genie");
    for (int s = 0; s < 400; ++s)
        tickAt(QTime(8, 3, 0).addSecs(s + 1));
    EXPECT_EQ(g.hideCountdown(), -5);
    EXPECT_FALSE(carriedOut().contains("Hide"));
}

TEST_F(MainTest, SpokenActionsSayExactlyTheirTexts)
{
    frmMain& f = load();
    carriedOut();
    t.clock.set(QDateTime(QDate(1999, 3, 15), QTime(13, 5, 9)));
    command("sayTime");
    command("sayDate");
    command("sayNow");
    command("saytime"); // names match case and all
    command("SAYNOW");
    command("tellHollin"); // the action has no command of its own
    EXPECT_EQ(carriedOut(), QStringList({"Speak:The time is now 1:05:09 PM", "Speak:Today is Monday, March 15, 1999",
                                         "Speak:Now is 1:05:09 PM ,Monday, March 15, 1999"}));
    f.PerformAction("moved");
    f.PerformAction("nothing");
    EXPECT_EQ(carriedOut(), QStringList({"Play:Acknowledge", "Speak:Yes Sir!", "Play:Write", "Play:WriteReturn"}));
    command("about"); // the product's name comes from the build
    EXPECT_TRUE(carriedOut().join('|').contains("proudly present to you, Varrow. "));
}

TEST_F(MainTest, ClipboardIsReadOrDeclined)
{
    frmMain& f = load();
    carriedOut();
    t.clipboard.text = "Buy milk";
    command("readClip");
    EXPECT_EQ(carriedOut(), QStringList({"Speak:Buy milk"})); // "Reading" is cancelled, the speech is not
    t.clipboard.text.clear(); // an image only reads as no text
    command("readClip");
    EXPECT_EQ(carriedOut(), QStringList({"Play:Decline", "Speak:There are no text in the clipboard."}));

    // Megabytes of text are read and can be stopped (how long the program pauses is the benchmark's).
    t.clipboard.text = QString("All work and no play makes a dull day. ").repeated(120000);
    command("readClip");
    ASSERT_TRUE(testsupport::waitUntil([&] { return f.agentA->stage().balloonText().startsWith("All work"); }, 10000));
    EXPECT_TRUE(f.agentA->stage().busy()) << f.agentA->stage().balloonText().left(60).toStdString() << " q=" << f.agentA->stage().queued();
    f.agentA->StopAll("Speak");
    EXPECT_FALSE(f.agentA->stage().busy());
}

TEST_F(MainTest, CdToggleFollowsTheCaptionWhateverTheDoorDid)
{
    frmMain& f = load();
    drive->openOutcome = devices::CdDriver::Outcome::NoDrive;
    auto cd = [&] { return f.agentA->Commands().Item("CDRom"); };
    command("CDRom");
    EXPECT_EQ(cd()->Caption(), "Close CD-Rom");
    EXPECT_EQ(cd()->Voice(), "Close");
    EXPECT_EQ(t.messageBox.shown.size(), 2u);
    drive->openOutcome = devices::CdDriver::Outcome::Ok;
    command("CDRom");
    EXPECT_EQ(cd()->Caption(), "Eject CD-Rom");
    EXPECT_EQ(cd()->Voice(), "Eject");
    EXPECT_EQ(t.messageBox.shown.size(), 2u);
    EXPECT_TRUE(drive->log.contains("closeTray"));
    EXPECT_EQ(drive->openHandles, 0);
}

TEST_F(MainTest, ClockAnnouncesEachHourAndQuarterOnce)
{
    frmMain& f = load();
    carriedOut();
    QStringList heard;
    auto run = [&](QTime from, int seconds) {
        for (int half = 0; half < seconds * 2; ++half)
            tickAt(from.addMSecs(half * 500));
        heard << carriedOut();
    };
    run(QTime(12, 59, 58), 4); // 12:59:58 .. 13:00:01
    EXPECT_EQ(heard, QStringList({"Play:Domagic2", "Speak:The time is now 1:00:00 PM"}));
    EXPECT_EQ(f.clockText(), "1:00:01 PM");
    heard.clear();
    run(QTime(13, 0, 30), 2); // later in the same minute: nothing more
    run(QTime(13, 0, 10), 2); // clock set back within the minute: not repeated
    EXPECT_TRUE(heard.isEmpty());
    for (const QTime quarter : {QTime(13, 15, 0), QTime(13, 30, 0), QTime(13, 45, 0)}) {
        heard.clear();
        run(quarter, 3);
        EXPECT_EQ(heard, QStringList({"Play:Domagic1", "Speak:The time is now " + platform::LongTime(quarter)}));
    }
    heard.clear();
    run(QTime(13, 16, 0), 3);
    run(QTime(14, 7, 0), 2);
    EXPECT_TRUE(heard.isEmpty());
    heard.clear();
    run(QTime(13, 0, 0), 1); // set to another full hour: announced for the new moment... 13:00 again is the same moment
    EXPECT_TRUE(heard.isEmpty());
    run(QTime(15, 0, 0), 1);
    EXPECT_EQ(heard.first(), "Play:Domagic2");
}

TEST_F(MainTest, ArmedAlarmFiresTwiceInItsSecondBeforeTheChime)
{
    frmMain& f = load();
    carriedOut();
    f.alarmTime = *platform::TimeOfDay::fromHms(7, 30, 0);
    tickAt(QTime(7, 30, 0));
    tickAt(QTime(7, 30, 0, 500));
    EXPECT_EQ(carriedOut().filter("Domagic1").size(), 1); // disarmed: only the quarter chime
    f.alarmStatus = true;
    tickAt(QTime(7, 29, 59));
    EXPECT_TRUE(carriedOut().isEmpty());
    tickAt(QTime(19, 30, 0)); // twelve hours off is another time
    tickAt(QTime(7, 30, 0));
    tickAt(QTime(7, 30, 0, 500));
    tickAt(QTime(7, 30, 1));
    const QStringList done = carriedOut();
    EXPECT_EQ(done.filter("GetAttention").size(), 2);
    EXPECT_EQ(done.filter("Speak:It's now 7:30:00 AM.").size(), 2);
    // The evening's quarter came first that run; now the alarm's own quarter comes after the alarm.
    f.alarmTime = *platform::TimeOfDay::fromHms(8, 45, 0);
    tickAt(QTime(8, 45, 0));
    EXPECT_EQ(carriedOut(), QStringList({"Play:GetAttention", "Speak:It's now 8:45:00 AM.", "Play:Domagic1",
                                         "Speak:The time is now 8:45:00 AM"}));
    EXPECT_TRUE(f.alarmStatus); // firing does not disarm
}

// However a dialog ends, the main character is back once with its menu; the clock ticks on meanwhile.
TEST_F(MainTest, EveryDialogHandsTheCharacterBackHoweverItEnds)
{
    frmMain& f = load();
    carriedOut();
    const QStringList anyDialog{"close", "Escape", "gone"};
    for (const auto& [open, ways] : {std::pair{"calendar", QStringList{"OK"} + anyDialog},
                                     {"setAlarm", QStringList{"OK", "Cancel"} + anyDialog},
                                     {"run", QStringList{"Cancel"} + anyDialog}})
        for (const QString& way : ways) {
            SCOPED_TRACE((QLatin1String(open) + u' ' + way).toStdString());
            f.showModal = [&](QDialog& dialog) {
                dialog.show();
                tickAt(QTime(16, 0, 0)); // the hour strikes while the dialog is open
                if (way == "close")
                    dialog.close();
                else if (way == "Escape")
                    dialog.reject();
                else if (way != "gone") {
                    ASSERT_TRUE(f.agentA->stage().deliverCommand(way));
                }
                testsupport::pump();
                EXPECT_EQ(f.agentA->Visible(), way != "gone"); // at once, not only when the dialog is gone
            };
            command(open);
            const QStringList done = carriedOut();
            EXPECT_EQ(done.size() > 1 ? done.mid(done.size() - 2) : done, QStringList({"Hide:fast", "Show:fast"}));
            EXPECT_EQ(done.count("Show:fast"), 2) << done.join(" | ").toStdString(); // one for each character
            EXPECT_EQ(done.contains("Play:Domagic2"), open == std::string("calendar") && way == "OK");
            EXPECT_EQ(f.agentA->stage().inEffect(), f.agentA);
            EXPECT_TRUE(f.agentA->Visible());
        }
}

TEST_F(MainTest, QuitAndTheCloseButtonEndTheProgramOnce)
{
    frmMain& f = load();
    int ended = 0;
    QObject::connect(&f, &frmMain::unloaded, [&] { ++ended; });
    f.start();
    command("Quit");
    EXPECT_EQ(ended, 1);
    EXPECT_FALSE(f.timer().isActive());
    f.close();
    EXPECT_EQ(ended, 1);
}
