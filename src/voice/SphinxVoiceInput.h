// Voice commands heard by the recogniser on a thread of its own, from a microphone or a sound file.
#pragma once
#include "Decoder.h"
#include "platform/Mailbox.h"
#include "VoiceInput.h"
#include "platform/Result.h"

#include <QThread>
#include <functional>
#include <memory>
#include <vector>

namespace voice {

// Where the sound comes from. Used only on the listening thread once handed over.
class AudioSource {
public:
    virtual ~AudioSource() = default;
    // A fresh recording; the reason voice is off when there is nothing to record from.
    virtual platform::Result<> start() = 0;
    // Up to `max` samples at 16 kHz mono that have arrived since the last read; a failure means the
    // device went away.
    virtual platform::Result<size_t> read(short* buffer, size_t max) = 0;
    // Ends the recording and hands over what was captured but not yet read.
    virtual std::vector<short> stop() = 0;
    // What the recording came from, as the sound server names it: a profile belongs to it.
    virtual QString name() const { return {}; }
};

class VoiceWorker;

class SphinxVoiceInput : public voice::VoiceInput {
    Q_OBJECT
public:
    explicit SphinxVoiceInput(std::unique_ptr<AudioSource> source, DecoderSettings settings = {});
    ~SphinxVoiceInput() override;

    platform::Result<> usable() const override;
    void setPhrases(const std::vector<voice::VoicePhrase>& phrases) override;
    void startListening() override;
    void stopListening() override;
    void listenForPhrase() override;
    bool listening() const { return listening_; }

    // Voice profiles are looked up here (a ProfileStore's root), per microphone, at each utterance.
    void setProfileStore(const QString& root);
    // The profiles may have changed: the next utterance loads its microphone's afresh.
    void reloadProfile();
    // The next utterances are readings of `sentence` for training, answered by `readingHeard`
    // instead of a command; an empty sentence goes back to commands.
    void readSentence(const QString& sentence);
    // Commands heard with a safe margin are offered (`keepable`) to adapt on.
    void setLearning(bool on);

signals:
    void readingHeard(const voice::Reading& reading);
    void keepable(const QString& microphone, const QString& command, const QString& phrase, const voice::Room& room,
                  const std::vector<short>& sound);
    void profileInUse(const QString& microphone, voice::ProfileKind kind);
    void profileFailed(const QString& why);

private:
    void listen(bool untilSilence);
    void toWorker(std::function<void()> call);
    void microphoneFailed(const QString& why);
    void turnOff(const QString& why); // the recogniser cannot work at all

    QString reason_;        // the recogniser cannot work at all
    QString microphoneWhy_; // the microphone failed when last tried; each press tries it again
    platform::Mailbox replies_; // the listening thread's answers, run on this one
    QThread thread_;
    VoiceWorker* worker_ = nullptr;
    bool listening_ = false;
};

// The recogniser listening to the microphone (the server's default input, or the one named), or to
// `soundFile` where one is given; or why voice commands are off.
platform::Result<std::unique_ptr<SphinxVoiceInput>> MakeVoiceInput(const QString& soundFile, const QString& microphone);
} // namespace voice
