// The run dialog's file tests: does the file exist, and how can it be started.
#include "File.h"

#include "platform/Shell.h"

#include <QFile>
#include <QFileInfo>

namespace File {

bool FileExists(const QString& path)
{
    // Whatever went wrong asking for the length, the answer is "not found".
    return platform::FileLen(path).ok();
}

StartKind HowToStart(const QString& path)
{
    const QFileInfo info(path);
    if (info.isExecutable())
        return StartKind::Program;
    // A program that lost its execute bit is not a document to hand to an editor.
    QFile f(path);
    if (f.open(QIODevice::ReadOnly)) {
        const QByteArray head = f.read(4);
        if (head.startsWith("#!") || head == QByteArray("\x7f" "ELF", 4))
            return StartKind::ProgramNotAllowed;
    }
    return StartKind::Document;
}

} // namespace File
