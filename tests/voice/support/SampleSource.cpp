// Fixed samples played as a microphone would give them, to feed the voice input in tests.
#include "SampleSource.h"

#include <algorithm>

namespace voicetest {

platform::Result<> SampleSource::start()
{
    pos_ = 0;
    after_.emplace(samples_);
    started_.start();
    return {};
}

// Samples said by now and not yet read.
size_t SampleSource::due() const
{
    if (!paced_)
        return samples_.size() - std::min(samples_.size(), pos_);
    const size_t said = size_t(started_.elapsed()) * 16;
    return said - std::min(said, pos_);
}

std::vector<short> SampleSource::stop()
{
    std::vector<short> rest(due());
    if (!rest.empty())
        read(rest.data(), rest.size());
    return rest;
}

platform::Result<size_t> SampleSource::read(short* buffer, size_t max)
{
    const size_t n = std::min(max, due());
    const size_t fromSamples = std::min(n, samples_.size() - std::min(samples_.size(), pos_));
    std::copy_n(samples_.data() + pos_, fromSamples, buffer);
    if (n > fromSamples) // only paced: the samples' own room after them
        after_->fill(buffer + fromSamples, n - fromSamples);
    pos_ += n;
    return n;
}

} // namespace voicetest
