// Starting programs and opening documents, and the file-length request the run dialog tests with.
#include "Shell.h"

#include "Log.h"

#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace platform {

Result<> QtShell::StartProgram(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return Fail(QStringLiteral("There is no file %1.").arg(path));
    if (info.isDir())
        return Fail(QStringLiteral("%1 is a folder, not a program.").arg(path));
    if (!info.isExecutable())
        return Fail(QStringLiteral("%1 is not a program (it may not be started).").arg(path));
    QProcess process;
    process.setProgram(info.absoluteFilePath());
    process.setArguments({});
    process.setWorkingDirectory(info.absolutePath());
    process.setStandardInputFile(QProcess::nullDevice());
    if (!process.startDetached()) {
        // The system's reason ("execv: Exec format error") tells a user nothing.
        qCWarning(lcPlatform) << path << "could not be started:" << process.errorString();
        return Fail(QStringLiteral("%1 is not a program Varrow can start.").arg(path));
    }
    return {};
}

Result<> QtShell::OpenDocument(const QString& path)
{
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath())))
        return Fail(QStringLiteral("No application is set up to open %1.").arg(path));
    return {};
}

Result<qint64> FileLen(const QString& path)
{
    if (path.isEmpty() || path.contains(QChar(0)))
        return Fail(QStringLiteral("Bad file name"));
    struct stat st {};
    const QByteArray native = QFile::encodeName(path);
    if (::stat(native.constData(), &st) != 0)
        return Fail(QString::fromLocal8Bit(std::strerror(errno)));
    // A folder has no length of its own and is never a program to start.
    if (S_ISDIR(st.st_mode))
        return Fail(QStringLiteral("Is a folder"));
    return qint64(st.st_size);
}

} // namespace platform
