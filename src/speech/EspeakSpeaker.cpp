// espeak-ng in process, playing through the audio device.
#include "EspeakSpeaker.h"

#include "SpeechSsml.h"
#include "platform/Library.h"

#include <espeak-ng/speak_lib.h>

#include <algorithm>
#include <cstdint>
#include <mutex>

namespace speech {

// Opened as the speaker starts: with speech-dispatcher there, the library and the sound libraries
// it brings are never loaded.
struct EspeakFunctions {
    decltype(&::espeak_Initialize) espeak_Initialize = nullptr;
    decltype(&::espeak_SetVoiceByName) espeak_SetVoiceByName = nullptr;
    decltype(&::espeak_SetSynthCallback) espeak_SetSynthCallback = nullptr;
    decltype(&::espeak_Synth) espeak_Synth = nullptr;
    decltype(&::espeak_Cancel) espeak_Cancel = nullptr;
    decltype(&::espeak_Terminate) espeak_Terminate = nullptr;

    platform::Result<> open()
    {
        const auto library = platform::Library::Open(QStringLiteral("espeak-ng"), 1);
        if (!library)
            return platform::Fail(library.why());
        platform::FunctionTable table{&*library};
        table(espeak_Initialize, "espeak_Initialize");
        table(espeak_SetVoiceByName, "espeak_SetVoiceByName");
        table(espeak_SetSynthCallback, "espeak_SetSynthCallback");
        table(espeak_Synth, "espeak_Synth");
        table(espeak_Cancel, "espeak_Cancel");
        table(espeak_Terminate, "espeak_Terminate");
        return table.complete(QStringLiteral("it"));
    }
};

namespace {
// A word takes well under this; a library that says nothing for so long plays to no device.
constexpr int stallMs = 4000;
// Stopping waits this long for the library to let go of the sound device.
constexpr int finishMs = 3000;

// The library is one per process, with one callback: which speaker holds it, and where its events go.
// The program's one piece of such state, as the library is.
struct Library {
    std::mutex mutex;
    bool taken = false;
    EspeakSpeaker* speaker = nullptr;
};
Library& library()
{
    static Library l;
    return l;
}

// On espeak's thread: the events go to the speaker that holds the library, for as long as it is there.
int onSynth(short*, int, espeak_EVENT* events)
{
    const std::lock_guard lock(library().mutex);
    EspeakSpeaker* s = library().speaker;
    for (espeak_EVENT* e = events; s && e && e->type != espeakEVENT_LIST_TERMINATED; ++e)
        if (e->type == espeakEVENT_WORD || e->type == espeakEVENT_MSG_TERMINATED)
            s->libraryEvent(unsigned(reinterpret_cast<uintptr_t>(e->user_data)), int(e->type), e->text_position);
    return 0;
}

// Off the UI thread: started, or the problem to tell the user.
platform::Result<> startLibrary(EspeakFunctions& espeak)
{
    if (const auto opened = espeak.open(); !opened)
        return platform::Fail(QStringLiteral("the speech synthesiser espeak-ng cannot be used (%1), so speech is shown "
                                             "in the balloon only").arg(opened.why()));
    if (espeak.espeak_Initialize(AUDIO_OUTPUT_PLAYBACK, 200, nullptr, espeakINITIALIZE_DONT_EXIT) <= 0)
        return platform::Fail(QStringLiteral("the speech synthesiser could not start (its voice data may be missing), "
                                             "so speech is shown in the balloon only"));
    if (espeak.espeak_SetVoiceByName("en-us") != EE_OK && espeak.espeak_SetVoiceByName("en") != EE_OK) {
        espeak.espeak_Terminate();
        return platform::Fail(
            QStringLiteral("the speech synthesiser has no English voice, so speech is shown in the balloon only"));
    }
    espeak.espeak_SetSynthCallback(onSynth);
    // The library opens the sound server's stream at its first sound, which takes a second or more:
    // a moment of silence has it do so now, on its own thread, rather than when the user is waiting.
    static const char silence[] = "<speak><break time=\"1ms\"/></speak>";
    espeak.espeak_Synth(silence, sizeof silence, 0, POS_CHARACTER, 0, espeakCHARS_UTF8 | espeakSSML, nullptr, nullptr);
    return {};
}
} // namespace

EspeakSpeaker::EspeakSpeaker() : espeak_(std::make_shared<EspeakFunctions>())
{
    stall_.setSingleShot(true);
    stall_.setInterval(stallMs);
    connect(&stall_, &QTimer::timeout, this, &EspeakSpeaker::stalled);
    connect(&fallback_, &SpeechEngine::unitReached, this, &SpeechEngine::unitReached);
    connect(&fallback_, &SpeechEngine::finished, this, &SpeechEngine::finished);
}

EspeakSpeaker::~EspeakSpeaker()
{
    if (!holdsLibrary_)
        return;
    {
        const std::lock_guard lock(library().mutex);
        library().speaker = nullptr; // nothing more reaches this object
    }
    calls_.post([live = live_, espeak = espeak_] {
        if (*live) {
            espeak->espeak_Cancel();
            espeak->espeak_Terminate(); // joins the library's threads
        }
    });
    // A sound device that never lets go keeps only that thread, and the library stays taken.
    if (calls_.finish(finishMs)) {
        const std::lock_guard lock(library().mutex);
        library().taken = false;
    }
}

void EspeakSpeaker::libraryStarted(const QString& problem)
{
    mail_.post([this, problem] { started(problem); });
}

void EspeakSpeaker::libraryEvent(unsigned chunk, int type, int textPosition)
{
    mail_.post([this, chunk, type, textPosition] { handleEvent(chunk, type, textPosition); });
}

void EspeakSpeaker::prepare()
{
    if (state_ != State::NotStarted)
        return;
    {
        const std::lock_guard lock(library().mutex);
        holdsLibrary_ = !library().taken;
        if (holdsLibrary_) {
            library().taken = true;
            library().speaker = this;
        }
    }
    if (!holdsLibrary_) {
        state_ = State::Failed;
        emit problem(QStringLiteral("espeak-ng is already speaking for another part of this program, so this "
                                    "speech is shown in the balloon only"));
        return;
    }
    state_ = State::Starting;
    calls_.post([live = live_, espeak = espeak_] {
        const auto started = startLibrary(*espeak);
        *live = started.ok();
        const std::lock_guard lock(library().mutex);
        if (EspeakSpeaker* s = library().speaker)
            s->libraryStarted(started.why());
    });
}

void EspeakSpeaker::started(const QString& problem)
{
    state_ = problem.isEmpty() ? State::Running : State::Failed;
    if (!problem.isEmpty())
        emit this->problem(problem);
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
    chunk_ = 0;
    stall_.stop();
    calls_.post([espeak = espeak_] { espeak->espeak_Cancel(); });
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
    chunk_ = ++lastChunk_;
    stall_.start();
    calls_.post([ssml, chunk = chunk_, espeak = espeak_] {
        unsigned id = 0;
        if (espeak->espeak_Synth(ssml.constData(), size_t(ssml.size()) + 1, 0, POS_CHARACTER, 0, espeakCHARS_UTF8 | espeakSSML,
                         &id, reinterpret_cast<void*>(uintptr_t(chunk))) == EE_OK)
            return;
        // The synthesiser refused the chunk: it is shown in the balloon and the rest goes on.
        const std::lock_guard lock(library().mutex);
        if (EspeakSpeaker* s = library().speaker)
            s->libraryEvent(chunk, espeakEVENT_MSG_TERMINATED, 0);
    });
}

void EspeakSpeaker::handleEvent(unsigned chunk, int type, int textPosition)
{
    if (!text_ || chunk != chunk_)
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
    calls_.post([espeak = espeak_] { espeak->espeak_Cancel(); });
    state_ = State::Failed;
    emit problem(QStringLiteral("the speech synthesiser could not play its sound (the audio device may not be "
                                "working), so speech is shown in the balloon only"));
    if (auto text = std::move(text_))
        fallback_.speakFrom(std::move(text), size_t(lastUnit_ + 1));
}

} // namespace speech
