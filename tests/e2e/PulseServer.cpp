// A sound server of the test's own: PulseAudio with a microphone fed from memory and a silent speaker.
#include "PulseServer.h"
#include "Desktop.h"

#include <QRegularExpression>

#include <algorithm>
#include <chrono>
#include <fcntl.h>
#include <unistd.h>

namespace e2e {

namespace {
QString source(const QString& name, const QString& fifo)
{
    return QString("module-pipe-source source_name=%1 file=%2 format=s16le rate=16000 channels=1").arg(name, fifo);
}
} // namespace

PulseServer::PulseServer()
{
    const QString conf = dir_.filePath("server.pa");
    WriteText(conf, QString("load-module module-native-protocol-unix auth-anonymous=1 socket=%1\n"
                            "load-module module-null-sink sink_name=out\nload-module %2\nset-default-source mic\n")
                        .arg(dir_.filePath("native"), source("mic", dir_.filePath("mic.fifo"))));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* dir : {"HOME", "XDG_RUNTIME_DIR", "XDG_CONFIG_HOME"})
        env.insert(dir, dir_.path());
    env.remove("DBUS_SESSION_BUS_ADDRESS");
    server_.setProcessEnvironment(env);
    server_.setProcessChannelMode(QProcess::MergedChannels);
    server_.setStandardOutputFile(dir_.filePath("server.log"));
    server_.start("pulseaudio", {"-n", "-F", conf, "--exit-idle-time=-1", "--daemonize=no",
                                 "--disallow-exit", "--use-pid-file=no", "--disable-shm=yes"});
    if (!server_.waitForStarted(5000) ||
        !WaitUntil([&] { return server_.state() == QProcess::NotRunning || pactl({"info"}).has_value(); }, 10000) ||
        server_.state() != QProcess::Running) {
        error_ = "PulseAudio did not start: " + ReadText(dir_.filePath("server.log"));
        return;
    }
    pipes_.push_back(dir_.filePath("mic.fifo"));
    running_ = true;
    feeder_ = std::thread([this] { feed(); });
}

void PulseServer::stop()
{
    running_ = false;
    said_.notify_all();
    if (feeder_.joinable())
        feeder_.join();
    Stop(server_);
}

std::optional<QString> PulseServer::pactl(const QStringList& args) const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("PULSE_SERVER", address());
    const Ran ran = RunToEnd(env, "pactl", args, 5000);
    return ran.ok() ? std::optional<QString>(ran.out) : std::nullopt;
}

void PulseServer::say(const std::vector<short>& samples)
{
    std::lock_guard<std::mutex> hold(lock_);
    queued_.insert(queued_.end(), samples.begin(), samples.end());
}

void PulseServer::waitUntilSaid()
{
    std::unique_lock<std::mutex> hold(lock_);
    said_.wait(hold, [&] { return queued_.empty() || !running_; });
}

bool PulseServer::addMicrophone(const QString& name)
{
    const QString fifo = dir_.filePath(name + ".fifo");
    if (!pactl(QStringList{"load-module"} + source(name, fifo).split(u' ')))
        return false;
    std::lock_guard<std::mutex> hold(lock_);
    pipes_.push_back(fifo);
    return pactl({"set-default-source", name}).has_value();
}

bool PulseServer::removeMicrophone(const QString& name)
{
    const QRegularExpressionMatch m = QRegularExpression("^(\\d+)\\tmodule-pipe-source\\tsource_name=" +
                                                         QRegularExpression::escape(name) + "\\s",
                                                         QRegularExpression::MultilineOption)
                                          .match(pactl({"list", "short", "modules"}).value_or(""));
    return m.hasMatch() && pactl({"unload-module", m.captured(1)}).has_value();
}

// Every source's pipe gets a chunk each 20 ms, by the clock: the server's sources run dry without it,
// and a burst would put the voice ahead of time.
void PulseServer::feed()
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

} // namespace e2e
