// The run dialog's file tests: does the file exist, and how can it be started.
#pragma once
#include <QString>

// The run dialog's file tests.
namespace File {

// True exactly when the file system can tell the length of the file `path` names. A folder, an
// empty text and a path with anything after it are not found; no error ever leaves this function.
bool FileExists(const QString& path);

// How a found file can be started.
enum class StartKind {
    Program,          // allowed to run: start it
    ProgramNotAllowed, // a binary or a script without execute permission
    Document,         // anything else: the desktop opens it with the application for its type
};
StartKind HowToStart(const QString& path);

} // namespace File
