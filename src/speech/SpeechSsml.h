// The markup espeak-ng reads for a stretch of a text, and where to cut a long text into stretches.
#pragma once
#include "SpeechMarkup.h"

#include <QByteArray>
#include <vector>

namespace speech {

// The SSML for units [first, last) of `text`, with each unit's 1-based code-point position in it.
QByteArray SsmlFor(const SpeechText& text, size_t first, size_t last, std::vector<int>* offsets);
// Where the next chunk should end: about `maxChars` of speech, at a sentence end where possible.
size_t ChunkEnd(const SpeechText& text, size_t first, int maxChars = 600);

} // namespace speech
