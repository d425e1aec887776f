// The command-string device layer: the strings the program sends, carried out on the CD drive.
#include "MciInterpreter.h"

#include <QRegularExpression>
#include <QStringList>

namespace devices {

namespace {
constexpr int maxCommandLength = 512;

bool plainText(const QString& s)
{
    for (QChar c : s)
        if (c.unicode() < 0x20 && c != u'\t')
            return false;
    return true;
}

// Removes the optional flags that may close a command, each at most once.
bool takeFlags(QStringList& w, const QStringList& allowed, int keep)
{
    QStringList seen;
    while (w.size() > keep && allowed.contains(w.last())) {
        if (seen.contains(w.last()))
            return false;
        seen << w.takeLast();
    }
    return true;
}
} // namespace

MciInterpreter::MciInterpreter(std::unique_ptr<CdDriver> driver) : driver_(std::move(driver)) {}

MciInterpreter::~MciInterpreter()
{
    for (int handle : std::as_const(aliases_))
        driver_->release(handle);
}

int MciInterpreter::sendString(const QString& command, quintptr)
{
    if (command.size() > maxCommandLength || !plainText(command))
        return UnknownCommand;
    QStringList w = command.toLower().split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
    if (w.isEmpty())
        return UnknownCommand;
    const QString verb = w.takeFirst();
    if (verb == u"open")
        return open(w);
    if (verb == u"set")
        return set(w);
    if (verb == u"close")
        return close(w);
    return UnknownCommand;
}

int MciInterpreter::fromStatus(const CdDriver::Status& s)
{
    switch (s.outcome) {
    case CdDriver::Outcome::Ok: return Ok;
    case CdDriver::Outcome::NoDrive: return NoDrive;
    case CdDriver::Outcome::PermissionDenied: return PermissionDenied;
    case CdDriver::Outcome::Busy: return DriveBusy;
    case CdDriver::Outcome::CannotClose: return CannotCloseTray;
    case CdDriver::Outcome::Failed: lastSystemMessage_ = s.systemMessage; return DriveError;
    }
    return DriveError;
}

int MciInterpreter::open(const QStringList& words)
{
    QStringList w = words;
    if (!takeFlags(w, {QStringLiteral("wait"), QStringLiteral("shareable")}, 3))
        return BadValue;
    if (w.size() < 3)
        return MissingWords;
    if (w.size() > 3 || w[1] != u"alias")
        return UnknownCommand;
    if (w[0] != u"cdaudio")
        return UnknownDevice;
    const QString& alias = w[2];
    if (alias == u"all")
        return BadValue;
    if (aliases_.contains(alias))
        return AliasInUse;
    int handle = -1;
    const int error = fromStatus(driver_->open(&handle));
    if (error != Ok)
        return error;
    aliases_.insert(alias, handle);
    return Ok;
}

int MciInterpreter::set(const QStringList& words)
{
    QStringList w = words;
    if (!takeFlags(w, {QStringLiteral("wait")}, 1))
        return BadValue;
    if (w.size() < 2)
        return MissingWords;
    const auto it = aliases_.constFind(w[0]);
    const bool timeFormat = w.size() == 4 && w[1] == u"time" && w[2] == u"format";
    const bool door = w.size() == 3 && w[1] == u"door";
    if (!timeFormat && !door)
        return w.size() < 3 ? MissingWords : UnknownCommand;
    if (it == aliases_.constEnd())
        return AliasNotOpen;
    if (timeFormat)
        return w[3] == u"tmsf" || w[3] == u"milliseconds" || w[3] == u"msf" ? Ok : BadValue;
    if (w[2] == u"open")
        return fromStatus(driver_->eject(*it));
    if (w[2] == u"closed")
        return fromStatus(driver_->closeTray(*it));
    return BadValue;
}

int MciInterpreter::close(const QStringList& words)
{
    QStringList w = words;
    if (!takeFlags(w, {QStringLiteral("wait")}, 1))
        return BadValue;
    if (w.size() != 1)
        return w.isEmpty() ? MissingWords : UnknownCommand;
    if (w[0] == u"all") {
        for (int handle : std::as_const(aliases_))
            driver_->release(handle);
        aliases_.clear();
        return Ok;
    }
    const auto it = aliases_.find(w[0]);
    if (it == aliases_.end())
        return AliasNotOpen;
    driver_->release(*it);
    aliases_.erase(it);
    return Ok;
}

QString MciInterpreter::errorString(int code, int bufferChars) const
{
    QString text;
    switch (code) {
    case Ok: text = QStringLiteral("The command was carried out."); break;
    case UnknownCommand: text = QStringLiteral("The device command is not one this program knows."); break;
    case MissingWords: text = QStringLiteral("The device command is incomplete."); break;
    case BadValue: text = QStringLiteral("The device command has a value that does not fit it."); break;
    // Said after a failed open: it must not read as if the tray had to be opened first.
    case AliasNotOpen:
        text = QStringLiteral("The command was not carried out because the CD drive it names was not opened.");
        break;
    case AliasInUse: text = QStringLiteral("The CD drive is already open under that name."); break;
    case UnknownDevice: text = QStringLiteral("This program can only control the CD drive."); break;
    case NoDrive: text = QStringLiteral("No CD drive was found on this computer."); break;
    case PermissionDenied:
        text = QStringLiteral("You are not allowed to use the CD drive. Ask your administrator to add you to the "
                              "\"cdrom\" group, then log in again.");
        break;
    case DriveBusy:
        text = QStringLiteral("The CD drive is busy or its door is locked. If a disc is mounted, eject it in the file "
                              "manager first, or close the program that is using the drive.");
        break;
    case CannotCloseTray: text = QStringLiteral("This CD drive cannot close its tray by itself. Please push it closed."); break;
    case DriveError:
        text = QStringLiteral("The CD drive reported an error");
        text += lastSystemMessage_.isEmpty() ? QStringLiteral(".") : QStringLiteral(": ") + lastSystemMessage_ + u'.';
        break;
    default: text = QStringLiteral("Unknown device error %1.").arg(code); break;
    }
    // Like a C buffer of bufferChars characters, one of them the terminator.
    return bufferChars <= 0 ? QString() : text.left(bufferChars - 1);
}

} // namespace devices
