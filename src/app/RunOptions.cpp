// The command-line options the program takes.
#include "RunOptions.h"

#include <QCommandLineParser>
#include <QCoreApplication>

platform::Result<RunOptions> ParseRunOptions(const QCoreApplication& app)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("A desktop assistant: Genie tells the time, reads the clipboard, "
                                                    "sets an alarm, shows a calendar and runs programs."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption trace(QStringLiteral("trace"),
                                   QStringLiteral("Write what the character does and which windows open to <file>."),
                                   QStringLiteral("file"));
    const QCommandLineOption rate(QStringLiteral("clock-rate"),
                                  QStringLiteral("Run the clock <rate> times faster than real time (1 to 3600)."),
                                  QStringLiteral("rate"), QStringLiteral("1"));
    const QCommandLineOption start(QStringLiteral("clock-start"),
                                   QStringLiteral("Start the clock at <time> (yyyy-MM-ddTHH:mm:ss)."),
                                   QStringLiteral("time"));
    const QCommandLineOption microphone(
        QStringLiteral("microphone-file"),
        QStringLiteral("Hear <file> (raw 16 kHz 16-bit mono) instead of the microphone each time you talk."),
        QStringLiteral("file"));
    const QCommandLineOption voices(QStringLiteral("voices"),
                                    QStringLiteral("List the voices Genie can speak with (speech-dispatcher's module, "
                                                   "voice and language, for SpeechModule and SpeechVoice in the "
                                                   "settings) and exit."));
    parser.addOptions({trace, rate, start, microphone, voices});
    parser.process(app); // --help, --version and unknown options end the program here, as users expect

    RunOptions options;
    options.listVoices = parser.isSet(voices);
    options.tracePath = parser.value(trace);
    options.microphoneFile = parser.value(microphone);
    bool ok = false;
    options.clockRate = parser.value(rate).toDouble(&ok);
    if (!ok || !(options.clockRate >= 1.0 && options.clockRate <= 3600.0))
        return platform::Fail(QStringLiteral("--clock-rate needs a number from 1 to 3600, not \"%1\".")
                                  .arg(parser.value(rate)));
    if (parser.isSet(start)) {
        const QDateTime t = QDateTime::fromString(parser.value(start), Qt::ISODate);
        if (!t.isValid())
            return platform::Fail(QStringLiteral("--clock-start needs a time like 2026-12-07T11:59:30, not \"%1\".")
                                      .arg(parser.value(start)));
        options.clockStart = t;
    }
    return options;
}
