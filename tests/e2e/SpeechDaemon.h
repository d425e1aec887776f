// A speech-dispatcher of the test's own: espeak-ng with index marks, playing to a test's sound server.
#pragma once
#include "Desktop.h"

#include <QDir>
#include <QFile>

namespace e2e {

class SpeechDaemon {
public:
    // `pulseAddress` is the sound server (unix:PATH) its sound goes to, sink "out".
    explicit SpeechDaemon(const QString& pulseAddress) { start(pulseAddress); }
    ~SpeechDaemon() { kill(); }
    void start(const QString& pulseAddress) // again, at the same address, after kill()
    {
        const QString socket = dir_.filePath("speechd.sock");
        const QString conf = QString("SocketPath \"%1\"\nTimeout 0\nLogLevel 2\nLogDir \"%2\"\nDefaultLanguage \"en\"\n"
                                     "AudioOutputMethod \"pulse\"\nAudioPulseDevice \"out\"\nAudioPulseMinLength 10\n"
                                     "AddModule \"espeak-ng\" \"sd_espeak-ng\" \"espeak-ng.conf\"\n"
                                     "DefaultModule espeak-ng\nDisableAutoSpawn\n")
                                 .arg(socket, dir_.path());
        if (!QDir(dir_.path()).mkpath("modules") || !WriteText(dir_.filePath("speechd.conf"), conf) ||
            !WriteText(dir_.filePath("modules/espeak-ng.conf"), "EspeakIndexing 1\n")) {
            error = "cannot write the speech-dispatcher configuration";
            return;
        }
        QFile::remove(socket); // a killed daemon leaves its socket behind
        QProcessEnvironment env = PrivateEnvironment(dir_.path());
        env.insert("PULSE_SERVER", pulseAddress);
        daemon_.setProcessEnvironment(env);
        daemon_.setProcessChannelMode(QProcess::MergedChannels);
        const QStringList args = {"-s", "-t", "0", "-C", dir_.path(), "-c", "unix_socket", "-S", socket, "-L", dir_.path()};
        if (!StartUntil(daemon_, "speech-dispatcher", args, [&] { return QFile::exists(socket); }))
            error = "speech-dispatcher did not start: " + QString::fromLocal8Bit(daemon_.readAll());
    }
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
