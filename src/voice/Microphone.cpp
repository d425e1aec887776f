// The desktop's microphone, through its sound server (PulseAudio, or PipeWire's PulseAudio service).
#include "Microphone.h"

#include "PulseLibrary.h"

#include <QElapsedTimer>
#include <algorithm>
#include <cstring>

namespace voice {

namespace {
constexpr int Rate = 16000;
// Small fragments: the recogniser sees the voice as it comes, and little waits in the server when
// the key goes up.
constexpr uint32_t FragmentBytes = 480 * sizeof(short);
constexpr int OpenMs = 2000;
constexpr size_t MostBehind = Rate * 20; // a key held that long is let go of by the recogniser first
// Turns of the server's loop with nothing for us before what had come is taken to be all there is:
// the sound comes in fragments between the server's other messages.
constexpr int QuietTurns = 50;
} // namespace

Microphone::~Microphone()
{
    close();
}

const PulseLibrary& Microphone::pa() const
{
    return server_->pulse();
}

platform::Result<> Microphone::start()
{
    close();
    auto server = SoundServer::connect(pulse_);
    if (!server)
        return platform::Failure{server.why()};
    server_ = std::move(*server);
    const platform::Result<MicrophoneInfo> found = server_->microphone(source_);
    if (!found) {
        close();
        return platform::Failure{found.why()};
    }
    device_ = *found;
    const pa_sample_spec format{PA_SAMPLE_S16LE, Rate, 1};
    stream_ = pa().pa_stream_new(server_->context(), "Voice command", &format, nullptr);
    pa_buffer_attr attr{};
    attr.maxlength = uint32_t(-1);
    attr.fragsize = FragmentBytes;
    const QByteArray name = device_.name.toUtf8();
    // Not moved when the microphone goes: a recording of another source is not what the user said.
    const auto flags = pa_stream_flags_t(PA_STREAM_ADJUST_LATENCY | PA_STREAM_DONT_MOVE | PA_STREAM_INTERPOLATE_TIMING
                                         | PA_STREAM_AUTO_TIMING_UPDATE);
    if (!stream_ || pa().pa_stream_connect_record(stream_, name.constData(), &attr, flags) < 0
        || !server_->pumpUntil([&] { return pa().pa_stream_get_state(stream_) != PA_STREAM_CREATING; }, OpenMs)
        || pa().pa_stream_get_state(stream_) != PA_STREAM_READY) {
        const QString why = server_->lastError();
        close();
        return platform::Fail(QStringLiteral("The microphone %1 could not be opened (%2), so voice commands are off.")
                                  .arg(device_.description, why));
    }
    return {};
}

bool Microphone::streaming() const
{
    return server_ && server_->alive() && stream_ && pa().pa_stream_get_state(stream_) == PA_STREAM_READY;
}

platform::Failure Microphone::lost() const
{
    return platform::Fail(QStringLiteral("The microphone went away (%1), so voice commands are off.")
                              .arg(server_ ? server_->lastError() : QStringLiteral("not open")));
}

size_t Microphone::take(short* buffer, size_t max)
{
    size_t n = std::min(max, pending_.size());
    std::copy_n(pending_.begin(), n, buffer);
    pending_.erase(pending_.begin(), pending_.begin() + long(n));
    while (n < max && pa().pa_stream_readable_size(stream_) > 0) {
        const void* data = nullptr;
        size_t bytes = 0;
        if (pa().pa_stream_peek(stream_, &data, &bytes) < 0 || bytes == 0)
            break;
        const size_t samples = bytes / sizeof(short);
        std::vector<short> fragment(samples);
        if (data)
            std::memcpy(fragment.data(), data, samples * sizeof(short));
        // A hole in the recording reads as silence.
        pa().pa_stream_drop(stream_);
        const size_t used = std::min(max - n, samples);
        std::copy_n(fragment.begin(), used, buffer + n);
        pending_.insert(pending_.end(), fragment.begin() + long(used), fragment.end());
        n += used;
    }
    return n;
}

platform::Result<size_t> Microphone::read(short* buffer, size_t max)
{
    if (!server_ || !server_->pump(0) || !streaming()) {
        const platform::Failure why = lost();
        close();
        return why;
    }
    return take(buffer, max);
}

std::vector<short> Microphone::stop()
{
    std::vector<short> rest;
    if (!streaming()) {
        close();
        return rest;
    }
    // What the microphone heard before the key went up is still on its way to us: the end of the phrase.
    // A reader that a busy machine left behind has seconds of it here already; all of it is the user's.
    short chunk[4096];
    for (int idle = 0; idle < QuietTurns && rest.size() < MostBehind && server_->pump(0) && streaming();) {
        const size_t n = take(chunk, std::size(chunk));
        idle = n > 0 ? 0 : idle + 1;
        rest.insert(rest.end(), chunk, chunk + n);
    }
    // Then what the server still holds.
    pa_usec_t held = 0;
    int negative = 0;
    if (!streaming() || pa().pa_stream_get_latency(stream_, &held, &negative) < 0 || negative)
        held = 0;
    const size_t due = rest.size() + std::min<size_t>(size_t(held * Rate / 1000000), Rate / 2);
    QElapsedTimer clock;
    clock.start();
    while (rest.size() < due && clock.elapsed() < qint64(held / 1000) + 100 && server_->pump(10) && streaming()) {
        const size_t n = take(chunk, std::min(std::size(chunk), due - rest.size()));
        rest.insert(rest.end(), chunk, chunk + n);
    }
    close();
    return rest;
}

void Microphone::close()
{
    if (stream_) {
        pa().pa_stream_disconnect(stream_);
        pa().pa_stream_unref(stream_);
    }
    stream_ = nullptr;
    server_.reset();
    pending_.clear();
}

} // namespace voice
