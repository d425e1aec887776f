// The CD door operations the main form calls, as command strings sent to the device layer.
#include "MCIFunction.h"

#include "Log.h"

#include "platform/MessageBox.h"

namespace devices {

namespace {
constexpr int errorTextBuffer = 200;
}

MCIFunction::MCIFunction(platform::MessageBox& messageBox, QString appTitle, MciInterpreter& mci)
    : messageBox_(messageBox), appTitle_(std::move(appTitle)), mci_(mci)
{
}

bool MCIFunction::SendMCICommand(const QString& command, bool showError, quintptr hWnd)
{
    const int error = mci_.sendString(command, hWnd);
    qCDebug(lcDevices) << command << "->" << error;
    if (showError && error != 0)
        messageBox_.MsgBox(mci_.errorString(error, errorTextBuffer), appTitle_, platform::MessageBox::Icon::None);
    return error != 0;
}

long MCIFunction::OpenCDDevice(quintptr hWnd)
{
    const bool failed = SendMCICommand(QStringLiteral("open cdaudio alias cd wait shareable"), true, hWnd);
    SendMCICommand(QStringLiteral("set cd time format tmsf wait"), true, hWnd);
    return failed ? -1 : 0;
}

long MCIFunction::DoorOperation(quintptr hWnd, bool skipDoor, const QString& doorCommand)
{
    long failed = OpenCDDevice(hWnd);
    if (failed == -1)
        SendMCICommand(QStringLiteral("close all"), false, hWnd);
    if (!skipDoor && failed == 0)
        failed = SendMCICommand(doorCommand, true, hWnd) ? -1 : 0;
    SendMCICommand(QStringLiteral("close all"), false, hWnd);
    return failed;
}

long MCIFunction::OpenCDDoor(quintptr hWnd, bool skipDoor)
{
    return DoorOperation(hWnd, skipDoor, QStringLiteral("set cd door open"));
}

long MCIFunction::CloseCDDoor(quintptr hWnd, bool skipDoor)
{
    return DoorOperation(hWnd, skipDoor, QStringLiteral("set cd door closed"));
}

} // namespace devices
