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
        ASSERT_EQ(r.boxes.shown.size(), size_t(c.boxes.size()));
        for (int i = 0; i < c.boxes.size(); ++i)
            EXPECT_TRUE(r.boxes.shown[i].text.contains(c.boxes[i])) << r.boxes.shown[i].text.toStdString();
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
    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_EQ(boxes.shown[0].text, "No CD drive was found on this computer.");
    EXPECT_TRUE(mci.openAliases().isEmpty());
}
