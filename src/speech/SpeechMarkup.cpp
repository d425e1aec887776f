// The speech tags in a character's texts, split into what is spoken and what is shown.
#include "SpeechMarkup.h"

#include <QStringList>
#include <algorithm>

namespace speech {

namespace {

enum class Context { Normal, Email };

// A quoted tag argument starting at `pos` (on the opening quote); "" inside stands for one quote.
bool readQuoted(const QString& t, int& pos, QString& out)
{
    if (pos >= t.size() || t[pos] != u'"')
        return false;
    out.clear();
    for (int i = pos + 1; i < t.size(); ++i) {
        if (t[i] == u'"') {
            if (i + 1 < t.size() && t[i + 1] == u'"') {
                out += u'"';
                ++i;
                continue;
            }
            pos = i + 1;
            return true;
        }
        out += t[i];
    }
    return false;
}

struct Tag {
    QString name;     // lower case
    QStringList args; // quoted or bare values after '='
    int end = 0;      // index after the closing backslash
};

// Parses a tag at `pos` (on its backslash). Tags are short; anything longer is not a tag.
bool readTag(const QString& t, int pos, Tag& tag)
{
    constexpr int maxTagLength = 1024;
    int i = pos + 1;
    const int start = i;
    while (i < t.size() && t[i].isLetter() && i - start < 8)
        ++i;
    if (i == start)
        return false;
    tag.name = t.mid(start, i - start).toLower();
    tag.args.clear();
    while (i < t.size() && t[i] == u'=') {
        ++i;
        QString value;
        if (i < t.size() && t[i] == u'"') {
            if (!readQuoted(t, i, value))
                return false;
        } else {
            const int vs = i;
            while (i < t.size() && t[i] != u'\\' && t[i] != u'=' && !t[i].isSpace() && i - vs < 16)
                ++i;
            value = t.mid(vs, i - vs);
        }
        tag.args.append(value);
        if (i - pos > maxTagLength)
            return false;
    }
    if (i >= t.size() || t[i] != u'\\')
        return false;
    tag.end = i + 1;
    return true;
}

class Builder {
public:
    SpeechText result;
    std::uint8_t style = 0;
    bool emphasiseNext = false;
    int pendingPause = 0;
    Context context = Context::Normal;

    // Plain text: shown as it is, spoken word by word.
    void addText(QStringView text)
    {
        int i = 0;
        const int n = int(text.size());
        while (i < n) {
            const int ws = i;
            while (i < n && text[i].isSpace())
                ++i;
            if (i > ws)
                result.shown += text.mid(ws, i - ws);
            if (i >= n)
                break;
            const int wb = i;
            while (i < n && !text[i].isSpace())
                ++i;
            const QStringView word = text.mid(wb, i - wb);
            result.shown += word;
            if (context == Context::Email)
                addUnit(SpokenEmail(word.toString()));
            else
                addUnit(word);
        }
    }

    // A mapped group: spoken as one, shown as one.
    void addMapped(const QString& spoken, const QString& shown)
    {
        result.shown += shown;
        if (!spoken.trimmed().isEmpty())
            addUnit(QString(spoken.simplified()));
        else if (!result.units.empty())
            result.units.back().shownEnd = int(result.shown.size());
    }

    void addUnit(QStringView spoken)
    {
        SpeechText::Unit u;
        u.spokenBegin = int(result.spoken.size());
        u.spokenLength = int(spoken.size());
        u.shownEnd = int(result.shown.size());
        u.pauseBeforeMs = pendingPause;
        u.style = style | (emphasiseNext ? SpeechText::Emphasis : 0);
        pendingPause = 0;
        emphasiseNext = false;
        result.spoken += spoken;
        result.spoken += u' ';
        result.units.push_back(u);
    }

    void apply(const Tag& tag)
    {
        const QString arg = tag.args.value(0).toLower();
        if (tag.name == u"emp") {
            emphasiseNext = true;
        } else if (tag.name == u"chr") {
            style &= ~(SpeechText::Monotone | SpeechText::Whisper);
            if (arg == u"monotone")
                style |= SpeechText::Monotone;
            else if (arg == u"whisper")
                style |= SpeechText::Whisper;
        } else if (tag.name == u"ctx") {
            context = arg == u"e-mail" ? Context::Email : Context::Normal;
        } else if (tag.name == u"pau") {
            bool ok = false;
            const int ms = arg.toInt(&ok);
            if (ok && ms > 0)
                pendingPause += std::min(ms, 10000);
        } else if (tag.name == u"rst") {
            style = 0;
            emphasiseNext = false;
            context = Context::Normal;
        }
    }
};

} // namespace

QString SpokenEmail(const QString& text)
{
    QString out;
    out.reserve(text.size() * 2);
    auto word = [&out](const char* w) {
        if (!out.isEmpty() && !out.endsWith(u' '))
            out += u' ';
        out += QLatin1String(w);
        out += u' ';
    };
    for (QChar c : text) {
        switch (c.unicode()) {
        case '@': word("at"); break;
        case '.': word("dot"); break;
        case '-': word("dash"); break;
        case '_': word("underscore"); break;
        default: out += c;
        }
    }
    return out.trimmed();
}

SpeechText ParseSpeech(const QString& text)
{
    Builder b;
    b.result.shown.reserve(text.size());
    b.result.spoken.reserve(text.size() + 16);
    int plainStart = 0;
    int i = 0;
    const int n = int(text.size());
    Tag tag;
    while (i < n) {
        const int bs = int(text.indexOf(u'\\', i));
        if (bs < 0)
            break;
        if (!readTag(text, bs, tag)) {
            i = bs + 1;
            continue;
        }
        b.addText(QStringView(text).mid(plainStart, bs - plainStart));
        if (tag.name == u"map" && tag.args.size() == 2)
            b.addMapped(tag.args[0], tag.args[1]);
        else
            b.apply(tag);
        i = plainStart = tag.end;
    }
    b.addText(QStringView(text).mid(plainStart));
    return std::move(b.result);
}

} // namespace speech
