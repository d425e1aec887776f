// Fixed samples played as a microphone would give them, to feed the voice input in tests.
#include "SampleSource.h"

#include <algorithm>

namespace voicetest {

bool SampleSource::start()
{
    pos_ = 0;
    after_.emplace(samples_);
    started_.start();
    return true;
}

long SampleSource::read(short* buffer, size_t max)
{
    if (!paced_) {
        const size_t n = std::min(max, samples_.size() - std::min(samples_.size(), pos_));
        std::copy_n(samples_.data() + pos_, n, buffer);
        pos_ += n;
        return long(n);
    }
    const size_t due = size_t(started_.elapsed()) * 16;
    const size_t n = std::min(max, due - std::min(due, pos_));
    const size_t fromSamples = std::min(n, samples_.size() - std::min(samples_.size(), pos_));
    std::copy_n(samples_.data() + pos_, fromSamples, buffer);
    after_->fill(buffer + fromSamples, n - fromSamples);
    pos_ += n;
    return long(n);
}

} // namespace voicetest
