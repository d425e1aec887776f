// A sound server of the test's own: PulseAudio with a microphone fed from memory and a silent speaker.
#pragma once
#include "Desktop.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <fcntl.h>
#include <mutex>
#include <thread>
#include <unistd.h>

namespace e2e {

// PulseAudio on a private socket: a null sink "out" as the speaker and a pipe source "mic" as the
// default input, which hears silence until it is told to say something, in real time as a
// microphone would.
class PulseServer {
public:
    PulseServer()
    {
        const QString conf = dir_.filePath("server.pa");
        WriteText(conf, QString("load-module module-native-protocol-unix auth-anonymous=1 socket=%1\n"
                                "load-module module-null-sink sink_name=out\nload-module %2\nset-default-source mic\n")
                            .arg(dir_.filePath("native"), source("mic", dir_.filePath("mic.fifo"))));
        server_.setProcessEnvironment(PrivateEnvironment(dir_.path()));
        server_.setProcessChannelMode(QProcess::MergedChannels);
        server_.setStandardOutputFile(dir_.filePath("server.log"));
        const QStringList args = {"-n", "-F", conf, "--exit-idle-time=-1", "--daemonize=no", "--disallow-exit",
                                  "--use-pid-file=no", "--disable-shm=yes"};
        if (!StartUntil(server_, "pulseaudio", args, [&] { return pactl({"info"}).has_value(); })) {
            error_ = "PulseAudio did not start: " + ReadText(dir_.filePath("server.log"));
            return;
        }
        pipes_.push_back(dir_.filePath("mic.fifo"));
        running_ = true;
        feeder_ = std::thread([this] { feed(); });
    }
    ~PulseServer() { stop(); }
    bool ok() const { return error_.isEmpty(); }
    const QString& error() const { return error_; }
    QString address() const { return "unix:" + dir_.filePath("native"); }

    // 16 kHz mono samples the microphone hears next, after what it was already told.
    void say(const std::vector<short>& samples)
    {
        std::lock_guard<std::mutex> hold(lock_);
        queued_.insert(queued_.end(), samples.begin(), samples.end());
    }
    // A room's steady hiss of this loudness (RMS) under everything the microphones hear from now on.
    void setNoise(int rms) { noise_ = rms; }
    // Blocks until the microphone has heard all it was told: the last of it is in the server.
    void waitUntilSaid()
    {
        std::unique_lock<std::mutex> hold(lock_);
        said_.wait(hold, [&] { return queued_.empty() || !running_; });
    }
    // pactl against this server; its stdout, or nullopt on failure.
    std::optional<QString> pactl(const QStringList& args) const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("PULSE_SERVER", address());
        const Ran ran = RunToEnd(env, "pactl", args, 5000);
        return ran.ok() ? std::optional<QString>(ran.out) : std::nullopt;
    }
    // Another pipe source `name`, fed the same way, made the default input.
    bool addMicrophone(const QString& name)
    {
        const QString fifo = dir_.filePath(name + ".fifo");
        if (!pactl(QStringList{"load-module"} + source(name, fifo).split(u' ')))
            return false;
        std::lock_guard<std::mutex> hold(lock_);
        pipes_.push_back(fifo);
        return pactl({"set-default-source", name}).has_value();
    }
    // Whether a program has a recording open on this server.
    bool recording() const { return !pactl({"list", "short", "source-outputs"}).value_or("").trimmed().isEmpty(); }
    bool removeMicrophone(const QString& name)
    {
        const QRegularExpressionMatch m = QRegularExpression("^(\\d+)\\tmodule-pipe-source\\tsource_name=" +
                                                             QRegularExpression::escape(name) + "\\s",
                                                             QRegularExpression::MultilineOption)
                                              .match(pactl({"list", "short", "modules"}).value_or(""));
        return m.hasMatch() && pactl({"unload-module", m.captured(1)}).has_value();
    }
    void stop()
    {
        running_ = false;
        said_.notify_all();
        if (feeder_.joinable())
            feeder_.join();
        Stop(server_);
    }

private:
    static QString source(const QString& name, const QString& fifo)
    {
        return QString("module-pipe-source source_name=%1 file=%2 format=s16le rate=16000 channels=1").arg(name, fifo);
    }
    // Every source's pipe gets a chunk each 20 ms, by the clock: the server's sources run dry without it,
    // and a burst would put the voice ahead of time.
    void feed()
    {
        std::vector<int> fds;
        auto next = std::chrono::steady_clock::now();
        std::vector<short> chunk(320);
        uint32_t seed = 1;
        while (running_) {
            {
                std::lock_guard<std::mutex> hold(lock_);
                std::fill(chunk.begin(), chunk.end(), 0);
                const size_t n = std::min(chunk.size(), queued_.size());
                std::copy_n(queued_.begin(), n, chunk.begin());
                queued_.erase(queued_.begin(), queued_.begin() + long(n));
                for (short& v : chunk) { // uniform, scaled to the RMS asked for
                    seed = seed * 1664525u + 1013904223u;
                    v = short(std::clamp(v + (int(seed >> 16) - 32768) * noise_ / 18919, -32768, 32767));
                }
                // The server made each fifo and holds it open for reading, so this does not block.
                while (fds.size() < pipes_.size())
                    fds.push_back(::open(pipes_[fds.size()].toLocal8Bit().constData(), O_WRONLY | O_NONBLOCK));
            }
            for (int fd : fds)
                if (fd >= 0)
                    [[maybe_unused]] const ssize_t w = ::write(fd, chunk.data(), chunk.size() * sizeof(short));
            said_.notify_all();
            std::this_thread::sleep_until(next += std::chrono::milliseconds(20));
        }
        for (int fd : fds)
            if (fd >= 0)
                ::close(fd);
    }

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
