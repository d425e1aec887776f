// Where the voice is in a recording, short gaps bridged and clicks left out.
#include "SpeechSpan.h"

#include <algorithm>
#include <cstddef>

namespace voice {

SpeechSpan SpeechSpan::find(const std::vector<bool>& voiced)
{
    SpeechSpan span;
    const int n = int(voiced.size());
    span.voice.assign(voiced.size(), false);
    int runStart = -1, lastVoice = -1;
    auto close = [&](int end) { // the run [runStart, end]
        if (runStart >= 0 && end - runStart + 1 >= minRunFrames) {
            if (span.first < 0)
                span.first = runStart;
            span.last = end;
            span.voiceFrames += end - runStart + 1;
            std::fill(span.voice.begin() + runStart, span.voice.begin() + end + 1, true);
        }
        runStart = -1;
    };
    for (int f = 0; f < n; ++f) {
        if (!voiced[std::size_t(f)])
            continue;
        if (runStart >= 0 && f - lastVoice - 1 > bridgeFrames)
            close(lastVoice);
        if (runStart < 0)
            runStart = f;
        lastVoice = f;
    }
    close(lastVoice);
    return span;
}

} // namespace voice
