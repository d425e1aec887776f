// Speech through the desktop's speech-dispatcher, in the voice its user chose there or in the settings.
#include "SpeechDispatcherSpeaker.h"

#include "Log.h"
#include "SpeechSsml.h"

#include <libspeechd.h>

#include <QStringList>
#include <algorithm>
#include <climits>
#include <condition_variable>
#include <cstdlib>
#include <map>
#include <mutex>
#include <optional>
#include <poll.h>
#include <pthread.h>

namespace speech {

namespace {
// A daemon started for us answers in about 0.4 s, and its warm-up ends about 2 s later.
constexpr int connectLimitMs = 8000;
// The daemon marks every word; silence beyond this and the text's own pauses means it plays nowhere.
constexpr int stallMs = 4000;
constexpr int watchEveryMs = 50;
constexpr int closeGraceMs = 500;
constexpr size_t earlyLimit = 256;
const QString fallbackSummary = QStringLiteral("Genie speaks with espeak-ng");

QStringList takeList(char** items)
{
    QStringList out;
    for (char** i = items; i && *i; ++i)
        out << QString::fromUtf8(*i);
    return out;
}

QStringList modulesOf(SPDConnection* c)
{
    char** modules = spd_list_modules(c);
    QStringList out = takeList(modules);
    if (modules)
        free_spd_modules(modules);
    out.removeAll(QStringLiteral("dummy")); // says nothing
    return out;
}

QString currentModule(SPDConnection* c)
{
    char* m = spd_get_output_module(c);
    const QString out = QString::fromUtf8(m);
    std::free(m);
    return out;
}

bool isEnglish(const QString& language)
{
    return language.startsWith(QStringLiteral("en"), Qt::CaseInsensitive);
}

template <class Use> void eachVoice(SPDConnection* c, Use use)
{
    SPDVoice** voices = spd_list_synthesis_voices(c);
    for (SPDVoice** v = voices; v && *v; ++v)
        use(QString::fromUtf8((*v)->name), QString::fromUtf8((*v)->language));
    if (voices)
        free_spd_voices(voices);
}

void onEvent(size_t message, size_t client, SPDNotificationType type);
void onMark(size_t message, size_t client, SPDNotificationType type, char* mark);
} // namespace

struct SpeechDispatcherSpeaker::Channel : std::enable_shared_from_this<Channel> {
    SpeechDispatcherSpeaker* speaker = nullptr; // under the registry's lock; null once nobody listens
    // Only on the call thread:
    SPDConnection* connection = nullptr;
    std::optional<size_t> client;

    // From any thread: runs `f` on the speaker's thread, if this is still its connection by then.
    template <class F> void post(F f);
    static void deliver(size_t message, size_t client, int type, const char* mark);

    void open(const VoiceSettings& voice);
    void say(const QByteArray& ssml, int sequence);
    void cancel()
    {
        if (connection)
            spd_cancel(connection);
    }
    void close();
};

namespace {
// libspeechd's callbacks carry the connection's client id and no pointer of ours: they find their
// speaker's channel here.
struct Registry {
    std::mutex mutex;
    std::map<size_t, std::shared_ptr<SpeechDispatcherSpeaker::Channel>> channels;
};
Registry& registry()
{
    static Registry r;
    return r;
}

void onEvent(size_t message, size_t client, SPDNotificationType type)
{
    SpeechDispatcherSpeaker::Channel::deliver(message, client, int(type), nullptr);
}
void onMark(size_t message, size_t client, SPDNotificationType type, char* mark)
{
    SpeechDispatcherSpeaker::Channel::deliver(message, client, int(type), mark);
}
} // namespace

template <class F> void SpeechDispatcherSpeaker::Channel::post(F f)
{
    std::lock_guard<std::mutex> lock(registry().mutex);
    if (SpeechDispatcherSpeaker* s = speaker)
        s->mail_.post([s, self = shared_from_this(), f = std::move(f)] {
            if (s->channel_ == self)
                f(*s);
        });
}

// On libspeechd's thread.
void SpeechDispatcherSpeaker::Channel::deliver(size_t message, size_t client, int type, const char* mark)
{
    // spd_close ends this thread with pthread_cancel; unwinding our frames from a cancellation point
    // (posting the event writes to the event loop's pipe) would abort the program.
    int cancelState = 0;
    pthread_setcancelstate(PTHREAD_CANCEL_DISABLE, &cancelState);
    {
        char* end = nullptr;
        const long n = mark ? std::strtol(mark, &end, 10) : -1;
        const int unit = mark && end != mark && *end == 0 && n >= 0 && n < INT_MAX ? int(n) : -1;
        const Event e{message <= INT_MAX ? int(message) : -2, type, unit};
        std::shared_ptr<Channel> channel;
        {
            std::lock_guard<std::mutex> lock(registry().mutex);
            if (auto it = registry().channels.find(client); it != registry().channels.end())
                channel = it->second;
        }
        if (channel)
            channel->post([e](SpeechDispatcherSpeaker& s) { s.event(e); });
    }
    pthread_setcancelstate(cancelState, nullptr);
}

void SpeechDispatcherSpeaker::Channel::open(const VoiceSettings& voice)
{
    auto unusable = [this](const QString& why) {
        post([why](SpeechDispatcherSpeaker& s) { s.fallBack(why, false); });
    };
    char* error = nullptr;
    // With the desktop's address and its autospawn, as every other speaking program.
    connection = spd_open2("varrow", "genie", nullptr, SPD_MODE_THREADED, nullptr, 1, &error);
    const QString why = QString::fromUtf8(error).simplified();
    std::free(error);
    if (!connection)
        return unusable(QStringLiteral("speech-dispatcher could not be reached (%1)").arg(why));
    const int id = spd_get_client_id(connection);
    if (id < 0)
        return unusable(QStringLiteral("speech-dispatcher did not answer"));
    client = size_t(id);
    {
        std::lock_guard<std::mutex> lock(registry().mutex);
        registry().channels[*client] = shared_from_this();
    }
    connection->callback_begin = connection->callback_end = connection->callback_cancel = onEvent;
    connection->callback_im = onMark;
    for (SPDNotification n : {SPD_BEGIN, SPD_END, SPD_CANCEL, SPD_INDEX_MARKS})
        spd_set_notification_on(connection, n);
    spd_set_data_mode(connection, SPD_DATA_SSML);

    const QStringList modules = modulesOf(connection);
    if (modules.isEmpty())
        return unusable(QStringLiteral("speech-dispatcher has no speech module"));
    if (!voice.module.isEmpty() && modules.contains(voice.module)) {
        spd_set_output_module(connection, voice.module.toUtf8().constData());
    } else if (!voice.module.isEmpty()) {
        const QString why = QStringLiteral("the setting SpeechModule names \"%1\", which speech-dispatcher does not "
                                           "have (it has %2); its default module is used.")
                                .arg(voice.module.left(40), modules.join(QStringLiteral(", ")));
        post([why](SpeechDispatcherSpeaker& s) { emit s.notice(QStringLiteral("A setting was not understood"), why); });
    }
    // Genie speaks English; a user whose default is another language still has their module and rate.
    char* language = spd_get_language(connection);
    if (!isEnglish(QString::fromUtf8(language)))
        spd_set_language(connection, "en");
    std::free(language);
    if (!voice.voice.isEmpty())
        spd_set_synthesis_voice(connection, voice.voice.toUtf8().constData());
    if (voice.rate)
        spd_set_voice_rate(connection, *voice.rate);
    if (voice.pitch)
        spd_set_voice_pitch(connection, *voice.pitch);
    // A daemon plays its first message over a second late, while it opens its sound stream: it does
    // that now, on something nobody hears.
    const int volume = voice.volume ? *voice.volume : spd_get_volume(connection);
    spd_set_volume(connection, -100);
    const int warmUp = spd_say(connection, SPD_TEXT, "<speak>a</speak>");
    spd_set_volume(connection, volume);
    if (warmUp < 0)
        return unusable(QStringLiteral("speech-dispatcher did not take a text"));
    const int socket = connection->socket;
    const QString module = currentModule(connection);
    post([socket, warmUp, module](SpeechDispatcherSpeaker& s) { s.connected(socket, warmUp, module); });

    // A voice it does not know is taken without a word and another used: look for it (this takes seconds).
    if (voice.voice.isEmpty())
        return;
    bool found = false;
    eachVoice(connection, [&](const QString& name, const QString&) { found = found || name == voice.voice; });
    if (!found) {
        const QString why = QStringLiteral("the setting SpeechVoice names \"%1\", which speech-dispatcher's module %2 "
                                           "does not have (varrow --voices lists them); its default voice is used.")
                                .arg(voice.voice.left(60), module);
        post([why](SpeechDispatcherSpeaker& s) { emit s.notice(QStringLiteral("A setting was not understood"), why); });
    }
}

void SpeechDispatcherSpeaker::Channel::say(const QByteArray& ssml, int sequence)
{
    const int message = connection ? spd_say(connection, SPD_TEXT, ssml.constData()) : -1;
    post([sequence, message](SpeechDispatcherSpeaker& s) { s.said(sequence, message); });
}

void SpeechDispatcherSpeaker::Channel::close()
{
    if (connection)
        spd_close(connection); // joins libspeechd's thread: no callback comes after it
    connection = nullptr;
    if (!client)
        return;
    std::lock_guard<std::mutex> lock(registry().mutex);
    if (auto it = registry().channels.find(*client); it != registry().channels.end() && it->second.get() == this)
        registry().channels.erase(it);
}

// ---- on the speaker's thread ----

SpeechDispatcherSpeaker::SpeechDispatcherSpeaker(VoiceSettings voice, Fallback fallback)
    : voice_(std::move(voice)), makeFallback_(std::move(fallback))
{
    stall_.setSingleShot(true);
    connect(&stall_, &QTimer::timeout, this, [this] {
        fallBack(QStringLiteral("speech-dispatcher did not answer (its sound may have nowhere to go)"), false);
    });
    watch_.setInterval(watchEveryMs);
    connect(&watch_, &QTimer::timeout, this, &SpeechDispatcherSpeaker::checkAlive);
}

void SpeechDispatcherSpeaker::prepare()
{
    // Not made at construction: the daemon's warm-up would take the CPU from the program's start.
    if (state_ == State::Connecting && !channel_)
        connectDaemon();
}

SpeechDispatcherSpeaker::~SpeechDispatcherSpeaker()
{
    leaveConnection(closeGraceMs);
}

void SpeechDispatcherSpeaker::connectDaemon()
{
    channel_ = std::make_shared<Channel>();
    {
        std::lock_guard<std::mutex> lock(registry().mutex);
        channel_->speaker = this;
    }
    calls_ = std::make_unique<CallThread>();
    calls_->post([channel = channel_, voice = voice_] { channel->open(voice); });
    stall_.start(connectLimitMs);
}

// Closes the connection on its own thread, which is left behind if the daemon holds it.
void SpeechDispatcherSpeaker::leaveConnection(int graceMs)
{
    if (!channel_)
        return;
    {
        std::lock_guard<std::mutex> lock(registry().mutex);
        channel_->speaker = nullptr;
    }
    calls_->post([channel = channel_] { channel->close(); });
    calls_->finish(graceMs);
    calls_.reset();
    channel_.reset();
    socket_ = warmUp_ = message_ = -1;
    early_.clear();
    stall_.stop();
    watch_.stop();
}

void SpeechDispatcherSpeaker::connected(int socket, int warmUp, const QString& module)
{
    qCInfo(lcSpeech) << "speech-dispatcher answered; module" << module;
    socket_ = socket;
    warmUp_ = warmUp;
    if (text_)
        watch_.start();
    for (const Event& e : std::exchange(early_, {}))
        event(e);
}

void SpeechDispatcherSpeaker::said(int sequence, int message)
{
    if (sequence != sequence_ || !text_)
        return; // stopped since
    if (message < 0)
        return fallBack(QStringLiteral("speech-dispatcher went away"), true);
    message_ = message;
    for (const Event& e : std::exchange(early_, {}))
        event(e);
}

void SpeechDispatcherSpeaker::event(const Event& e)
{
    if (e.message == warmUp_) {
        if (e.type != SPD_EVENT_END && e.type != SPD_EVENT_CANCEL)
            return;
        warmUp_ = -1;
        state_ = State::Ready;
        tryAgain_ = false;
        if (text_)
            stall_.start(stallMs);
        else
            stall_.stop();
        return;
    }
    if (text_ && e.message == message_)
        return handle(e);
    const bool waitingForId = (warmUp_ < 0 && state_ != State::Ready) || (text_ && message_ < 0);
    if (waitingForId && early_.size() < earlyLimit)
        early_.push_back(e);
}

void SpeechDispatcherSpeaker::handle(const Event& e)
{
    if (state_ == State::Ready)
        stall_.start(stallMs + text_->units[chunkFirst_].pauseBeforeMs);
    switch (e.type) {
    case SPD_EVENT_BEGIN:
        if (unmarked_) // a module that marks nothing: the stretch shows as it starts rather than as it ends
            reachUnit(int(chunkEnd_) - 1);
        return;
    case SPD_EVENT_INDEX_MARK:
        if (e.mark >= int(chunkFirst_) && e.mark < int(chunkEnd_)) {
            unmarked_ = false;
            chunkMarked_ = true;
            reachUnit(e.mark);
            if (size_t(e.mark) + 1 < chunkEnd_ && state_ == State::Ready)
                stall_.start(stallMs + text_->units[size_t(e.mark) + 1].pauseBeforeMs);
        }
        return;
    case SPD_EVENT_END:
    case SPD_EVENT_CANCEL: // another program's speech may cancel ours: go on with the rest
        unmarked_ = unmarked_ || !chunkMarked_;
        reachUnit(int(chunkEnd_) - 1);
        message_ = -1;
        return sendChunk();
    default:
        return;
    }
}

void SpeechDispatcherSpeaker::speak(std::shared_ptr<const SpeechText> text)
{
    if (state_ == State::Lost) {
        // A daemon that went away may be back (restarted, or started anew): the next text will tell.
        if (tryAgain_ && !channel_) {
            tryAgain_ = false;
            connectDaemon();
        }
        return speakWithFallback(std::move(text), 0);
    }
    prepare();
    text_ = std::move(text);
    nextUnit_ = 0;
    lastUnit_ = -1;
    early_.clear();
    sendChunk();
}

void SpeechDispatcherSpeaker::sendChunk()
{
    if (!text_)
        return;
    if (nextUnit_ >= text_->units.size()) {
        text_.reset();
        watch_.stop();
        if (state_ == State::Ready)
            stall_.stop();
        emit finished();
        return;
    }
    chunkFirst_ = nextUnit_;
    chunkEnd_ = ChunkEnd(*text_, nextUnit_);
    nextUnit_ = chunkEnd_;
    message_ = -1;
    chunkMarked_ = false;
    const int sequence = ++sequence_;
    calls_->post([channel = channel_, ssml = SsmlWithMarks(*text_, chunkFirst_, chunkEnd_), sequence] {
        channel->say(ssml, sequence);
    });
    if (state_ == State::Ready) // while connecting, the limit on that runs
        stall_.start(stallMs + text_->units[chunkFirst_].pauseBeforeMs);
    if (socket_ >= 0)
        watch_.start();
}

void SpeechDispatcherSpeaker::stop()
{
    if (fallbackSpeaking_) {
        fallbackSpeaking_ = false;
        fallback_->stop();
    }
    if (!text_)
        return;
    text_.reset();
    message_ = -1;
    early_.clear();
    watch_.stop();
    if (state_ == State::Ready)
        stall_.stop();
    calls_->post([channel = channel_] { channel->cancel(); });
}

void SpeechDispatcherSpeaker::reachUnit(int unit)
{
    if (unit <= lastUnit_)
        return;
    lastUnit_ = unit;
    emit unitReached(unit);
}

// A daemon killed mid-sentence tells nothing; its end of the socket tells at once. Polling reads
// nothing, so libspeechd's own reader is left alone.
void SpeechDispatcherSpeaker::checkAlive()
{
    pollfd p{socket_, POLLRDHUP, 0};
    if (socket_ >= 0 && ::poll(&p, 1, 0) > 0 && (p.revents & (POLLRDHUP | POLLHUP | POLLERR | POLLNVAL)))
        fallBack(QStringLiteral("speech-dispatcher went away"), true);
}

void SpeechDispatcherSpeaker::fallBack(const QString& why, bool tryAgain)
{
    qCInfo(lcSpeech) << "falling back to espeak-ng:" << why;
    leaveConnection(0);
    state_ = State::Lost;
    tryAgain_ = tryAgain;
    emit notice(fallbackSummary, why + QStringLiteral(", so Genie speaks with espeak-ng's own voice."));
    // Its sound output takes a second or more to open: opened now, its first word is not late.
    ensureFallback();
    // Marks come about a word early: the word marked last may not have been heard yet.
    if (auto text = std::exchange(text_, nullptr))
        speakWithFallback(std::move(text), size_t(std::max(lastUnit_, 0)));
}

void SpeechDispatcherSpeaker::ensureFallback()
{
    if (!fallback_) {
        fallback_ = makeFallback_();
        connect(fallback_.get(), &SpeechEngine::unitReached, this,
                [this](int unit) { emit unitReached(int(fallbackFirst_) + unit); });
        connect(fallback_.get(), &SpeechEngine::finished, this, [this] {
            fallbackSpeaking_ = false;
            emit finished();
        });
        connect(fallback_.get(), &SpeechEngine::problem, this, &SpeechEngine::problem);
        connect(fallback_.get(), &SpeechEngine::notice, this, &SpeechEngine::notice);
        fallback_->prepare();
    }
}

void SpeechDispatcherSpeaker::speakWithFallback(std::shared_ptr<const SpeechText> text, size_t first)
{
    ensureFallback();
    fallbackFirst_ = first;
    fallbackSpeaking_ = true;
    if (first > 0) {
        auto rest = std::make_shared<SpeechText>(*text);
        rest->units.erase(rest->units.begin(), rest->units.begin() + long(std::min(first, rest->units.size())));
        text = std::move(rest);
    }
    fallback_->speak(std::move(text));
}

platform::Result<std::vector<SpeechDispatcherSpeaker::Voice>> SpeechDispatcherSpeaker::voices(int timeoutMs)
{
    struct Listing {
        std::mutex mutex;
        std::condition_variable done;
        std::optional<platform::Result<std::vector<Voice>>> result;
    };
    auto listing = std::make_shared<Listing>();
    CallThread calls; // a daemon that does not answer is left to it
    calls.post([listing] {
        auto list = [](SPDConnection* c) -> platform::Result<std::vector<Voice>> {
            QStringList modules = modulesOf(c);
            if (modules.isEmpty())
                return platform::Fail(QStringLiteral("speech-dispatcher has no speech module."));
            const QString first = currentModule(c);
            if (modules.removeAll(first))
                modules.prepend(first);
            std::vector<Voice> voices;
            for (const QString& module : std::as_const(modules)) {
                spd_set_output_module(c, module.toUtf8().constData());
                eachVoice(c, [&](const QString& name, const QString& language) {
                    if (isEnglish(language) || language.isEmpty() || language == u"none")
                        voices.push_back({module, name, language});
                });
            }
            return voices;
        };
        char* error = nullptr;
        SPDConnection* c = spd_open2("varrow", "voices", nullptr, SPD_MODE_SINGLE, nullptr, 1, &error);
        platform::Result<std::vector<Voice>> result =
            c ? list(c)
              : platform::Fail(QStringLiteral("speech-dispatcher could not be reached (%1).")
                                   .arg(QString::fromUtf8(error).simplified()));
        std::free(error);
        if (c)
            spd_close(c);
        std::lock_guard<std::mutex> lock(listing->mutex);
        listing->result = std::move(result);
        listing->done.notify_all();
    });
    std::unique_lock<std::mutex> lock(listing->mutex);
    if (!listing->done.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return listing->result.has_value(); }))
        return platform::Fail(QStringLiteral("speech-dispatcher did not answer within %1 s.").arg(timeoutMs / 1000));
    return std::move(*listing->result);
}

} // namespace speech
