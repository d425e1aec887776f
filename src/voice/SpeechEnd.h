// When someone has said something and stopped, for listening that has no key to let go of.
#pragma once

namespace voice {

// Tells when someone has said something and stopped, from the front end's voice decision for each
// 10 ms frame, for listening that has no key to let go of.
class SpeechEndDetector {
public:
    enum class State { Waiting, Speaking, Ended, GaveUp };

    struct Limits {
        int onsetMs = 120;     // this much voice, short gaps bridged, is speech and not a click
        int trailingMs = 700;  // this long without voice after speech ends the utterance
        // Bursts of voice too short to be speech hold the end off this long after speech at most: a
        // short last syllable is heard, noise now and then taken for voice does not listen on to the cap.
        int burstsMs = 1000;
        int waitMs = 5000;     // nobody spoke: stop listening
        int longestMs = 10000; // nobody stops: stop listening
        // Once someone speaks, voice this far below their loudest is the room: steady noise the voice
        // decision keeps taking for voice must not keep listening going.
        float dropDb = 15;
    };

    SpeechEndDetector() : SpeechEndDetector(Limits{}) {}
    explicit SpeechEndDetector(const Limits& limits) : limits_(limits) {}

    // `levelDb`: the frame's level as the recogniser hears it (AudioFrontEnd::Heard).
    State frame(bool voice, float levelDb);
    State state() const { return state_; }

private:
    Limits limits_;
    State state_ = State::Waiting;
    int frames_ = 0, run_ = 0, gap_ = 0;
    int lastSpeech_ = 0; // the last frame of voice long enough to be speech
    float loudest_ = -1000;
};

} // namespace voice
