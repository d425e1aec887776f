// Where the voice is in a recording, short gaps bridged and clicks left out.
#pragma once
#include <vector>

namespace voice {

// Where the voice is in a recording, from the front end's decision for each 10 ms frame. Short gaps
// inside a word are bridged; runs shorter than a syllable are knocks and clicks, not a voice.
struct SpeechSpan {
    static constexpr int bridgeFrames = 4; // 40 ms
    static constexpr int minRunFrames = 10; // 100 ms

    int first = -1, last = -1; // frames of the first and last voice; -1: none
    int voiceFrames = 0;       // frames of voice in all, gaps bridged
    std::vector<bool> voice;   // per frame, as counted

    bool empty() const { return first < 0; }

    static SpeechSpan find(const std::vector<bool>& voiced);
};

} // namespace voice
