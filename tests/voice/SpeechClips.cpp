#include "SpeechClips.h"
#include "character/EspeakSynthesis.h"
#include "character/voice/Resample.h"

#include <QByteArray>
#include <QRegularExpression>
#include <algorithm>
#include <random>

namespace voicetest {

bool StartSynthesis(QString* error)
{
    return character::espeak::initialize(character::espeak::Mode::Synchronous, error);
}

std::vector<short> SpeechClip(const QString& text, const QString& voice, uint32_t seed, double noiseRms)
{
    // A user reads "AM" letter by letter; espeak would say the word "am".
    static const QRegularExpression abbreviation(QStringLiteral("\\b([A-Z])([A-Z])\\b"));
    const QString said = QString(text).replace(abbreviation, QStringLiteral("\\1 \\2"));
    std::vector<short> raw;
    QByteArray ssml = "<speak>" + said.toHtmlEscaped().toUtf8() + "</speak>";
    const int rate = character::espeak::synthesize(ssml, voice, &raw);
    if (rate <= 0)
        return {};
    std::vector<short> speech = voice::Resample(raw, rate, 16000);
    const size_t pad = 16000 * 3 / 10;
    std::vector<short> clip(pad + speech.size() + pad, 0);
    std::copy(speech.begin(), speech.end(), clip.begin() + long(pad));
    std::mt19937 gen(seed);
    std::normal_distribution<double> noise(0.0, noiseRms);
    for (short& s : clip)
        s = short(std::clamp(double(s) + noise(gen), -32768.0, 32767.0));
    return clip;
}

} // namespace voicetest
