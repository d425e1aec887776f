#include "Pronunciation.h"
#include "character/SpeechEngine.h"

#include <espeak-ng/speak_lib.h>

#include <QMutex>
#include <QStringList>
#include <utility>

namespace voice {

namespace {
// Longest match first, so "aI@" wins over "aI" and "tS" over "t".
const std::pair<const char*, const char*> table[] = {
    {"aI@", "AY ER"}, {"aI3", "AY ER"}, {"aU@", "AW ER"}, {"A@", "AA R"}, {"e@", "EH R"}, {"i@", "IY ER"},
    {"O@", "AO R"},   {"o@", "AO R"},   {"U@", "UH R"},   {"3:", "ER"},   {"@L", "AH L"}, {"@r", "ER"},
    {"aI", "AY"},     {"aU", "AW"},     {"eI", "EY"},     {"OI", "OY"},   {"oU", "OW"},   {"A:", "AA"},
    {"O:", "AO"},     {"i:", "IY"},     {"u:", "UW"},     {"a#", "AH"},   {"I2", "IH"},   {"I#", "IH"},
    {"tS", "CH"},     {"dZ", "JH"},     {"r-", "R"},      {"n-", "N"},    {"l-", "L"},    {"m-", "M"},
    {"t#", "T"},      {"aa", "AE"},     {"@-", "AH"},     {"@", "AH"},    {"3", "ER"},    {"a", "AE"},
    {"E", "EH"},      {"i", "IY"},      {"I", "IH"},      {"O", "AO"},    {"0", "AA"},    {"U", "UH"},
    {"u", "UW"},      {"V", "AH"},      {"e", "EH"},      {"o", "OW"},    {"A", "AA"},    {"S", "SH"},
    {"Z", "ZH"},      {"T", "TH"},      {"D", "DH"},      {"N", "NG"},    {"b", "B"},     {"d", "D"},
    {"f", "F"},       {"g", "G"},       {"h", "HH"},      {"j", "Y"},     {"k", "K"},     {"l", "L"},
    {"m", "M"},       {"n", "N"},       {"p", "P"},       {"r", "R"},     {"s", "S"},     {"t", "T"},
    {"v", "V"},       {"w", "W"},       {"z", "Z"},       {"x", "HH"},
};
} // namespace

QString EspeakToCmu(const QString& espeakPhonemes)
{
    const QByteArray s = espeakPhonemes.toLatin1();
    QStringList phones;
    int i = 0;
    while (i < s.size()) {
        bool matched = false;
        for (const auto& [from, to] : table) {
            const int n = int(qstrlen(from));
            if (s.mid(i, n) == from) {
                phones << QString::fromLatin1(to);
                i += n;
                matched = true;
                break;
            }
        }
        if (!matched)
            ++i; // stress marks, syllable and word breaks, lengthening
    }
    return phones.join(QLatin1Char(' '));
}

QString DerivePronunciation(const QString& word)
{
    if (character::espeak::sampleRate() <= 0)
        return {};
    static QMutex mutex;
    QMutexLocker lock(&mutex);
    QByteArray text = word.toUtf8();
    const void* p = text.constData();
    QString phonemes;
    while (p) {
        const char* out = espeak_TextToPhonemes(&p, espeakCHARS_UTF8, 0);
        if (!out)
            break;
        phonemes += QString::fromLatin1(out);
    }
    return EspeakToCmu(phonemes);
}

} // namespace voice
