#include "Pronunciation.h"
#include "character/EspeakSynthesis.h"

#include <espeak-ng/speak_lib.h>

#include <QFile>
#include <QMutex>
#include <QSet>
#include <QStringList>
#include <algorithm>
#include <utility>
#include <vector>

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

namespace voice {

QHash<QString, QString> FirstPronunciations(const QString& dictionaryFile, const QStringList& words)
{
    QHash<QString, QString> found;
    QSet<QByteArray> wanted;
    for (const QString& w : words)
        wanted.insert(w.toUtf8());
    if (wanted.isEmpty())
        return found;
    QFile f(dictionaryFile);
    if (!f.open(QIODevice::ReadOnly))
        return found;
    // Read once per grammar change: holding the whole dictionary would cost the memory we save by not loading it.
    const QByteArray all = f.readAll();
    qsizetype pos = 0;
    while (pos < all.size() && found.size() < wanted.size()) {
        qsizetype eol = all.indexOf('\n', pos);
        if (eol < 0)
            eol = all.size();
        const QByteArray line = all.mid(pos, eol - pos).trimmed();
        pos = eol + 1;
        const qsizetype gap = line.indexOf(' ');
        if (gap <= 0)
            continue;
        const QByteArray word = line.left(gap);
        if (!wanted.contains(word) || found.contains(QString::fromUtf8(word)))
            continue;
        const QByteArray phones = line.mid(gap).simplified();
        if (!phones.isEmpty())
            found.insert(QString::fromUtf8(word), QString::fromLatin1(phones));
    }
    return found;
}

int PhoneDistance(const QStringList& a, const QStringList& b)
{
    std::vector<int> row(size_t(b.size()) + 1);
    for (size_t j = 0; j < row.size(); ++j)
        row[j] = int(j);
    for (qsizetype i = 1; i <= a.size(); ++i) {
        int diagonal = row[0];
        row[0] = int(i);
        for (qsizetype j = 1; j <= b.size(); ++j) {
            const int up = row[size_t(j)];
            row[size_t(j)] = std::min({up + 1, row[size_t(j - 1)] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = up;
        }
    }
    return row.back();
}

} // namespace voice
