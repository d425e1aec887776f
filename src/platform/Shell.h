#pragma once
#include <QString>

namespace platform {

// Starting programs. The path names one file, started as it is: it never passes through a shell,
// so blanks, quotes and ';' are just characters of the name.
class Shell {
public:
    struct Result {
        bool started = false;
        QString error; // readable reason when not started
    };
    virtual ~Shell() = default;
    virtual Result StartProgram(const QString& path) = 0;
    // A document: opened with the desktop's application for its type.
    virtual Result OpenDocument(const QString& path) = 0;
};

class QtShell final : public Shell {
public:
    Result StartProgram(const QString& path) override;
    Result OpenDocument(const QString& path) override;
};

// The length in bytes of the file at `path`; throws FileError when there is no such file or it
// cannot be examined.
struct FileError {
    QString message;
};
qint64 FileLen(const QString& path);

} // namespace platform
