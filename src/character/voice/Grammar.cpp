#include "Grammar.h"
#include "SpokenWords.h"

#include <QSet>

namespace voice {

namespace {
const char* const cmuPhones[] = {"AA", "AE", "AH", "AO", "AW", "AY", "B",  "CH", "D",  "DH", "EH", "ER", "EY",
                                 "F",  "G",  "HH", "IH", "IY", "JH", "K",  "L",  "M",  "N",  "NG", "OW", "OY",
                                 "P",  "R",  "S",  "SH", "T",  "TH", "UH", "UW", "V",  "W",  "Y",  "Z",  "ZH"};
} // namespace

const QStringList& GarbageWords()
{
    static const QStringList words = [] {
        QStringList w;
        for (const char* p : cmuPhones)
            w << QStringLiteral("garbage_") + QString::fromLatin1(p).toLower();
        return w;
    }();
    return words;
}

bool IsGarbageWord(const QString& word)
{
    return word.startsWith(QLatin1String("garbage_"));
}

Heard CommandGrammar::lookup(const QString& hypothesis) const
{
    const QStringList words = hypothesis.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (const QString& w : words)
        if (IsGarbageWord(w))
            return {};
    return byWords.value(words.join(QLatin1Char(' ')));
}

CommandGrammar BuildGrammar(const std::vector<character::VoicePhrase>& phrases,
                            const std::function<bool(const QString&)>& known, double garbageWeight)
{
    CommandGrammar g;
    QSet<QString> used;
    QStringList alternatives;
    for (const auto& p : phrases) {
        QStringList sayings;
        bool sayable = true;
        for (const QStringList& form : SpokenForms(p.phrase)) {
            for (const QString& w : form)
                if (!known(w))
                    sayable = false;
            const QString joined = form.join(QLatin1Char(' '));
            // Two commands with one phrase: the first added answers, as in the menu order.
            if (g.byWords.contains(joined))
                continue;
            g.byWords.insert(joined, Heard{p.command, p.phrase});
            sayings << joined;
        }
        if (!sayable) {
            for (const QString& s : std::as_const(sayings))
                g.byWords.remove(s);
            g.unsayable << p.phrase;
            continue;
        }
        for (const QString& s : std::as_const(sayings)) {
            alternatives << s;
            for (const QString& w : s.split(QLatin1Char(' ')))
                if (!used.contains(w)) {
                    used.insert(w);
                    g.words << w;
                }
        }
    }
    if (alternatives.isEmpty())
        return g;
    QByteArray j = "#JSGF V1.0;\ngrammar varrow;\npublic <utterance> = ";
    const bool garbage = garbageWeight > 0;
    for (int i = 0; i < alternatives.size(); ++i) {
        if (i)
            j += " | ";
        if (garbage)
            j += "/1/ ";
        j += "( " + alternatives[i].toUtf8() + " )";
    }
    if (garbage) {
        j += " | /" + QByteArray::number(garbageWeight, 'g', 6) + "/ <garbage>";
        j += ";\n<phone> = " + GarbageWords().join(QStringLiteral(" | ")).toUtf8();
        j += ";\n<garbage> = <phone>+";
    }
    j += ";\n";
    g.jsgf = j;
    return g;
}

} // namespace voice
