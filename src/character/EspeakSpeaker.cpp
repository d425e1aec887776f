// espeak-ng in process, playing through the audio device; the library is started at the first
#include "EspeakSpeaker.h"

#include "SpeechSsml.h"

#include <espeak-ng/speak_lib.h>

#include <algorithm>

namespace character {

namespace {
// Runs on espeak's thread: the events go on to the UI thread, through the channel of the speaker
// that asked for the message, for as long as that speaker is there.
int onSynth(short*, int, espeak_EVENT* events)
{
    for (espeak_EVENT* e = events; e && e->type != espeakEVENT_LIST_TERMINATED; ++e) {
        if (e->type != espeakEVENT_WORD && e->type != espeakEVENT_MSG_TERMINATED)
            continue;
        if (auto* channel = static_cast<EspeakSpeaker::Channel*>(e->user_data))
            channel->post(e->unique_identifier, int(e->type), e->text_position);
    }
    return 0;
}
} // namespace

void EspeakSpeaker::Channel::post(unsigned message, int type, int textPosition)
{
    QMutexLocker lock(&mutex);
    if (EspeakSpeaker* s = target)
        QMetaObject::invokeMethod(s, [s, message, type, textPosition] { s->handleEvent(message, type, textPosition); },
                                  Qt::QueuedConnection);
}

EspeakSpeaker::EspeakSpeaker() : channel_(std::make_unique<Channel>())
{
    channel_->target = this;
    connect(&fallback_, &SpeechEngine::unitReached, this, &SpeechEngine::unitReached);
    connect(&fallback_, &SpeechEngine::finished, this, &SpeechEngine::finished);
}

EspeakSpeaker::~EspeakSpeaker()
{
    {
        QMutexLocker lock(&channel_->mutex);
        channel_->target = nullptr;
    }
    if (state_ == State::Running) {
        espeak_Cancel();
        espeak_Terminate(); // joins the library's threads: nothing reaches the channel after this
    }
}

bool EspeakSpeaker::start()
{
    if (state_ != State::NotStarted)
        return state_ == State::Running;
    state_ = State::Failed;
    if (espeak_Initialize(AUDIO_OUTPUT_PLAYBACK, 200, nullptr, espeakINITIALIZE_DONT_EXIT) <= 0) {
        emit problem(QStringLiteral("the speech synthesiser could not start (its voice data may be missing), so "
                                    "speech is shown in the balloon only"));
        return false;
    }
    if (espeak_SetVoiceByName("en-us") != EE_OK && espeak_SetVoiceByName("en") != EE_OK) {
        espeak_Terminate();
        emit problem(QStringLiteral("the speech synthesiser has no English voice, so speech is shown in the "
                                    "balloon only"));
        return false;
    }
    espeak_SetSynthCallback(onSynth);
    state_ = State::Running;
    return true;
}

void EspeakSpeaker::speak(std::shared_ptr<const SpeechText> text)
{
    if (!start()) {
        fallback_.speak(std::move(text));
        return;
    }
    text_ = std::move(text);
    nextUnit_ = 0;
    startChunk();
}

void EspeakSpeaker::stop()
{
    if (state_ != State::Running) {
        fallback_.stop();
        return;
    }
    text_.reset();
    message_ = 0;
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
    unsigned id = 0;
    const espeak_ERROR r = espeak_Synth(ssml.constData(), size_t(ssml.size()) + 1, 0, POS_CHARACTER, 0,
                                        espeakCHARS_UTF8 | espeakSSML, &id, channel_.get());
    message_ = id;
    if (r != EE_OK) {
        // The synthesiser refused the chunk: show the rest in the balloon rather than stall the queue.
        message_ = 0;
        emit unitReached(int(end) - 1);
        QMetaObject::invokeMethod(this, [this, text = text_] { if (text == text_) startChunk(); },
                                  Qt::QueuedConnection);
    }
}

void EspeakSpeaker::handleEvent(unsigned message, int type, int textPosition)
{
    if (!text_ || message != message_)
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

} // namespace character
