// One running instance per user.
#include "InstanceLock.h"

#include <QDir>
#include <QLockFile>
#include <QStandardPaths>

#include <unistd.h>

namespace platform {

InstanceLock::InstanceLock(const QString& appName, QString directory)
{
    if (directory.isEmpty()) {
        directory = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
        if (directory.isEmpty())
            directory = QDir::tempPath();
    }
    QDir().mkpath(directory);
    path_ = directory + u'/' + appName + QStringLiteral("-") + QString::number(::getuid()) + QStringLiteral(".lock");
}

InstanceLock::~InstanceLock() = default;

bool InstanceLock::PrevInstance()
{
    if (checked_)
        return previous_;
    checked_ = true;
    lock_ = std::make_unique<QLockFile>(path_);
    // Never stale by age: a live instance may run for weeks. A dead owner's lock is still taken over,
    // because QLockFile checks whether the recorded process is alive.
    lock_->setStaleLockTime(0);
    previous_ = !lock_->tryLock(0);
    if (previous_ && lock_->error() != QLockFile::LockFailedError)
        previous_ = false; // the lock itself cannot be made: let this instance run rather than refuse forever
    return previous_;
}

} // namespace platform
