// The CD door operations the main form calls, as command strings sent to the device layer.
#pragma once
#include "MciInterpreter.h"

#include <QString>

namespace platform {
class MessageBox;
}

namespace devices {

// Opening and closing the CD drive's door through command strings. Nothing stays open after a
// door operation; failures show in message boxes and as the -1 result.
class MCIFunction {
public:
    MCIFunction(platform::MessageBox& messageBox, QString appTitle, MciInterpreter& mci);

    // True when the command failed.
    bool SendMCICommand(const QString& command, bool showError, quintptr hWnd);
    long OpenCDDevice(quintptr hWnd);
    long OpenCDDoor(quintptr hWnd, bool skipDoor);
    long CloseCDDoor(quintptr hWnd, bool skipDoor);

private:
    long DoorOperation(quintptr hWnd, bool skipDoor, const QString& doorCommand);

    platform::MessageBox& messageBox_;
    QString appTitle_;
    MciInterpreter& mci_;
};

} // namespace devices
