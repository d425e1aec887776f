// A recording's own background, going on without a seam for as long as it is wanted.
#include "RoomTone.h"
#include "AudioFrontEnd.h"

#include <algorithm>

namespace voice {

RoomTone::RoomTone(const std::vector<short>& recording)
{
    const size_t frame = AudioFrontEnd::FrameSamples, window = 25;
    const size_t frames = recording.size() / frame;
    if (frames <= window) {
        tone_ = recording;
        return;
    }
    std::vector<double> energy(frames);
    for (size_t f = 0; f < frames; ++f)
        for (size_t i = f * frame; i < (f + 1) * frame; ++i)
            energy[f] += double(recording[i]) * recording[i];
    double sum = 0, best = 0;
    size_t bestStart = 0;
    for (size_t f = 0; f < frames; ++f) {
        sum += energy[f];
        if (f >= window)
            sum -= energy[f - window];
        if (f + 1 >= window && (f + 1 == window || sum < best)) {
            best = sum;
            bestStart = f + 1 - window;
        }
    }
    tone_.assign(recording.begin() + long(bestStart * frame), recording.begin() + long((bestStart + window) * frame));
}

void RoomTone::fill(short* out, size_t count)
{
    const size_t n = tone_.size();
    if (n == 0) {
        std::fill_n(out, count, short(0));
        return;
    }
    for (size_t i = 0; i < count; ++i, at_ = (at_ + 1) % (2 * n))
        out[i] = at_ < n ? tone_[at_] : tone_[2 * n - 1 - at_];
}

} // namespace voice
