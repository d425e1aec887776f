// Listens to a test's sound server: when sound was playing on its speaker "out".
#include "SinkMonitor.h"

#include <pulse/error.h>
#include <pulse/simple.h>

#include <algorithm>
#include <cstdlib>

namespace e2e {

namespace {
constexpr int Rate = 22050, BlockFrames = Rate / 100;
}

SinkMonitor::SinkMonitor(const QString& pulseAddress)
{
    const pa_sample_spec spec{PA_SAMPLE_S16LE, Rate, 1};
    pa_buffer_attr attr{};
    attr.maxlength = uint32_t(-1);
    attr.fragsize = BlockFrames * 2;
    int err = 0;
    stream_ = pa_simple_new(pulseAddress.toUtf8().constData(), "test", PA_STREAM_RECORD, "out.monitor", "monitor", &spec,
                            nullptr, &attr, &err);
    if (!stream_) {
        error_ = QString("cannot record out.monitor: ") + pa_strerror(err);
        return;
    }
    running_ = true;
    thread_ = std::thread([this] { record(); });
}

SinkMonitor::~SinkMonitor()
{
    running_ = false;
    if (thread_.joinable())
        thread_.join();
    if (stream_)
        pa_simple_free(stream_);
}

// A null sink's monitor is exact zeros while nothing plays.
void SinkMonitor::record()
{
    short block[BlockFrames];
    int err = 0;
    while (running_ && pa_simple_read(stream_, block, sizeof block, &err) == 0) {
        const auto end = Clock::now();
        if (std::any_of(block, block + BlockFrames, [](short s) { return std::abs(s) > 64; })) {
            std::lock_guard<std::mutex> hold(lock_);
            sounding_.push_back(end - std::chrono::milliseconds(10));
        }
    }
}

std::optional<SinkMonitor::Clock::time_point> SinkMonitor::firstSound(Clock::time_point from, Clock::time_point to) const
{
    std::lock_guard<std::mutex> hold(lock_);
    const auto it = std::lower_bound(sounding_.begin(), sounding_.end(), from);
    return it != sounding_.end() && *it <= to ? std::optional(*it) : std::nullopt;
}

std::optional<SinkMonitor::Clock::time_point> SinkMonitor::lastSound(Clock::time_point from, Clock::time_point to) const
{
    std::lock_guard<std::mutex> hold(lock_);
    const auto it = std::upper_bound(sounding_.begin(), sounding_.end(), to);
    return it != sounding_.begin() && *std::prev(it) >= from ? std::optional(*std::prev(it)) : std::nullopt;
}

} // namespace e2e
