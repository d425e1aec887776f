// The command-string device layer: the strings the program sends, carried out on the CD drive.
#pragma once
#include "CdDriver.h"

#include <QMap>
#include <QString>
#include <memory>

namespace devices {

// Our command-string device layer: takes the same command strings the program sends and answers
// with an error code (0 is success) whose text errorString gives. It knows the CD audio device only:
//   open cdaudio alias <name> [wait] [shareable]
//   set <name> time format tmsf [wait]
//   set <name> door open|closed [wait]
//   close <name>|all [wait]
// Anything else is refused with an error, never guessed at.
class MciInterpreter {
public:
    enum Error : int {
        Ok = 0,
        UnknownCommand = 261,
        MissingWords,
        BadValue,
        AliasNotOpen,
        AliasInUse,
        UnknownDevice,
        NoDrive,
        PermissionDenied,
        DriveBusy,
        CannotCloseTray,
        DriveError,
    };

    explicit MciInterpreter(std::unique_ptr<CdDriver> driver = std::make_unique<LinuxCdDriver>());
    ~MciInterpreter();

    int sendString(const QString& command, quintptr callbackWindow = 0);
    // The text for `code`, cut to fit a buffer of `bufferChars` characters with its terminator.
    QString errorString(int code, int bufferChars) const;

    QStringList openAliases() const { return aliases_.keys(); }
    CdDriver& driver() { return *driver_; }

private:
    int fromStatus(const CdDriver::Status& s);
    int open(const QStringList& w);
    int set(const QStringList& w);
    int close(const QStringList& w);

    std::unique_ptr<CdDriver> driver_;
    QMap<QString, int> aliases_;
    QString lastSystemMessage_;
};

} // namespace devices
