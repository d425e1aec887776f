// Fixed samples played as a microphone would give them, to feed the voice input in tests.
#pragma once
#include "voice/SphinxVoiceInput.h"

#include <algorithm>

namespace voicetest {

// Plays back fixed samples as if they had just been said, all at once.
class SampleSource : public voice::AudioSource {
public:
    explicit SampleSource(std::vector<short> samples = {}) : samples_(std::move(samples)) {}
    void setSamples(std::vector<short> samples)
    {
        samples_ = std::move(samples);
        pos_ = 0;
    }

    platform::Result<> start() override
    {
        pos_ = 0;
        return {};
    }
    platform::Result<size_t> read(short* buffer, size_t max) override
    {
        const size_t n = std::min(max, samples_.size() - pos_);
        std::copy_n(samples_.data() + pos_, n, buffer);
        pos_ += n;
        return n;
    }
    std::vector<short> stop() override
    {
        std::vector<short> rest(samples_.begin() + long(pos_), samples_.end());
        pos_ = samples_.size();
        return rest;
    }

private:
    std::vector<short> samples_;
    size_t pos_ = 0;
};

} // namespace voicetest
