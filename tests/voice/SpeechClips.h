#pragma once
#include <QString>
#include <cstdint>
#include <vector>

namespace voicetest {

// espeak-ng in synchronous mode, for making test utterances; false (with a reason) if it cannot start.
bool StartSynthesis(QString* error);

// `text` spoken by espeak `voice` at 16 kHz, padded with a little silence and mixed with low noise
// from `seed`, as a microphone would give it.
std::vector<short> SpeechClip(const QString& text, const QString& voice, uint32_t seed, double noiseRms = 60);

} // namespace voicetest
