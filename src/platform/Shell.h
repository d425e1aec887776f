// Starting programs and opening documents, and the file-length request the run dialog tests with.
#pragma once
#include "Result.h"

#include <QString>

namespace platform {

// Starting programs. The path names one file, started as it is: it never passes through a shell,
// so blanks, quotes and ';' are just characters of the name.
class Shell {
public:
    virtual ~Shell() = default;
    virtual Result<> StartProgram(const QString& path) = 0;
    // A document: opened with the desktop's application for its type.
    virtual Result<> OpenDocument(const QString& path) = 0;
};

class QtShell final : public Shell {
public:
    Result<> StartProgram(const QString& path) override;
    Result<> OpenDocument(const QString& path) override;
};

// The length in bytes of the file at `path`; fails when there is no such file, it is a folder, or it
// cannot be examined.
Result<qint64> FileLen(const QString& path);

} // namespace platform
