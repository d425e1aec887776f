// A sound server of the test's own: PulseAudio with a microphone fed from memory and a silent speaker.
#pragma once
#include <QProcess>
#include <QTemporaryDir>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace e2e {

// PulseAudio on a private socket: a null sink "out" as the speaker and a pipe source "mic" as the
// default input, which hears silence until it is told to say something, in real time as a
// microphone would.
class PulseServer {
public:
    PulseServer();
    ~PulseServer() { stop(); }
    bool ok() const { return error_.isEmpty(); }
    const QString& error() const { return error_; }
    QString address() const { return "unix:" + dir_.filePath("native"); }

    // 16 kHz mono samples the microphone hears next, after what it was already told.
    void say(const std::vector<short>& samples);
    // A room's steady hiss of this loudness (RMS) under everything the microphones hear from now on.
    void setNoise(int rms) { noise_ = rms; }
    // Blocks until the microphone has heard all it was told: the last of it is in the server.
    void waitUntilSaid();
    // pactl against this server; its stdout, or nullopt on failure.
    std::optional<QString> pactl(const QStringList& args) const;
    // Another pipe source `name`, fed the same way, made the default input.
    bool addMicrophone(const QString& name);
    bool removeMicrophone(const QString& name);
    void stop();

private:
    void feed();
    QTemporaryDir dir_;
    QProcess server_;
    QString error_;
    std::mutex lock_;
    std::condition_variable said_;
    std::deque<short> queued_;
    std::atomic<bool> running_{false};
    std::atomic<int> noise_{0};
    std::vector<QString> pipes_; // the sources' fifos, all fed the same
    std::thread feeder_;
};

} // namespace e2e
