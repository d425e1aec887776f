#include "SpeechEnd.h"
#include "Loudness.h"

#include <algorithm>

namespace voice {

namespace {
constexpr int frameMs = 10;
} // namespace

SpeechEndDetector::State SpeechEndDetector::feed(const short* samples, size_t count)
{
    for (size_t i = 0; i < count && (state_ == State::Waiting || state_ == State::Speaking); ++i) {
        sum_ += double(samples[i]) * samples[i];
        if (size_t(++inFrame_) == FrameSamples) {
            frame(FrameLevelDb(sum_));
            sum_ = 0;
            inFrame_ = 0;
        }
    }
    return state_;
}

void SpeechEndDetector::frame(double db)
{
    ++frames_;
    // The floor follows the quietest sound, rising slowly so a room that gets noisier is learnt.
    floor_ = std::min(floor_ + 0.01, db);
    const bool loud = db > floor_ + limits_.onsetDb;
    const bool quiet = db < floor_ + limits_.quietDb;
    loudRun_ = loud ? loudRun_ + 1 : 0;
    quietRun_ = quiet ? quietRun_ + 1 : 0;
    const int ms = frames_ * frameMs;
    if (state_ == State::Waiting) {
        if (loudRun_ * frameMs >= limits_.onsetMs)
            state_ = State::Speaking;
        else if (ms >= limits_.waitMs)
            state_ = State::GaveUp;
    } else if (quietRun_ * frameMs >= limits_.trailingMs) {
        state_ = State::Ended;
    }
    if (state_ == State::Speaking && ms >= limits_.longestMs)
        state_ = State::Ended;
}

} // namespace voice
