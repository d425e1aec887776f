// Test utterances: a text said by espeak-ng in this process at 16 kHz, cleanly or in a room.
#include "SpeechClips.h"
#include "voice/Resample.h"

#include <QRegularExpression>
#include <espeak-ng/speak_lib.h>
#include <cstdio>
#include <cstdlib>

namespace voicetest {

namespace {
int collect(short* wav, int count, espeak_EVENT* events)
{
    auto* out = events ? static_cast<std::vector<short>*>(events->user_data) : nullptr;
    if (out && wav && count > 0)
        out->insert(out->end(), wav, wav + count);
    return 0;
}
} // namespace

Synthesiser::Synthesiser()
{
    // Started once for the process however many are made: starting it again re-creates the locks its
    // own thread, left from the first start, is waiting on.
    static const int rate = [] {
        const int r = espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 200, nullptr, espeakINITIALIZE_DONT_EXIT);
        if (r > 0)
            espeak_SetSynthCallback(collect);
        return r;
    }();
    if (rate <= 0)
        error_ = QStringLiteral("espeak-ng could not start (its voice data may be missing)");
    else if (espeak_SetVoiceByName("en-us") != EE_OK)
        error_ = QStringLiteral("espeak-ng has no en-us voice");
    else
        rate_ = rate;
}

std::vector<short> Say(Synthesiser& synth, const QString& text, const QString& voice)
{
    std::vector<short> samples;
    if (!synth.ready() || espeak_SetVoiceByName(voice.toUtf8().constData()) != EE_OK)
        return samples;
    const QRegularExpression abbreviation(QStringLiteral("\\b([A-Z])([A-Z])\\b"));
    const QString said = QString(text).replace(abbreviation, QStringLiteral("\\1 \\2"));
    const QByteArray ssml = "<speak>" + said.toHtmlEscaped().toUtf8() + "</speak>";
    const bool ok = espeak_Synth(ssml.constData(), size_t(ssml.size()) + 1, 0, POS_CHARACTER, 0,
                                 espeakCHARS_UTF8 | espeakSSML, nullptr, &samples) == EE_OK;
    espeak_Synchronize();
    return ok && !samples.empty() ? voice::Resample(samples, synth.sampleRate(), 16000) : std::vector<short>();
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
