// When someone has said something and stopped, for listening that has no key to let go of.
#include "SpeechEnd.h"
#include "SpeechSpan.h"

#include <algorithm>

namespace voice {

namespace {
constexpr int frameMs = 10;
} // namespace

SpeechEndDetector::State SpeechEndDetector::frame(bool voice, float levelDb)
{
    if (state_ == State::Ended || state_ == State::GaveUp)
        return state_;
    ++frames_;
    if (state_ == State::Speaking && voice) {
        loudest_ = std::max(loudest_, levelDb);
        voice = levelDb >= loudest_ - limits_.dropDb;
    }
    if (voice) {
        run_ = gap_ > SpeechSpan::bridgeFrames ? 1 : run_ + gap_ + 1;
        gap_ = 0;
    } else if (++gap_ > SpeechSpan::bridgeFrames) {
        run_ = 0;
    }
    const int ms = frames_ * frameMs;
    const bool speech = run_ * frameMs >= limits_.onsetMs;
    if (speech && gap_ == 0)
        lastSpeech_ = frames_;
    if (state_ == State::Waiting) {
        if (speech) {
            state_ = State::Speaking;
            loudest_ = levelDb;
        } else if (ms >= limits_.waitMs)
            state_ = State::GaveUp;
    } else if (gap_ * frameMs >= limits_.trailingMs || ms >= limits_.longestMs ||
               (frames_ - lastSpeech_) * frameMs >= limits_.burstsMs) {
        state_ = State::Ended;
    }
    return state_;
}

} // namespace voice
