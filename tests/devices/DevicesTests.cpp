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
};
} // namespace

// Whatever the drive does, the boxes say why, and nothing is left open.
TEST(CdDoor, EachOutcomeShowsItsBoxesAndLeavesNothingOpen)
{
    enum Call { Open, Close, OpenWithoutDoor };
    // How the drive opens and moves its door, the call, what the drive was asked, and a line of each box shown.
    const std::tuple<Outcome, Outcome, Call, QStringList, QStringList> cases[] = {
        {Outcome::Ok, Outcome::Ok, Open, {"open", "eject", "release"}, {}},
        {Outcome::Ok, Outcome::Ok, Close, {"open", "closeTray", "release"}, {}},
        {Outcome::Ok, Outcome::Ok, OpenWithoutDoor, {"open", "release"}, {}},
        // The second box tells why nothing happened, not that the tray should be open.
        {Outcome::NoDrive, Outcome::Ok, Open, {"open"}, {"No CD drive was found on this computer.",
             "The command was not carried out because the CD drive it names was not opened."}},
        {Outcome::Ok, Outcome::Busy, Close, {"open", "closeTray", "release"}, {"busy or its door is locked"}},
        {Outcome::Ok, Outcome::CannotClose, Close, {"open", "closeTray", "release"}, {"cannot close its tray"}},
        {Outcome::Ok, Outcome::PermissionDenied, Close, {"open", "closeTray", "release"}, {"\"cdrom\" group"}},
        {Outcome::Ok, Outcome::Failed, Close, {"open", "closeTray", "release"}, {"an error: Input/output error."}},
    };
    for (const auto& [open, door, call, log, boxes] : cases) {
        SCOPED_TRACE((log + boxes).join(' ').toStdString());
        Rig r;
        r.drive->openOutcome = open;
        r.drive->doorOutcome = door;
        const int result = call == Close ? r.functions.CloseCDDoor(1, false) : r.functions.OpenCDDoor(1, call != Open);
        EXPECT_EQ(result, boxes.isEmpty() ? 0 : -1);
        EXPECT_EQ(r.drive->log, log);
        ASSERT_EQ(r.boxes.shown.size(), boxes.size());
        for (int i = 0; i < boxes.size(); ++i)
            EXPECT_TRUE(r.boxes.shown[i].contains(boxes[i])) << r.boxes.shown[i].toStdString();
        EXPECT_TRUE(r.mci.openAliases().isEmpty());
        EXPECT_EQ(r.drive->openHandles, 0);
    }
    // Opening the device alone leaves it open under "cd".
    Rig r;
    EXPECT_EQ(r.functions.OpenCDDevice(1), 0);
    EXPECT_EQ(r.mci.openAliases(), QStringList({"cd"}));

    // The real driver on a machine without a drive says so, and leaves nothing open.
    if (!LinuxCdDriver::findDrive().isEmpty())
        GTEST_SKIP() << "this machine has a CD drive";
    MciInterpreter mci;
    testsupport::RecordingMessageBox boxes;
    MCIFunction functions(boxes, "Varrow", mci);
    EXPECT_EQ(functions.OpenCDDoor(0, false), -1);
    ASSERT_EQ(boxes.shown.size(), 2);
    EXPECT_EQ(boxes.shown[0], "No CD drive was found on this computer.");
    EXPECT_TRUE(mci.openAliases().isEmpty());
}
