// A speech-dispatcher of the test's own: espeak-ng with index marks, playing to a test's sound server.
#include "SpeechDaemon.h"
#include "Desktop.h"

#include <QDir>
#include <QFile>

namespace e2e {

void SpeechDaemon::start(const QString& pulseAddress)
{
    QDir(dir_.path()).mkpath("modules");
    QFile conf(dir_.filePath("speechd.conf")), module(dir_.filePath("modules/espeak-ng.conf"));
    if (!conf.open(QIODevice::WriteOnly) || !module.open(QIODevice::WriteOnly)) {
        error_ = "cannot write the speech-dispatcher configuration";
        return;
    }
    conf.write(QString("CommunicationMethod \"unix_socket\"\nSocketPath \"%1\"\nTimeout 0\nLogLevel 2\nLogDir \"%2\"\n"
                       "DefaultLanguage \"en\"\nAudioOutputMethod \"pulse\"\nAudioPulseServer \"%3\"\n"
                       "AudioPulseDevice \"out\"\nAudioPulseMinLength 10\n"
                       "AddModule \"espeak-ng\" \"sd_espeak-ng\" \"espeak-ng.conf\"\nDefaultModule espeak-ng\n"
                       "DisableAutoSpawn\n")
                   .arg(dir_.filePath("speechd.sock"), dir_.path(), pulseAddress)
                   .toUtf8());
    module.write("EspeakIndexing 1\n");
    conf.close();
    module.close();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", dir_.path());
    env.insert("XDG_RUNTIME_DIR", dir_.path());
    env.insert("XDG_CONFIG_HOME", dir_.path());
    env.insert("PULSE_SERVER", pulseAddress);
    env.remove("DBUS_SESSION_BUS_ADDRESS");
    daemon_.setProcessEnvironment(env);
    daemon_.setStandardOutputFile(dir_.filePath("daemon.log"));
    daemon_.setStandardErrorFile(dir_.filePath("daemon.log"));
    daemon_.start("speech-dispatcher", {"-s", "-t", "0", "-C", dir_.path(), "-c", "unix_socket", "-S",
                                        dir_.filePath("speechd.sock"), "-L", dir_.path()});
    if (!daemon_.waitForStarted(5000) || !WaitUntil([&] { return daemon_.state() != QProcess::Running || QFile::exists(dir_.filePath("speechd.sock")); },
                   10000) || daemon_.state() != QProcess::Running) {
        QFile log(dir_.filePath("daemon.log"));
        log.open(QIODevice::ReadOnly);
        error_ = "speech-dispatcher did not start: " + QString::fromLocal8Bit(log.readAll());
    }
}

void SpeechDaemon::kill()
{
    daemon_.kill(); // its espeak-ng module ends with the daemon's pipe
    daemon_.waitForFinished(5000);
}

} // namespace e2e
