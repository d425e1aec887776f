// The ways a voice phrase can be said, in dictionary words: numbers spelled out, capitals lettered.
#include "SpokenWords.h"


namespace voice {

namespace {
const char* const ones[] = {"zero", "one", "two", "three", "four", "five", "six", "seven", "eight", "nine", "ten",
                            "eleven", "twelve", "thirteen", "fourteen", "fifteen", "sixteen", "seventeen",
                            "eighteen", "nineteen"};
const char* const tens[] = {"", "", "twenty", "thirty", "forty", "fifty", "sixty", "seventy", "eighty", "ninety"};

QString belowHundred(int n)
{
    if (n < 20)
        return QString::fromLatin1(ones[n]);
    QString s = QString::fromLatin1(tens[n / 10]);
    if (n % 10)
        s += QLatin1Char(' ') + QString::fromLatin1(ones[n % 10]);
    return s;
}

QStringList spell(const QString& token)
{
    QStringList letters;
    for (QChar c : token)
        letters << QString(c.toLower()) + QLatin1Char('.');
    return letters;
}
} // namespace

QString NumberWords(qint64 n)
{
    if (n < 0)
        return QStringLiteral("minus ") + NumberWords(-n);
    if (n < 100)
        return belowHundred(int(n));
    if (n < 10000) {
        QString s;
        if (n >= 1000)
            s = belowHundred(int(n / 1000)) + QStringLiteral(" thousand");
        const int rest = int(n % 1000);
        if (rest >= 100)
            s += (s.isEmpty() ? QString() : QStringLiteral(" ")) + belowHundred(rest / 100) + QStringLiteral(" hundred");
        if (rest % 100)
            s += (s.isEmpty() ? QString() : QStringLiteral(" ")) + belowHundred(rest % 100);
        return s;
    }
    QStringList digits;
    for (QChar c : QString::number(n))
        digits << QString::fromLatin1(ones[c.digitValue()]);
    return digits.join(QLatin1Char(' '));
}

namespace {
// Runs of ASCII digits, and runs of ASCII letters and apostrophes; anything else parts them. Written
// out: a regular expression here would bring its library into memory at start for this alone.
QStringList tokens(const QString& phrase)
{
    bool (*const digit)(QChar) = [](QChar c) { return c >= u'0' && c <= u'9'; };
    bool (*const letter)(QChar) = [](QChar c) {
        return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'\'';
    };
    QStringList found;
    for (qsizetype i = 0; i < phrase.size();) {
        const auto same = digit(phrase[i]) ? digit : letter(phrase[i]) ? letter : nullptr;
        qsizetype end = i + 1;
        while (same && end < phrase.size() && same(phrase[end]))
            ++end;
        if (same)
            found << phrase.mid(i, end - i);
        i = end;
    }
    return found;
}
} // namespace

std::vector<QStringList> SpokenForms(const QString& phrase)
{
    std::vector<QStringList> forms{QStringList{}};
    auto append = [&forms](const std::vector<QStringList>& choices) {
        std::vector<QStringList> grown;
        for (const QStringList& f : forms)
            for (const QStringList& c : choices)
                grown.push_back(f + c);
        forms = std::move(grown);
    };
    for (const QString& token : tokens(phrase)) {
        if (token.front().isDigit()) {
            bool ok = false;
            const qint64 n = token.size() <= 12 ? token.toLongLong(&ok) : 0;
            QStringList words;
            if (ok)
                words = NumberWords(n).split(QLatin1Char(' '));
            else
                for (QChar c : token)
                    words << QString::fromLatin1(ones[c.digitValue()]);
            append({words});
        } else if (token.size() >= 2 && token.size() <= 3 && token == token.toUpper() && token != QLatin1String("OK")) {
            append({spell(token)});
        } else {
            const QString lower = token.toLower();
            if (lower == QLatin1String("okay") || lower == QLatin1String("ok"))
                append({{QStringLiteral("okay")}, {QStringLiteral("ok")}});
            else
                append({{lower}});
        }
    }
    if (forms.size() == 1 && forms.front().isEmpty())
        return {};
    return forms;
}

} // namespace voice
