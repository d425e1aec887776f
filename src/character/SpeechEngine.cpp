#include "SpeechEngine.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QPointer>
#include <QStandardPaths>

#include <espeak-ng/speak_lib.h>

#include <algorithm>
#include <atomic>

namespace character {

// ---- silent ----

SilentSpeaker::SilentSpeaker(double msPerChar, int msPerWord) : msPerChar_(msPerChar), msPerWord_(msPerWord)
{
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &SilentSpeaker::next);
}

void SilentSpeaker::speak(std::shared_ptr<const SpeechText> text)
{
    text_ = std::move(text);
    unit_ = 0;
    timer_.start(0);
}

void SilentSpeaker::stop()
{
    timer_.stop();
    text_.reset();
}

void SilentSpeaker::next()
{
    if (!text_)
        return;
    if (unit_ >= text_->units.size()) {
        text_.reset();
        emit finished();
        return;
    }
    const SpeechText::Unit& u = text_->units[unit_];
    emit unitReached(int(unit_));
    ++unit_;
    const double ms = u.pauseBeforeMs + msPerWord_ + msPerChar_ * u.spokenLength;
    timer_.start(int(std::min(ms, 60000.0)));
}

// ---- SSML ----

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
} // namespace

QByteArray SsmlFor(const SpeechText& text, size_t first, size_t last, std::vector<int>* offsets)
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
    for (size_t i = first; i < last && i < text.units.size(); ++i) {
        const SpeechText::Unit& u = text.units[i];
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
        if (offsets)
            offsets->push_back(position());
        appendEscaped(out, QStringView(text.spoken).mid(u.spokenBegin, u.spokenLength));
        if (emphasis)
            out += u"</emphasis>";
        out += u' ';
    }
    closeStyle(style);
    out += u"</speak>";
    return out.toUtf8();
}

size_t ChunkEnd(const SpeechText& text, size_t first, int maxChars)
{
    int chars = 0;
    size_t lastSentenceEnd = 0;
    size_t i = first;
    for (; i < text.units.size(); ++i) {
        const SpeechText::Unit& u = text.units[i];
        chars += u.spokenLength + 1;
        const QChar lastChar = u.spokenLength > 0 ? text.spoken[u.spokenBegin + u.spokenLength - 1] : QChar();
        if (lastChar == u'.' || lastChar == u'!' || lastChar == u'?' || lastChar == u';')
            lastSentenceEnd = i + 1;
        if (chars >= maxChars)
            return lastSentenceEnd > first ? lastSentenceEnd : i + 1;
    }
    return i;
}

// ---- espeak-ng ----

namespace espeak {
namespace {
QMutex initMutex;
std::atomic<bool> initialized{false};
Mode chosenMode = Mode::Playback;
int rate = 0;
std::atomic<EspeakSpeaker*> activeSpeaker{nullptr};
std::vector<short>* captureTarget = nullptr; // Synchronous mode only, under the synthesis lock

int callback(short* wav, int count, espeak_EVENT* events)
{
    if (captureTarget && wav && count > 0)
        captureTarget->insert(captureTarget->end(), wav, wav + count);
    for (espeak_EVENT* e = events; e && e->type != espeakEVENT_LIST_TERMINATED; ++e) {
        if (EspeakSpeaker* s = activeSpeaker.load())
            s->onEvent(int(reinterpret_cast<intptr_t>(e->user_data)), int(e->type), e->text_position);
    }
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

EspeakSpeaker::EspeakSpeaker()
{
    espeak::activeSpeaker = this;
}

EspeakSpeaker::~EspeakSpeaker()
{
    espeak::activeSpeaker = nullptr;
    espeak_Cancel();
}

void EspeakSpeaker::speak(std::shared_ptr<const SpeechText> text)
{
    ++generation_;
    text_ = std::move(text);
    nextUnit_ = 0;
    startChunk();
}

void EspeakSpeaker::stop()
{
    ++generation_;
    text_.reset();
    espeak_Cancel();
}

void EspeakSpeaker::startChunk()
{
    if (!text_)
        return;
    if (nextUnit_ >= text_->units.size()) {
        text_.reset();
        emit finished();
        return;
    }
    chunkFirstUnit_ = nextUnit_;
    const size_t end = ChunkEnd(*text_, nextUnit_);
    chunkOffsets_.clear();
    const QByteArray ssml = SsmlFor(*text_, nextUnit_, end, &chunkOffsets_);
    nextUnit_ = end;
    const espeak_ERROR r = espeak_Synth(ssml.constData(), size_t(ssml.size()) + 1, 0, POS_CHARACTER, 0,
                                        espeakCHARS_UTF8 | espeakSSML, nullptr,
                                        reinterpret_cast<void*>(intptr_t(generation_)));
    if (r != EE_OK) {
        // The synthesiser refused the chunk: show the rest in the balloon rather than stall the queue.
        emit unitReached(int(end) - 1);
        QMetaObject::invokeMethod(this, [this, g = generation_] { if (g == generation_) startChunk(); },
                                  Qt::QueuedConnection);
    }
}

void EspeakSpeaker::onEvent(int generation, int type, int textPosition)
{
    if (type != espeakEVENT_WORD && type != espeakEVENT_MSG_TERMINATED)
        return;
    QMetaObject::invokeMethod(this, [this, generation, type, textPosition] { handleEvent(generation, type, textPosition); },
                              Qt::QueuedConnection);
}

void EspeakSpeaker::handleEvent(int generation, int type, int textPosition)
{
    if (generation != generation_ || !text_)
        return;
    if (type == espeakEVENT_MSG_TERMINATED) {
        if (!chunkOffsets_.empty())
            emit unitReached(int(chunkFirstUnit_ + chunkOffsets_.size()) - 1);
        startChunk();
        return;
    }
    const auto it = std::upper_bound(chunkOffsets_.begin(), chunkOffsets_.end(), textPosition);
    if (it != chunkOffsets_.begin())
        emit unitReached(int(chunkFirstUnit_ + size_t(it - chunkOffsets_.begin()) - 1));
}

// ---- choice ----

bool AudioOutputAvailable()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!qEnvironmentVariableIsEmpty("PULSE_SERVER"))
        return true;
    if (!runtime.isEmpty() && (QFileInfo::exists(runtime + QStringLiteral("/pulse/native")) || QFileInfo::exists(runtime + QStringLiteral("/pipewire-0"))))
        return true;
    QFile cards(QStringLiteral("/proc/asound/cards"));
    if (cards.open(QIODevice::ReadOnly)) {
        const QByteArray text = cards.readAll();
        if (!text.trimmed().isEmpty() && !text.contains("no soundcards"))
            return true;
    }
    return false;
}

std::unique_ptr<SpeechEngine> MakeSpeechEngine(QString* whySilent)
{
    if (!AudioOutputAvailable()) {
        if (whySilent)
            *whySilent = QStringLiteral("no audio device was found, so speech is shown in the balloon only");
        return std::make_unique<SilentSpeaker>();
    }
    QString error;
    if (!espeak::initialize(espeak::Mode::Playback, &error)) {
        if (whySilent)
            *whySilent = error + QStringLiteral(", so speech is shown in the balloon only");
        return std::make_unique<SilentSpeaker>();
    }
    return std::make_unique<EspeakSpeaker>();
}

} // namespace character
