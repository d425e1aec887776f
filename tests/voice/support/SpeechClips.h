// Test utterances: a text said by espeak-ng in this process at 16 kHz, cleanly or in a room.
#pragma once
#include "Condition.h"
#include "voice/Decoder.h"

#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

namespace voicetest {

// espeak-ng in this process, saying texts into memory rather than to a sound card, for making
// test utterances. espeak-ng is one per process, started by the first of these; they share it.
class Synthesiser {
public:
    Synthesiser();
    bool ready() const { return rate_ > 0; }
    const QString& error() const { return error_; }
    int sampleRate() const { return rate_; }

private:
    int rate_ = 0;
    QString error_;
};

// `text` said by espeak-ng `voice` ("en-us", "en+f2", ...), cleanly, at 16 kHz; empty when the voice is
// unknown. "AM" is read letter by letter, as a user would.
std::vector<short> Say(Synthesiser& synth, const QString& text, const QString& voice);

// `text` said by espeak-ng `voice` in `room` (a quiet microphone unless given), at 16 kHz, with the
// room before and after it; `seed` draws the noise.
std::vector<short> SpeechClip(Synthesiser& synth, const QString& text, const QString& voice, uint32_t seed,
                              const Condition& room = {"faint", Condition::Kind::Faint, 0});

// A decoder with the model loaded; a machine without the model ends the run, saying why.
std::unique_ptr<voice::Decoder> OpenDecoder(const voice::DecoderSettings& settings = {});

} // namespace voicetest
