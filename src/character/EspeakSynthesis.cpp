// Synthesis to samples for the voice tests and benchmarks (to be moved out of the program).
#include "EspeakSynthesis.h"

#include <QMutex>
#include <espeak-ng/speak_lib.h>

#include <atomic>

namespace character {

namespace espeak {
namespace {
QMutex initMutex;
std::atomic<bool> initialized{false};
Mode chosenMode = Mode::Playback;
int rate = 0;
std::vector<short>* captureTarget = nullptr; // Synchronous mode only, under the synthesis lock

int callback(short* wav, int count, espeak_EVENT*)
{
    if (captureTarget && wav && count > 0)
        captureTarget->insert(captureTarget->end(), wav, wav + count);
    return 0;
}
} // namespace

bool initialize(Mode mode, QString* error)
{
    QMutexLocker lock(&initMutex);
    if (initialized)
        return chosenMode == mode;
    const espeak_AUDIO_OUTPUT output = mode == Mode::Playback ? AUDIO_OUTPUT_PLAYBACK : AUDIO_OUTPUT_SYNCHRONOUS;
    rate = espeak_Initialize(output, 200, nullptr, espeakINITIALIZE_DONT_EXIT);
    if (rate <= 0) {
        if (error)
            *error = QStringLiteral("the speech synthesiser could not start (its voice data may be missing)");
        return false;
    }
    if (espeak_SetVoiceByName("en-us") != EE_OK && espeak_SetVoiceByName("en") != EE_OK) {
        if (error)
            *error = QStringLiteral("the speech synthesiser has no English voice");
        return false;
    }
    espeak_SetSynthCallback(callback);
    chosenMode = mode;
    initialized = true;
    return true;
}

int sampleRate()
{
    return rate;
}

int synthesize(const QByteArray& ssml, const QString& voice, std::vector<short>* samples)
{
    static QMutex synthMutex;
    QMutexLocker lock(&synthMutex);
    if (!initialized || chosenMode != Mode::Synchronous)
        return 0;
    if (!voice.isEmpty() && espeak_SetVoiceByName(voice.toUtf8().constData()) != EE_OK)
        return 0;
    captureTarget = samples;
    const espeak_ERROR r = espeak_Synth(ssml.constData(), size_t(ssml.size()) + 1, 0, POS_CHARACTER, 0,
                                        espeakCHARS_UTF8 | espeakSSML, nullptr, nullptr);
    espeak_Synchronize();
    captureTarget = nullptr;
    return r == EE_OK ? rate : 0;
}
} // namespace espeak

} // namespace character
