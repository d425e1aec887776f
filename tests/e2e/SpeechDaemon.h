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
    // At once, as a crash would; its espeak-ng module ends with the daemon's pipe.
    void kill() { daemon_.kill(); daemon_.waitForFinished(5000); }
    // What SPEECHD_ADDRESS names it by; its configuration never lets a client start another.
    QString address() const { return "unix_socket:" + dir_.filePath("speechd.sock"); }
    QString error; // empty while it runs

private:
    QTemporaryDir dir_;
    QProcess daemon_;
};

} // namespace e2e
