// Voice commands heard by the recogniser on a thread of its own, from a microphone or a sound file.
#include "SphinxVoiceInput.h"

#include "platform/Mailbox.h"
#include "Microphone.h"
#include "ProfileStore.h"
#include "SoundFile.h"
#include "SpeechEnd.h"

#include <QFile>
#include <QTimer>
#include <algorithm>
#include <cstring>
#include <optional>
#include <utility>

namespace voice {

// Lives on the listening thread: owns the decoder and the sound source.
class VoiceWorker : public QObject {
    Q_OBJECT
public:
    VoiceWorker(std::unique_ptr<AudioSource> source, DecoderSettings settings)
        : source_(std::move(source)), settings_(std::move(settings))
    {
    }
    // What the listening thread is asked to do, in order.
    platform::Mailbox& calls() { return calls_; }

    void setUp()
    {
        poll_ = new QTimer(this);
        connect(poll_, &QTimer::timeout, this, &VoiceWorker::readChunk);
        // The sound server is not asked at start: its library, and the dozen it brings, stay out of
        // memory until the user first talks, and whatever is wrong is told then.
    }
    void tearDown()
    {
        if (source_ && listening_)
            source_->stop();
        listening_ = false;
        delete poll_;
        poll_ = nullptr;
        source_.reset();
        decoder_.reset();
    }
    void setPhrases(const std::vector<voice::VoicePhrase>& phrases)
    {
        phrases_ = phrases;
        if (decoder_)
            decoder_->setPhrases(phrases);
    }
    void start(bool untilSilence)
    {
        if (!source_ || listening_)
            return;
        if (const platform::Result<> started = source_->start(); !started) {
            emit microphoneFailed(started.why());
            return;
        }
        emit recording();
        // The sound server keeps what the microphone hears while the model loads.
        if (!loadDecoder()) {
            source_->stop();
            return;
        }
        loadProfile(source_->name());
        speechEnd_.reset();
        judged_ = 0;
        if (untilSilence)
            speechEnd_.emplace();
        decoder_->begin();
        listening_ = true;
        poll_->start(0);
    }
    void stop()
    {
        if (!listening_)
            return;
        listening_ = false;
        poll_->stop();
        // What the device captured before the key went up is the end of the phrase.
        const std::vector<short> rest = source_->stop();
        decoder_->feed(rest.data(), rest.size());
        if (!reading_.isEmpty()) {
            Reading r = decoder_->endReading(reading_);
            r.microphone = profileFor_;
            emit readingDone(r);
            return;
        }
        const Outcome o = decoder_->end();
        if (learning_ && !o.heard.command.isEmpty() && o.margin >= settings_.rejection.keepMargin)
            emit keepable(profileFor_, o.heard.command, o.heard.phrase, Room{o.rawSound, o.voiceOverRoomDb},
                          decoder_->heardSound());
        emit result(o.heard.command, o.heard.phrase);
    }
    void setProfileStore(const QString& root)
    {
        store_ = root;
        profileLoaded_ = false;
    }
    void reloadProfile()
    {
        // The stored profile may be gone: nothing of it stays in use until it is loaded again.
        profileLoaded_ = false;
        if (decoder_)
            decoder_->setProfile(std::nullopt);
    }
    void setReading(const QString& sentence) { reading_ = sentence; }
    void setLearning(bool on) { learning_ = on; }

signals:
    void result(const QString& command, const QString& phrase);
    void readingDone(const voice::Reading& reading);
    void keepable(const QString& microphone, const QString& command, const QString& phrase, const voice::Room& room,
                  const std::vector<short>& sound);
    void profileInUse(const QString& microphone, voice::ProfileKind kind);
    void profileFailed(const QString& why);
    void endedByItself();
    void recording();
    void microphoneFailed(const QString& why);
    void cannotWork(const QString& why);

private:
    // The model is loaded at the first utterance, not at start: it is a third of the program's memory,
    // and many sessions never talk.
    bool loadDecoder()
    {
        if (decoder_)
            return true;
        auto opened = Decoder::Open(settings_);
        if (!opened) {
            emit cannotWork(QStringLiteral("The speech recogniser could not start (%1), so voice commands are off.")
                                .arg(opened.why()));
            return false;
        }
        decoder_ = std::move(*opened);
        decoder_->setPhrases(phrases_);
        return true;
    }

    // The profile of the microphone now recording, loaded when the microphone or the profile changes.
    void loadProfile(const QString& microphone)
    {
        const bool current = profileLoaded_ && microphone == profileFor_;
        profileFor_ = microphone;
        if (store_.isEmpty() || current)
            return;
        profileLoaded_ = true;
        const platform::Result<VoiceProfile> p = ProfileStore(store_).profile(microphone, settings_.model);
        platform::Result<> loaded = p ? decoder_->setProfile(p->usable() ? std::optional<VoiceProfile>(*p) : std::nullopt)
                                      : decoder_->setProfile(std::nullopt);
        if (!p || !loaded) {
            emit profileFailed(QStringLiteral("The voice profile of this microphone is not used (%1).")
                                   .arg(p ? loaded.why() : p.why()));
            return;
        }
        emit profileInUse(microphone, p->kind);
    }

    // One short chunk per turn keeps phrase changes and the stop coming through while listening.
    void readChunk()
    {
        short buffer[480];
        const platform::Result<size_t> n = source_->read(buffer, std::size(buffer));
        if (!n) {
            // Half an utterance is not what the user said: nothing is heard.
            listening_ = false;
            poll_->stop();
            source_->stop();
            decoder_->end();
            emit microphoneFailed(n.why());
            return;
        }
        decoder_->feed(buffer, *n);
        poll_->setInterval(*n > 0 ? 0 : 10);
        if (!speechEnd_)
            return;
        const std::vector<bool>& voiced = decoder_->voiced();
        const std::vector<float>& levels = decoder_->levels();
        for (; judged_ < voiced.size(); ++judged_) {
            const auto state = speechEnd_->frame(voiced[judged_], levels[judged_]);
            if (state == SpeechEndDetector::State::Ended || state == SpeechEndDetector::State::GaveUp) {
                emit endedByItself();
                stop();
                return;
            }
        }
    }

    platform::Mailbox calls_{this};
    std::unique_ptr<AudioSource> source_;
    DecoderSettings settings_;
    std::unique_ptr<Decoder> decoder_;
    std::vector<voice::VoicePhrase> phrases_;
    QTimer* poll_ = nullptr;
    bool listening_ = false;
    std::optional<SpeechEndDetector> speechEnd_;
    size_t judged_ = 0; // frames the speech-end detector has seen
    QString store_, profileFor_, reading_;
    bool profileLoaded_ = false, learning_ = false;
};

SphinxVoiceInput::SphinxVoiceInput(std::unique_ptr<AudioSource> source, DecoderSettings settings)
{
    if (!source)
        reason_ = QStringLiteral("No microphone was found, so voice commands are off.");
    else if (const QString missing = MissingModelFile(settings); !missing.isEmpty())
        reason_ = QStringLiteral("The speech model (%1) is missing, so voice commands are off.").arg(missing);
    if (!reason_.isEmpty())
        return;
    worker_ = new VoiceWorker(std::move(source), std::move(settings));
    // The worker's answers come back through a mailbox of this thread; all of it is wired before the
    // listening thread starts.
    connect(worker_, &VoiceWorker::result, worker_, [this](const QString& command, const QString& phrase) {
        replies_.post([this, command, phrase] {
            if (command.isEmpty())
                emit notUnderstood();
            else
                emit heard(command, phrase);
        });
    }, Qt::DirectConnection);
    connect(worker_, &VoiceWorker::endedByItself, worker_, [this] {
        replies_.post([this] {
            if (!listening_)
                return;
            listening_ = false;
            emit listeningChanged(false);
        });
    }, Qt::DirectConnection);
    connect(worker_, &VoiceWorker::cannotWork, worker_, [this](const QString& why) {
        replies_.post([this, why] { turnOff(why); });
    }, Qt::DirectConnection);
    connect(worker_, &VoiceWorker::microphoneFailed, worker_, [this](const QString& why) {
        replies_.post([this, why] { microphoneFailed(why); });
    }, Qt::DirectConnection);
    connect(worker_, &VoiceWorker::readingDone, worker_, [this](const voice::Reading& r) {
        replies_.post([this, r] { emit readingHeard(r); });
    }, Qt::DirectConnection);
    connect(worker_, &VoiceWorker::keepable, worker_,
            [this](const QString& mic, const QString& command, const QString& phrase, const voice::Room& room,
                   const std::vector<short>& sound) {
                replies_.post([=, this] { emit keepable(mic, command, phrase, room, sound); });
            }, Qt::DirectConnection);
    connect(worker_, &VoiceWorker::profileInUse, worker_, [this](const QString& mic, voice::ProfileKind kind) {
        replies_.post([this, mic, kind] { emit profileInUse(mic, kind); });
    }, Qt::DirectConnection);
    connect(worker_, &VoiceWorker::profileFailed, worker_, [this](const QString& why) {
        replies_.post([this, why] { emit profileFailed(why); });
    }, Qt::DirectConnection);
    connect(worker_, &VoiceWorker::recording, worker_, [this] {
        replies_.post([this] { microphoneWhy_.clear(); });
    }, Qt::DirectConnection);
    worker_->moveToThread(&thread_);
    thread_.setObjectName(QStringLiteral("voice"));
    toWorker([w = worker_] { w->setUp(); });
    thread_.start();
}

SphinxVoiceInput::~SphinxVoiceInput()
{
    if (!worker_)
        return;
    toWorker([w = worker_] {
        w->tearDown();
        QThread::currentThread()->quit();
    });
    thread_.wait();
    // The thread has ended: taking both locks once more orders its last writes before the deletes.
    worker_->calls().discard();
    replies_.discard();
    delete worker_;
}

void SphinxVoiceInput::toWorker(std::function<void()> call)
{
    worker_->calls().post(std::move(call));
}

platform::Result<> SphinxVoiceInput::usable() const
{
    if (!reason_.isEmpty())
        return platform::Fail(reason_);
    if (!microphoneWhy_.isEmpty())
        return platform::Fail(microphoneWhy_);
    return {};
}

void SphinxVoiceInput::setPhrases(const std::vector<voice::VoicePhrase>& phrases)
{
    if (usable())
        toWorker([w = worker_, phrases] { w->setPhrases(phrases); });
}

void SphinxVoiceInput::turnOff(const QString& why)
{
    reason_ = why;
    const bool wasListening = std::exchange(listening_, false);
    emit turnedOff(why);
    if (wasListening)
        emit listeningChanged(false);
}

void SphinxVoiceInput::microphoneFailed(const QString& why)
{
    const bool wasListening = std::exchange(listening_, false);
    const bool wasWorking = microphoneWhy_.isEmpty();
    microphoneWhy_ = why;
    if (wasListening)
        emit listeningChanged(false);
    // The user hears of a microphone going once; a press while it stays gone gets a short answer.
    if (wasWorking)
        emit turnedOff(why);
    else
        emit refused(why);
}

void SphinxVoiceInput::listen(bool untilSilence)
{
    // The microphone is tried again at each press: it may have come back.
    if (!reason_.isEmpty() || listening_)
        return;
    listening_ = true;
    toWorker([w = worker_, untilSilence] { w->start(untilSilence); });
    emit listeningChanged(true);
}

void SphinxVoiceInput::startListening()
{
    listen(false);
}

void SphinxVoiceInput::listenForPhrase()
{
    listen(true);
}

void SphinxVoiceInput::stopListening()
{
    if (!listening_)
        return;
    listening_ = false;
    toWorker([w = worker_] { w->stop(); });
    emit listeningChanged(false);
}

void SphinxVoiceInput::setProfileStore(const QString& root)
{
    if (worker_)
        toWorker([w = worker_, root] { w->setProfileStore(root); });
}

void SphinxVoiceInput::reloadProfile()
{
    if (worker_)
        toWorker([w = worker_] { w->reloadProfile(); });
}

void SphinxVoiceInput::readSentence(const QString& sentence)
{
    if (worker_)
        toWorker([w = worker_, sentence] { w->setReading(sentence); });
}

void SphinxVoiceInput::setLearning(bool on)
{
    if (worker_)
        toWorker([w = worker_, on] { w->setLearning(on); });
}


platform::Result<std::unique_ptr<SphinxVoiceInput>> MakeVoiceInput(const QString& soundFile, const QString& microphone)
{
    auto source = soundFile.isEmpty() ? std::unique_ptr<AudioSource>(std::make_unique<Microphone>(microphone))
                                      : OpenSoundFile(soundFile);
    if (!source)
        return platform::Fail(source.why());
    auto input = std::make_unique<SphinxVoiceInput>(std::move(*source));
    if (const platform::Result<> there = input->usable(); !there)
        return platform::Fail(there.why());
    return input;
}

} // namespace voice

#include "SphinxVoiceInput.moc"
