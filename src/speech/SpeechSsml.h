// The markup a synthesiser reads for a stretch of a text, and where to cut a long text into stretches.
#pragma once
#include "SpeechMarkup.h"

#include <QByteArray>
#include <vector>

namespace speech {

// The SSML for units [first, last) of `text`, with each unit's 1-based code-point position in it.
QByteArray SsmlFor(const SpeechText& text, size_t first, size_t last, std::vector<int>* offsets);
// The same with a mark named after each unit's index before it, for a synthesiser that tells when
// it reaches a mark; each sentence is an <s>, as espeak-ng drops a mark that follows a sentence's end.
QByteArray SsmlWithMarks(const SpeechText& text, size_t first, size_t last);
// Where the next chunk should end: about `maxChars` of speech, at a sentence end where possible.
size_t ChunkEnd(const SpeechText& text, size_t first, int maxChars = 600);

} // namespace speech
