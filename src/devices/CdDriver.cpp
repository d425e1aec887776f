// The CD drive's door, reached through the kernel's CD-ROM interface.
#include "CdDriver.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/cdrom.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace devices {

namespace {
CdDriver::Status fromErrno(int err, bool closing)
{
    using O = CdDriver::Outcome;
    switch (err) {
    case ENOENT:
    case ENXIO:
    case ENODEV:
    case ENOMEDIUM: return {O::NoDrive, {}};
    case EACCES:
    case EPERM:
    case EROFS: return {O::PermissionDenied, {}};
    case EBUSY: return {O::Busy, {}};
    case ENOSYS:
    case ENOTTY:
    case EINVAL: return {closing ? O::CannotClose : O::Failed, QString::fromLocal8Bit(std::strerror(err))};
    default: return {O::Failed, QString::fromLocal8Bit(std::strerror(err))};
    }
}
} // namespace

QString LinuxCdDriver::findDrive()
{
    if (QFileInfo::exists(QStringLiteral("/dev/cdrom")))
        return QStringLiteral("/dev/cdrom");
    const QStringList sr = QDir(QStringLiteral("/dev")).entryList({QStringLiteral("sr*")}, QDir::System, QDir::Name);
    return sr.isEmpty() ? QString() : QStringLiteral("/dev/") + sr.first();
}

CdDriver::Status LinuxCdDriver::open(int* handle)
{
    const QString path = findDrive();
    if (path.isEmpty())
        return {Outcome::NoDrive, {}};
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return fromErrno(errno, false);
    *handle = fd;
    return {};
}

CdDriver::Status LinuxCdDriver::eject(int handle)
{
    if (::ioctl(handle, CDROMEJECT, 0) != 0)
        return fromErrno(errno, false);
    return {};
}

CdDriver::Status LinuxCdDriver::closeTray(int handle)
{
    if (::ioctl(handle, CDROMCLOSETRAY, 0) != 0)
        return fromErrno(errno, true);
    return {};
}

void LinuxCdDriver::release(int handle)
{
    ::close(handle);
}

} // namespace devices
