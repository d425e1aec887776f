// A speech-dispatcher of the test's own: espeak-ng with index marks, playing to a test's sound server.
#include "SpeechDaemon.h"
#include "Desktop.h"

#include <QDir>
#include <QFile>

namespace e2e {

void SpeechDaemon::start(const QString& pulseAddress)
{
    const QString socket = dir_.filePath("speechd.sock");
    auto write = [&](const QString& name, const QString& text) {
        return QDir(dir_.path()).mkpath("modules") && WriteText(dir_.filePath(name), text);
    };
    if (!write("modules/espeak-ng.conf", "EspeakIndexing 1\n")
        || !write("speechd.conf", QString("SocketPath \"%1\"\nTimeout 0\nLogLevel 2\nLogDir \"%2\"\nDefaultLanguage \"en\"\n"
                                          "AudioOutputMethod \"pulse\"\nAudioPulseDevice \"out\"\n"
                                          "AudioPulseMinLength 10\nAddModule \"espeak-ng\" \"sd_espeak-ng\" "
                                          "\"espeak-ng.conf\"\nDefaultModule espeak-ng\nDisableAutoSpawn\n")
                                      .arg(socket, dir_.path()))) {
        error = "cannot write the speech-dispatcher configuration";
        return;
    }
    QFile::remove(socket); // a killed daemon leaves its socket behind
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* dir : {"HOME", "XDG_RUNTIME_DIR", "XDG_CONFIG_HOME"})
        env.insert(dir, dir_.path());
    env.insert("PULSE_SERVER", pulseAddress);
    env.remove("DBUS_SESSION_BUS_ADDRESS");
    daemon_.setProcessEnvironment(env);
    daemon_.setProcessChannelMode(QProcess::MergedChannels);
    daemon_.start("speech-dispatcher", {"-s", "-t", "0", "-C", dir_.path(), "-c", "unix_socket", "-S", socket, "-L",
                                        dir_.path()});
    if (!daemon_.waitForStarted(5000)
        || !WaitUntil([&] { return daemon_.state() != QProcess::Running || QFile::exists(socket); }, 10000)
        || daemon_.state() != QProcess::Running)
        error = "speech-dispatcher did not start: " + QString::fromLocal8Bit(daemon_.readAll());
}

} // namespace e2e
