// The CD door through command strings: a working drive, none, one that refuses or is busy.
#include "devices/MCIFunction.h"
#include "support/FakeDrive.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace devices;
using Outcome = CdDriver::Outcome;
using testsupport::FakeDrive;

namespace {
// The door functions over a fake drive, with the boxes they would show.
struct Rig {
    FakeDrive* drive = new FakeDrive;
    MciInterpreter mci{std::unique_ptr<CdDriver>(drive)};
    testsupport::RecordingMessageBox boxes;
    MCIFunction functions{boxes, "Varrow", mci};
    QStringList boxTexts() const
    {
        QStringList t;
        for (const auto& b : boxes.shown) {
            EXPECT_EQ(b.title, "Varrow");
            EXPECT_EQ(b.icon, platform::MessageBox::Icon::None);
            t << b.text;
        }
        return t;
    }
};
} // namespace

// Whatever the drive does, the boxes say why, and nothing is left open.
TEST(CdDoor, EachOutcomeShowsItsBoxesAndLeavesNothingOpen)
{
    enum Call { Open, Close, OpenWithoutDoor };
    struct Case {
        Outcome open, door;
        Call call;
        int result;
        QStringList log, boxes; // each box contains its line
    };
    const Case cases[] = {
        {Outcome::Ok, Outcome::Ok, Open, 0, {"open", "eject", "release"}, {}},
        {Outcome::Ok, Outcome::Ok, Close, 0, {"open", "closeTray", "release"}, {}},
        {Outcome::Ok, Outcome::Ok, OpenWithoutDoor, 0, {"open", "release"}, {}},
        // The second box tells why nothing happened, not that the tray should be open.
        {Outcome::NoDrive, Outcome::Ok, Open, -1, {"open"}, {"No CD drive was found on this computer.",
             "The command was not carried out because the CD drive it names was not opened."}},
        {Outcome::Ok, Outcome::Busy, Close, -1, {"open", "closeTray", "release"}, {"busy or its door is locked"}},
        {Outcome::Ok, Outcome::CannotClose, Close, -1, {"open", "closeTray", "release"}, {"cannot close its tray"}},
        {Outcome::Ok, Outcome::PermissionDenied, Close, -1, {"open", "closeTray", "release"}, {"\"cdrom\" group"}},
        {Outcome::Ok, Outcome::Failed, Close, -1, {"open", "closeTray", "release"},
         {"reported an error: Input/output error."}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.log.join(' ').toStdString() + " " + c.boxes.join(' ').toStdString());
        Rig r;
        r.drive->openOutcome = c.open;
        r.drive->doorOutcome = c.door;
        EXPECT_EQ(c.call == Close ? r.functions.CloseCDDoor(1, false) : r.functions.OpenCDDoor(1, c.call == OpenWithoutDoor),
                  c.result);
        EXPECT_EQ(r.drive->log, c.log);
        const QStringList texts = r.boxTexts();
        ASSERT_EQ(texts.size(), c.boxes.size());
        for (int i = 0; i < texts.size(); ++i)
            EXPECT_TRUE(texts[i].contains(c.boxes[i])) << texts[i].toStdString();
        EXPECT_TRUE(r.mci.openAliases().isEmpty());
        EXPECT_EQ(r.drive->openHandles, 0);
    }
    // Opening the device alone leaves it open under "cd".
    Rig r;
    EXPECT_EQ(r.functions.OpenCDDevice(1), 0);
    EXPECT_EQ(r.mci.openAliases(), QStringList({"cd"}));
}

TEST(CommandStrings, OnlyTheKnownCommandsAreAccepted)
{
    FakeDrive* drive = new FakeDrive;
    MciInterpreter mci{std::unique_ptr<CdDriver>(drive)};
    using E = MciInterpreter::Error;
    EXPECT_EQ(mci.sendString("  OPEN   CDAudio alias cd  shareable wait "), E::Ok);
    EXPECT_EQ(mci.sendString("open cdaudio alias cd"), E::AliasInUse);
    EXPECT_EQ(mci.sendString("set cd time format tmsf wait"), E::Ok);
    EXPECT_EQ(mci.sendString("set cd time format fortnights"), E::BadValue);
    EXPECT_EQ(mci.sendString("set dvd door open"), E::AliasNotOpen);
    EXPECT_EQ(mci.sendString("set cd door ajar"), E::BadValue);
    EXPECT_EQ(mci.sendString("close dvd"), E::AliasNotOpen);
    EXPECT_EQ(mci.sendString("close cd wait"), E::Ok);
    EXPECT_EQ(mci.sendString("close all"), E::Ok);
    for (const QString& bad : {QString(), QString("   "), QString("play cd"), QString("open"), QString("open waveaudio alias w"),
                               QString("open cdaudio alias cd wait wait"), QString("set"), QString("set cd"),
                               QString("close"), QString("open cdaudio alias all"), QString("set cd door open extra"),
                               QString::fromLatin1("open cdaudio\0alias cd", 21), QString("x").repeated(100000)}) {
        EXPECT_NE(mci.sendString(bad), E::Ok) << bad.left(40).toStdString();
    }
    EXPECT_TRUE(mci.openAliases().isEmpty());
    EXPECT_EQ(drive->openHandles, 0);
    // Every code has readable words, cut to the buffer the caller gives.
    for (int code = E::UnknownCommand; code <= E::DriveError; ++code) {
        EXPECT_FALSE(mci.errorString(code, 200).isEmpty());
        EXPECT_LE(mci.errorString(code, 200).size(), 199);
    }
    EXPECT_EQ(mci.errorString(E::PermissionDenied, 10), "You are n");
    EXPECT_TRUE(mci.errorString(9999, 200).contains("9999"));
}

TEST(CdDoor, RealDriverReportsNoDriveCleanly)
{
    if (!LinuxCdDriver::findDrive().isEmpty())
        GTEST_SKIP() << "this machine has a CD drive";
    MciInterpreter mci;
    testsupport::RecordingMessageBox boxes;
    MCIFunction functions(boxes, "Varrow", mci);
    EXPECT_EQ(functions.OpenCDDoor(0, false), -1);
    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_EQ(boxes.shown[0].text, "No CD drive was found on this computer.");
    EXPECT_TRUE(mci.openAliases().isEmpty());
}
