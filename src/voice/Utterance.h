// The sound of one utterance as it comes in: through the front end frame by frame, kept as cleaned and as the microphone gave it.
#pragma once
#include "AudioFrontEnd.h"
#include "SpeechSpan.h"

#include <memory>
#include <vector>

namespace voice {

class Utterance {
public:
    explicit Utterance(std::unique_ptr<AudioFrontEnd> frontEnd);

    void begin();
    void feed(const short* samples, size_t count);
    // The front end's voice decision and level for each whole 10 ms frame so far.
    const std::vector<bool>& voiced() const { return voiced_; }
    const std::vector<float>& levels() const { return levels_; }
    // The frames as the microphone gave them.
    const std::vector<short>& raw() const { return raw_; }

    // Where the voice is, how far above the room, and the stretch around it the recogniser is to search.
    struct Cut {
        SpeechSpan span;
        float voiceOverRoomDb = 0;
        bool rawSound = false; // the microphone's sound, where the room is quiet enough not to need cleaning
        std::vector<short> region;
        int firstFrame = 0; // of the region, in the utterance
    };
    Cut cut(const FrontEndSettings& settings) const;

private:
    float voiceOverRoomDb(const SpeechSpan& span) const;

    std::unique_ptr<AudioFrontEnd> frontEnd_;
    std::vector<short> cleaned_;   // whole frames, cleaned or not as the settings say
    std::vector<short> raw_;
    std::vector<short> partial_;   // the start of the next frame
    std::vector<bool> voiced_;
    std::vector<float> levels_;
};

} // namespace voice
