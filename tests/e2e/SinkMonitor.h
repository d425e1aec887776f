// Listens to a test's sound server: when sound was playing on its speaker "out".
#pragma once
#include <QString>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

struct pa_simple;

namespace e2e {

class SinkMonitor {
public:
    using Time = std::chrono::steady_clock::time_point;
    explicit SinkMonitor(const QString& pulseAddress); // records "out.monitor" from now on
    ~SinkMonitor();
    // The start of each 10 ms with sound in [from, to].
    std::vector<Time> sound(Time from, Time to = Time::max()) const;
    QString error; // empty while it records

private:
    pa_simple* stream_ = nullptr;
    std::atomic<bool> running_{true};
    mutable std::mutex lock_;
    std::vector<Time> sounding_;
    std::thread thread_;
};

} // namespace e2e
