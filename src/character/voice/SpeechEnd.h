#pragma once
#include <cstddef>

namespace voice {

// Tells when someone has said something and stopped, from the sound's energy alone, for listening
// that has no key to let go of. Works in 10 ms frames at 16 kHz.
class SpeechEndDetector {
public:
    enum class State { Waiting, Speaking, Ended, GaveUp };

    struct Limits {
        int onsetMs = 120;      // this long above the floor is speech, not a click
        int trailingMs = 700;   // this long quiet after speech ends the utterance
        int waitMs = 5000;      // nobody spoke: stop listening
        int longestMs = 10000;  // nobody stops: stop listening
        double onsetDb = 12;    // above the noise floor
        double quietDb = 7;
    };

    SpeechEndDetector() : SpeechEndDetector(Limits{}) {}
    explicit SpeechEndDetector(const Limits& limits) : limits_(limits) {}

    State feed(const short* samples, size_t count);
    State state() const { return state_; }

private:
    void frame(double db);

    Limits limits_;
    State state_ = State::Waiting;
    double sum_ = 0;
    int inFrame_ = 0;
    double floor_ = 1e9;
    int frames_ = 0, loudRun_ = 0, quietRun_ = 0;
};

} // namespace voice
