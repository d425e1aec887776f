// Listens to a test's sound server: when sound was playing on its speaker "out".
#pragma once
#include <QString>

#include <pulse/error.h>
#include <pulse/simple.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>

namespace e2e {

class SinkMonitor {
public:
    using Time = std::chrono::steady_clock::time_point;
    explicit SinkMonitor(const QString& pulseAddress) // records "out.monitor" from now on
    {
        constexpr int Rate = 22050, BlockFrames = Rate / 100;
        const pa_sample_spec format{PA_SAMPLE_S16LE, Rate, 1};
        const pa_buffer_attr attr{uint32_t(-1), uint32_t(-1), uint32_t(-1), uint32_t(-1), BlockFrames * 2}; // 10 ms
        int err = 0;
        stream_ = pa_simple_new(pulseAddress.toUtf8().constData(), "test", PA_STREAM_RECORD, "out.monitor", "monitor",
                                &format, nullptr, &attr, &err);
        if (!stream_) {
            error = QString("cannot record out.monitor: ") + pa_strerror(err);
            return;
        }
        // A null sink's monitor gives exact zeros while nothing plays.
        thread_ = std::thread([this] {
            short block[BlockFrames];
            while (running_ && pa_simple_read(stream_, block, sizeof block, nullptr) == 0) {
                const Time end = std::chrono::steady_clock::now();
                if (std::any_of(block, block + BlockFrames, [](short s) { return std::abs(s) > 64; })) {
                    std::lock_guard<std::mutex> hold(lock_);
                    sounding_.push_back(end - std::chrono::milliseconds(10));
                }
            }
        });
    }
    ~SinkMonitor()
    {
        running_ = false;
        if (thread_.joinable())
            thread_.join();
        if (stream_)
            pa_simple_free(stream_);
    }
    // The start of each 10 ms with sound in [from, to].
    std::vector<Time> sound(Time from, Time to = Time::max()) const
    {
        std::lock_guard<std::mutex> hold(lock_);
        const auto first = std::lower_bound(sounding_.begin(), sounding_.end(), from);
        return {first, std::max(first, std::upper_bound(sounding_.begin(), sounding_.end(), to))};
    }
    QString error; // empty while it records

private:
    pa_simple* stream_ = nullptr;
    std::atomic<bool> running_{true};
    mutable std::mutex lock_;
    std::vector<Time> sounding_;
    std::thread thread_;
};

} // namespace e2e
