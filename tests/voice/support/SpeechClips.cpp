// Test utterances: a text said by espeak-ng at 16 kHz, cleanly or in a room.
#include "SpeechClips.h"
#include "voice/Resample.h"

#include <QRegularExpression>
#include <cstdio>
#include <cstdlib>

namespace voicetest {

std::vector<short> Say(Synthesiser& synth, const QString& text, const QString& voice)
{
    const QRegularExpression abbreviation(QStringLiteral("\\b([A-Z])([A-Z])\\b"));
    const QString said = QString(text).replace(abbreviation, QStringLiteral("\\1 \\2"));
    const std::vector<short> raw = synth.say(said, voice);
    return raw.empty() ? raw : voice::Resample(raw, synth.sampleRate(), 16000);
}

std::vector<short> SpeechClip(Synthesiser& synth, const QString& text, const QString& voice, uint32_t seed,
                              const Condition& room)
{
    return room.apply(Say(synth, text, voice), seed);
}

std::unique_ptr<voice::Decoder> OpenDecoder(const voice::DecoderSettings& settings)
{
    auto opened = voice::Decoder::Open(settings);
    if (!opened) {
        std::fprintf(stderr, "%s\n", qPrintable(opened.why()));
        std::exit(1);
    }
    return std::move(*opened);
}

} // namespace voicetest
