// Any text handed to Speak: tags, maps, contexts, broken escapes.
#include "speech/SpeechSsml.h"
#include "speech/SpeechMarkup.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const speech::SpeechText parsed = speech::ParseSpeech(text);
    int shown = 0;
    for (const auto& u : parsed.units) {
        // Every unit must lie inside the texts and the shown part must only grow.
        if (u.spokenBegin < 0 || u.spokenBegin + u.spokenLength > parsed.spoken.size() || u.shownEnd < shown ||
            u.shownEnd > parsed.shown.size())
            __builtin_trap();
        shown = u.shownEnd;
    }
    std::vector<int> offsets;
    speech::SsmlFor(parsed, 0, speech::ChunkEnd(parsed, 0), &offsets);
    return 0;
}
