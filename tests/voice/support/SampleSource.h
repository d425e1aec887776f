// Fixed samples played as a microphone would give them, to feed the voice input in tests.
#pragma once
#include "voice/RoomTone.h"
#include "voice/SphinxVoiceInput.h"

#include <QElapsedTimer>
#include <algorithm>
#include <optional>

namespace voicetest {

// Plays back fixed samples as if they had just been said: all at once, or `paced` as a microphone
// gives them, and then the samples' own room.
class SampleSource : public voice::AudioSource {
public:
    explicit SampleSource(std::vector<short> samples = {}, bool paced = false)
        : samples_(std::move(samples)), paced_(paced) {}
    void setSamples(std::vector<short> samples) { samples_ = std::move(samples); pos_ = 0; }

    platform::Result<> start() override
    {
        pos_ = 0;
        after_.emplace(samples_);
        started_.start();
        return {};
    }
    platform::Result<size_t> read(short* buffer, size_t max) override
    {
        const size_t n = std::min(max, due());
        const size_t fromSamples = std::min(n, samples_.size() - std::min(samples_.size(), pos_));
        std::copy_n(samples_.data() + pos_, fromSamples, buffer);
        if (n > fromSamples) // only paced: the samples' own room after them
            after_->fill(buffer + fromSamples, n - fromSamples);
        pos_ += n;
        return n;
    }
    std::vector<short> stop() override
    {
        std::vector<short> rest(due());
        read(rest.data(), rest.size());
        return rest;
    }

private:
    // Samples said by now and not yet read.
    size_t due() const
    {
        const size_t said = paced_ ? size_t(started_.elapsed()) * 16 : samples_.size();
        return said - std::min(said, pos_);
    }
    std::vector<short> samples_;
    bool paced_;
    size_t pos_ = 0;
    QElapsedTimer started_;
    std::optional<voice::RoomTone> after_;
};

} // namespace voicetest
