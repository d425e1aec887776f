// The grammar the recogniser listens with: the phrases as said, a loop of phones, and common words.
#include "Grammar.h"
#include "SpokenWords.h"

#include <QSet>

namespace voice {

namespace {
const char* const cmuPhones[] = {"AA", "AE", "AH", "AO", "AW", "AY", "B",  "CH", "D",  "DH", "EH", "ER", "EY",
                                 "F",  "G",  "HH", "IH", "IY", "JH", "K",  "L",  "M",  "N",  "NG", "OW", "OY",
                                 "P",  "R",  "S",  "SH", "T",  "TH", "UH", "UW", "V",  "W",  "Y",  "Z",  "ZH"};
// The most frequent words of everyday English by the general language model, most frequent first.
const char* const commonWords =
    "the to i and a of you that in it is for but know was have they on like be not so with are one this "
    "he yeah just my we as what if do at or about all think there would from two me people can your get "
    "out no said up more when an had right well hundred really has thousand will oh because how time "
    "them she been by some who their his were now then go good mean than going her see could much other "
    "five got three even too only want did him something very where here way which nine lot make say "
    "first years back any new our also over into ah year thing still four should work things those take "
    "us most why these never twenty need after being okay little down kind point actually many day off "
    "come same six before last look sure eight money doing pretty around seven always guess life dollars "
    "long yes better probably every world does anything maybe school great find though made big feel "
    "through thirty cause game old put use different stuff ten home may might used am thought while best "
    "since man love own getting another fifty few bad give part percent live family tell ever gonna "
    "again went someone help keep everything try play hard done enough trying next end away its place "
    "far forty talk ninety both real says country kids times least person bit such million high exactly "
    "told nothing friends believe let call having able show else watch ago job nice start once whole "
    "house government problem looking change children each without days found true saying between less "
    "week seen already makes guy course care name second came sixty pay talking until making seems "
    "eighty thanks either idea seventy read ";
} // namespace

const QStringList& CommonWords()
{
    static const QStringList words =
        QString::fromLatin1(commonWords).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    return words;
}

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

CommandGrammar BuildGrammar(const std::vector<voice::VoicePhrase>& phrases,
                            const std::function<bool(const QString&)>& known, double garbageWeight,
                            const QStringList& competitors)
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
    QStringList others;
    for (const QString& w : competitors)
        if (!used.contains(w))
            others << w;
    const bool competing = !others.isEmpty();
    for (int i = 0; i < alternatives.size(); ++i) {
        if (i)
            j += " | ";
        if (garbage)
            j += "/1/ ";
        j += "( " + alternatives[i].toUtf8() + " )";
    }
    if (garbage)
        j += " | /" + QByteArray::number(garbageWeight, 'g', 6) + "/ <garbage>";
    // Written out in place: through a rule reference the library's grammar compiler lets them run
    // on into the phrases ("i date").
    if (competing)
        j += " | " + others.join(QStringLiteral(" | ")).toUtf8();
    if (garbage) {
        j += ";\n<phone> = " + GarbageWords().join(QStringLiteral(" | ")).toUtf8();
        j += ";\n<garbage> = <phone>+";
    }
    j += ";\n";
    g.jsgf = j;
    return g;
}

} // namespace voice
