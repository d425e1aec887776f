// Voice commands heard by the recogniser on a thread of its own, from a microphone or a sound file.
#include "SphinxVoiceInput.h"

#include "Mailbox.h"
#include "SoundFile.h"
#include "SpeechEnd.h"

#include <QFile>
#include <QTimer>
#include <algorithm>
#include <cstring>
#include <optional>
#include <utility>

#include <sphinxbase/ad.h>

namespace voice {

namespace {

// A fresh recording per utterance, so nothing said before the button went down is heard.
class Microphone : public AudioSource {
public:
    ~Microphone() override { stop(); }
    bool start() override
    {
        if (!ad_)
            ad_ = ad_open_sps(16000);
        return ad_ != nullptr;
    }
    long read(short* buffer, size_t max) override
    {
        // Waits until `max` samples have arrived.
        return ad_ ? ad_read(ad_, buffer, int32(std::min<size_t>(max, 1 << 20))) : -1;
    }
    void stop() override
    {
        if (ad_)
            ad_close(ad_);
        ad_ = nullptr;
    }

private:
    ad_rec_t* ad_ = nullptr;
};

} // namespace

std::unique_ptr<AudioSource> OpenMicrophone(QString* why)
{
    auto mic = std::make_unique<Microphone>();
    if (!mic->start()) {
        if (why)
            *why = QStringLiteral("No microphone was found, so voice commands are off.");
        return nullptr;
    }
    mic->stop();
    return mic;
}

// Lives on the listening thread: owns the decoder and the sound source.
class VoiceWorker : public QObject {
    Q_OBJECT
public:
    VoiceWorker(std::unique_ptr<AudioSource> source, DecoderSettings settings)
        : source_(std::move(source)), settings_(std::move(settings))
    {
    }
    // What the listening thread is asked to do, in order.
    Mailbox& calls() { return calls_; }

    QString setUp()
    {
        decoder_ = std::make_unique<Decoder>(settings_);
        if (!decoder_->ready())
            return QStringLiteral("The speech recogniser could not start (%1), so voice commands are off.")
                .arg(decoder_->error());
        poll_ = new QTimer(this);
        connect(poll_, &QTimer::timeout, this, &VoiceWorker::readChunk);
        return {};
    }
    void tearDown()
    {
        if (source_ && listening_)
            source_->stop();
        delete poll_;
        poll_ = nullptr;
        source_.reset();
        decoder_.reset();
    }
    void setPhrases(const std::vector<character::VoicePhrase>& phrases)
    {
        if (decoder_ && decoder_->ready())
            decoder_->setPhrases(phrases);
    }
    void start(bool untilSilence)
    {
        if (!decoder_ || !decoder_->ready() || !source_ || listening_)
            return;
        if (!source_->start()) {
            emit endedByItself();
            emit result({}, {});
            return;
        }
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
        source_->stop();
        // Whatever the source still holds belongs to this utterance.
        short buffer[4096];
        for (long n; (n = source_->read(buffer, std::size(buffer))) > 0;)
            decoder_->feed(buffer, size_t(n));
        const Heard h = decoder_->end().heard;
        emit result(h.command, h.phrase);
    }
    void decode(const std::vector<short>& samples)
    {
        if (!decoder_ || !decoder_->ready() || listening_)
            return;
        const Heard h = decoder_->decode(samples).heard;
        emit result(h.command, h.phrase);
    }

signals:
    void result(const QString& command, const QString& phrase);
    void endedByItself();
    void setUpFailed(const QString& why);

private:
    // One short chunk per turn keeps phrase changes and the stop coming through while listening.
    void readChunk()
    {
        short buffer[480];
        const long n = source_->read(buffer, std::size(buffer));
        if (n > 0)
            decoder_->feed(buffer, size_t(n));
        else if (n < 0)
            poll_->stop(); // the device went away; the utterance ends with what was heard
        poll_->setInterval(n > 0 ? 0 : 10);
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

    Mailbox calls_{this};
    std::unique_ptr<AudioSource> source_;
    DecoderSettings settings_;
    std::unique_ptr<Decoder> decoder_;
    QTimer* poll_ = nullptr;
    bool listening_ = false;
    std::optional<SpeechEndDetector> speechEnd_;
    size_t judged_ = 0; // frames the speech-end detector has seen
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
    connect(worker_, &VoiceWorker::setUpFailed, worker_, [this](const QString& why) {
        replies_.post([this, why] {
            reason_ = why;
            const bool wasListening = std::exchange(listening_, false);
            emit turnedOff(why);
            if (wasListening)
                emit listeningChanged(false);
        });
    }, Qt::DirectConnection);
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
    worker_->moveToThread(&thread_);
    thread_.setObjectName(QStringLiteral("voice"));
    // The model takes most of a second to load: the character must not wait for it.
    toWorker([w = worker_] {
        const QString why = w->setUp();
        if (!why.isEmpty())
            emit w->setUpFailed(why);
    });
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

void SphinxVoiceInput::setPhrases(const std::vector<character::VoicePhrase>& phrases)
{
    if (available())
        toWorker([w = worker_, phrases] { w->setPhrases(phrases); });
}

void SphinxVoiceInput::listen(bool untilSilence)
{
    if (!available() || listening_)
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

void SphinxVoiceInput::decodeSamples(std::vector<short> samples16k)
{
    if (available())
        toWorker([w = worker_, s = std::move(samples16k)] { w->decode(s); });
}

} // namespace voice

namespace character {

std::unique_ptr<VoiceInput> MakeVoiceInput(const QString& soundFile, QString* whyOff)
{
    QString why;
    auto mic = soundFile.isEmpty() ? voice::OpenMicrophone(&why) : voice::OpenSoundFile(soundFile, &why);
    std::unique_ptr<VoiceInput> input;
    if (mic)
        input = std::make_unique<voice::SphinxVoiceInput>(std::move(mic));
    if (input && !input->available())
        why = input->unavailableReason();
    if (!input || !input->available()) {
        if (whyOff)
            *whyOff = why;
        return nullptr;
    }
    return input;
}

} // namespace character

#include "SphinxVoiceInput.moc"
