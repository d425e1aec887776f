// The command-line options the program takes.
#pragma once
#include "platform/Result.h"

#include <QDateTime>
#include <QString>
#include <optional>

class QCoreApplication;

// Command-line options. Apart from --help, --version and --voices they exist for the end-to-end runs,
// the benchmarks and the soak run: a trace of what the user sees, and a clock that runs fast.
struct RunOptions {
    bool listVoices = false;          // list speech-dispatcher's voices and end
    QString tracePath;
    double clockRate = 1.0;           // > 1: the clock and its timer run this much faster
    std::optional<QDateTime> clockStart;
    QString microphoneFile;           // heard in place of the microphone
};

// The options, or what on the command line was not understood.
platform::Result<RunOptions> ParseRunOptions(const QCoreApplication& app);
