// Listens to a test's sound server: when sound was playing on its speaker "out".
#pragma once
#include <QString>

#include <atomic>
#include <chrono>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

struct pa_simple;

namespace e2e {

class SinkMonitor {
public:
    using Clock = std::chrono::steady_clock;
    explicit SinkMonitor(const QString& pulseAddress); // records "out.monitor" from now on
    ~SinkMonitor();
    bool ok() const { return error_.isEmpty(); }
    const QString& error() const { return error_; }
    // The first or last moment with sound in [from, to], if any. Accurate to about 10 ms.
    std::optional<Clock::time_point> firstSound(Clock::time_point from, Clock::time_point to = Clock::time_point::max()) const;
    std::optional<Clock::time_point> lastSound(Clock::time_point from, Clock::time_point to = Clock::time_point::max()) const;

private:
    void record();
    pa_simple* stream_ = nullptr;
    QString error_;
    std::atomic<bool> running_{false};
    mutable std::mutex lock_;
    std::vector<Clock::time_point> sounding_; // the start of each 10 ms block with sound
    std::thread thread_;
};

} // namespace e2e
