// The markup a synthesiser reads for a stretch of a text, and where to cut a long text into stretches.
#include "SpeechSsml.h"

#include <cstdint>

namespace speech {

namespace {
void appendEscaped(QString& out, QStringView s)
{
    for (QChar c : s) {
        switch (c.unicode()) {
        case '&': out += u"&amp;"; break;
        case '<': out += u"&lt;"; break;
        case '>': out += u"&gt;"; break;
        case '"': out += u"&quot;"; break;
        default:
            // Control characters have no place in speech and upset the SSML reader.
            out += (c.unicode() < 0x20 && c != u'\n' && c != u'\t') ? QChar(u' ') : c;
        }
    }
}

bool endsSentence(const SpeechText& text, const SpeechText::Unit& u)
{
    const QChar c = u.spokenLength > 0 ? text.spoken[u.spokenBegin + u.spokenLength - 1] : QChar();
    return c == u'.' || c == u'!' || c == u'?' || c == u';';
}

QByteArray ssml(const SpeechText& text, size_t first, size_t last, std::vector<int>* offsets, bool marks)
{
    QString out = QStringLiteral("<speak>");
    // Positions are counted as the text grows: recounting it per word would be quadratic.
    qsizetype counted = 0;
    int points = 0;
    auto position = [&] {
        for (; counted < out.size(); ++counted)
            if (!out[counted].isLowSurrogate())
                ++points;
        return points + 1;
    };
    std::uint8_t style = 0;
    auto openStyle = [&](std::uint8_t s) {
        if (s & SpeechText::Monotone)
            out += u"<prosody range=\"x-low\">";
        if (s & SpeechText::Whisper)
            out += u"<prosody volume=\"x-soft\">";
    };
    auto closeStyle = [&](std::uint8_t s) {
        if (s & SpeechText::Whisper)
            out += u"</prosody>";
        if (s & SpeechText::Monotone)
            out += u"</prosody>";
    };
    bool inSentence = false;
    for (size_t i = first; i < last && i < text.units.size(); ++i) {
        const SpeechText::Unit& u = text.units[i];
        if (marks && !inSentence) {
            out += u"<s>";
            inSentence = true;
        }
        const std::uint8_t voiceStyle = u.style & (SpeechText::Monotone | SpeechText::Whisper);
        if (voiceStyle != style) {
            closeStyle(style);
            openStyle(voiceStyle);
            style = voiceStyle;
        }
        if (u.pauseBeforeMs > 0)
            out += QStringLiteral("<break time=\"%1ms\"/>").arg(u.pauseBeforeMs);
        const bool emphasis = u.style & SpeechText::Emphasis;
        if (emphasis)
            out += u"<emphasis>";
        if (marks)
            out += QStringLiteral("<mark name=\"%1\"/>").arg(i);
        if (offsets)
            offsets->push_back(position());
        appendEscaped(out, QStringView(text.spoken).mid(u.spokenBegin, u.spokenLength));
        if (emphasis)
            out += u"</emphasis>";
        out += u' ';
        if (inSentence && endsSentence(text, u)) {
            closeStyle(style);
            style = 0;
            out += u"</s>";
            inSentence = false;
        }
    }
    closeStyle(style);
    if (inSentence)
        out += u"</s>";
    out += u"</speak>";
    return out.toUtf8();
}
} // namespace

QByteArray SsmlFor(const SpeechText& text, size_t first, size_t last, std::vector<int>* offsets)
{
    return ssml(text, first, last, offsets, false);
}

QByteArray SsmlWithMarks(const SpeechText& text, size_t first, size_t last)
{
    return ssml(text, first, last, nullptr, true);
}

size_t ChunkEnd(const SpeechText& text, size_t first, int maxChars)
{
    int chars = 0;
    size_t lastSentenceEnd = 0;
    size_t i = first;
    for (; i < text.units.size(); ++i) {
        const SpeechText::Unit& u = text.units[i];
        chars += u.spokenLength + 1;
        if (endsSentence(text, u))
            lastSentenceEnd = i + 1;
        if (chars >= maxChars)
            return lastSentenceEnd > first ? lastSentenceEnd : i + 1;
    }
    return i;
}

} // namespace speech
