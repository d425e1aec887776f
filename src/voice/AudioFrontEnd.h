// Microphone sound cleaned in 10 ms frames before the recogniser hears it, and which frames hold a voice.
#pragma once
#include "platform/Result.h"
#include <QString>
#include <cstddef>
#include <memory>
#include <vector>

namespace voice {

// What the front end does to microphone sound before the recogniser hears it.
struct FrontEndSettings {
    bool cleanForDecoder = true; // the recogniser hears the denoised sound, not the microphone's
    // ... unless the voice stands this far above the room: in a quiet room cleaning only distorts it.
    float rawAboveDb = 30;
    int aggressiveness = 3;       // of the voice-activity decision, 0 (lets most through) to 3
    int suppression = 2;          // of the noise, 0 (low) to 3 (very high)
};

// Cleans 16 kHz microphone sound in 10 ms frames (high-pass, noise suppression, gain) and tells which
// frames hold a voice. One per utterance stream; not thread-safe.
class AudioFrontEnd {
public:
    static constexpr size_t FrameSamples = 160;
    // The voice decision learns the room from the first frames, and takes some of them for voice.
    static constexpr int WarmUpFrames = 30;

    // What a frame holds: a voice or not, and its level as the recogniser hears it.
    struct Heard {
        bool voice = false;
        float levelDb = 0;
    };

    explicit AudioFrontEnd(bool cleanForDecoder) : cleanForDecoder_(cleanForDecoder) {}
    virtual ~AudioFrontEnd() = default;
    // Forgets the sound before: a new utterance from a microphone that may be somewhere else.
    void reset()
    {
        frames_ = 0;
        restart();
    }
    // One frame of FrameSamples samples, replaced by what the recogniser hears: cleaned, or as it came.
    Heard process(short* frame);

protected:
    virtual void restart() = 0;
    virtual bool clean(short* frame) = 0;

private:
    bool cleanForDecoder_;
    int frames_ = 0;
};

// A frame's level in decibels over one step of a 16-bit sample.
float FrameLevelDb(const short* frame, int count);
// The middle of the values, 0 of none.
float Median(std::vector<float> values);

// nullptr with why if the library cannot start.
platform::Result<std::unique_ptr<AudioFrontEnd>> MakeFrontEnd(const FrontEndSettings& settings);

} // namespace voice
