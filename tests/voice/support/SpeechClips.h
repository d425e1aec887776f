// Test utterances: a text said by espeak-ng at 16 kHz, cleanly or in a room.
#pragma once
#include "Condition.h"
#include "Synthesiser.h"
#include "voice/Decoder.h"

#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

namespace voicetest {

// `text` said by espeak-ng `voice`, cleanly, at 16 kHz. "AM" is read letter by letter, as a user would.
std::vector<short> Say(Synthesiser& synth, const QString& text, const QString& voice);

// `text` said by espeak-ng `voice` in `room` (a quiet microphone unless given), at 16 kHz, with the
// room before and after it; `seed` draws the noise.
std::vector<short> SpeechClip(Synthesiser& synth, const QString& text, const QString& voice, uint32_t seed,
                              const Condition& room = {"faint", Condition::Kind::Faint, 0});

// A decoder with the model loaded; a machine without the model ends the run, saying why.
std::unique_ptr<voice::Decoder> OpenDecoder(const voice::DecoderSettings& settings = {});

} // namespace voicetest
