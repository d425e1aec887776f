// A speech-dispatcher of the test's own: espeak-ng with index marks, playing to a test's sound server.
#pragma once
#include <QProcess>
#include <QTemporaryDir>

namespace e2e {

class SpeechDaemon {
public:
    // `pulseAddress` is the sound server (unix:PATH) its sound goes to, sink "out".
    explicit SpeechDaemon(const QString& pulseAddress) { start(pulseAddress); }
    ~SpeechDaemon() { kill(); }
    void start(const QString& pulseAddress); // again, at the same address, after kill()
    bool ok() const { return error_.isEmpty(); }
    const QString& error() const { return error_; }
    // What SPEECHD_ADDRESS names it by; clients never start another daemon from its configuration.
    QString address() const { return "unix_socket:" + dir_.filePath("speechd.sock"); }
    void kill(); // at once, as a crash would

private:
    QTemporaryDir dir_;
    QProcess daemon_;
    QString error_;
};

} // namespace e2e
