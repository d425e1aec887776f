// espeak-ng in process, playing through the audio device.
#include "EspeakSpeaker.h"

#include "SpeechSsml.h"

#include <espeak-ng/speak_lib.h>

#include <algorithm>
#include <atomic>

namespace speech {

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
    const std::lock_guard lock(mutex);
    if (EspeakSpeaker* s = target)
        s->mail_.post([s, message, type, textPosition] { s->handleEvent(message, type, textPosition); });
}

namespace {
// A word takes well under this; a library that says nothing for so long plays to no device.
constexpr int stallMs = 4000;

// The library is one per process, with one callback: a second speaker starting it would take the
// first one's words and stop it when done. The program's one flag, as the library is its one state.
std::atomic<bool> libraryTaken{false};

// Off the UI thread: the problem to tell the user, or nothing.
QString startLibrary(espeak_AUDIO_OUTPUT output)
{
    if (espeak_Initialize(output, 200, nullptr, espeakINITIALIZE_DONT_EXIT) <= 0)
        return QStringLiteral("the speech synthesiser could not start (its voice data may be missing), so speech is "
                              "shown in the balloon only");
    if (espeak_SetVoiceByName("en-us") != EE_OK && espeak_SetVoiceByName("en") != EE_OK) {
        espeak_Terminate();
        return QStringLiteral("the speech synthesiser has no English voice, so speech is shown in the balloon only");
    }
    espeak_SetSynthCallback(onSynth);
    // The library opens the sound server's stream at its first sound, which takes a second or more:
    // a moment of silence has it do so now, on its own thread, rather than when the user is waiting.
    static const char silence[] = "<speak><break time=\"1ms\"/></speak>";
    espeak_Synth(silence, sizeof silence, 0, POS_CHARACTER, 0, espeakCHARS_UTF8 | espeakSSML, nullptr, nullptr);
    return {};
}
} // namespace

EspeakSpeaker::EspeakSpeaker() : channel_(std::make_unique<Channel>())
{
    channel_->target = this;
    stall_.setSingleShot(true);
    stall_.setInterval(stallMs);
    connect(&stall_, &QTimer::timeout, this, &EspeakSpeaker::stalled);
    connect(&fallback_, &SpeechEngine::unitReached, this, &SpeechEngine::unitReached);
    connect(&fallback_, &SpeechEngine::finished, this, &SpeechEngine::finished);
}

EspeakSpeaker::~EspeakSpeaker()
{
    {
        const std::lock_guard lock(channel_->mutex);
        channel_->target = nullptr;
    }
    if (starter_.joinable()) {
        starter_.join();
        initialized_ = startProblem_.isEmpty();
    }
    if (initialized_) {
        espeak_Cancel();
        espeak_Terminate(); // joins the library's threads: nothing reaches the channel after this
    }
    if (holdsLibrary_)
        libraryTaken = false;
}

void EspeakSpeaker::prepare()
{
    if (state_ != State::NotStarted)
        return;
    if (libraryTaken.exchange(true)) {
        state_ = State::Failed;
        emit problem(QStringLiteral("espeak-ng is already speaking for another part of this program, so this "
                                    "speech is shown in the balloon only"));
        return;
    }
    holdsLibrary_ = true;
    state_ = State::Starting;
    starter_ = std::thread([this] {
        startProblem_ = startLibrary(AUDIO_OUTPUT_PLAYBACK);
        mail_.post([this] { started(); });
    });
}

void EspeakSpeaker::started()
{
    starter_.join();
    const QString why = startProblem_;
    initialized_ = why.isEmpty();
    state_ = initialized_ ? State::Running : State::Failed;
    if (!why.isEmpty())
        emit problem(why);
    if (auto text = std::move(waiting_))
        speak(std::move(text));
}

void EspeakSpeaker::speak(std::shared_ptr<const SpeechText> text)
{
    prepare();
    if (state_ == State::Starting) {
        waiting_ = std::move(text);
        return;
    }
    if (state_ == State::Failed) {
        fallback_.speak(std::move(text));
        return;
    }
    text_ = std::move(text);
    nextUnit_ = 0;
    lastUnit_ = -1;
    startChunk();
}

void EspeakSpeaker::stop()
{
    waiting_.reset();
    if (state_ != State::Running) {
        fallback_.stop();
        return;
    }
    text_.reset();
    message_ = 0;
    stall_.stop();
    espeak_Cancel();
}

void EspeakSpeaker::startChunk()
{
    if (!text_)
        return;
    if (nextUnit_ >= text_->units.size()) {
        text_.reset();
        stall_.stop();
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
    stall_.start();
    if (r != EE_OK) {
        // The synthesiser refused the chunk: show the rest in the balloon rather than stall the queue.
        message_ = 0;
        reachUnit(int(end) - 1);
        mail_.post([this, text = text_] { if (text == text_) startChunk(); });
    }
}

void EspeakSpeaker::handleEvent(unsigned message, int type, int textPosition)
{
    if (!text_ || message != message_)
        return;
    stall_.start();
    if (type == espeakEVENT_MSG_TERMINATED) {
        if (!chunkOffsets_.empty())
            reachUnit(int(chunkFirstUnit_ + chunkOffsets_.size()) - 1);
        startChunk();
        return;
    }
    const auto it = std::upper_bound(chunkOffsets_.begin(), chunkOffsets_.end(), textPosition);
    if (it != chunkOffsets_.begin())
        reachUnit(int(chunkFirstUnit_ + size_t(it - chunkOffsets_.begin()) - 1));
}

void EspeakSpeaker::reachUnit(int unit)
{
    lastUnit_ = std::max(lastUnit_, unit);
    emit unitReached(unit);
}

// The library took the text and never said a word: its audio device is there on paper only. The
// rest of the text, and all that follow, are paced in silence rather than waited for forever.
void EspeakSpeaker::stalled()
{
    espeak_Cancel();
    state_ = State::Failed;
    emit problem(QStringLiteral("the speech synthesiser could not play its sound (the audio device may not be "
                                "working), so speech is shown in the balloon only"));
    if (auto text = std::move(text_))
        fallback_.speakFrom(std::move(text), size_t(lastUnit_ + 1));
}

} // namespace speech
