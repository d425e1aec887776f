// Voice commands heard by the recogniser on a thread of its own, from a microphone or a sound file.
#pragma once
#include "Decoder.h"
#include "Mailbox.h"
#include "character/VoiceInput.h"

#include <QThread>
#include <functional>
#include <memory>
#include <vector>

namespace voice {

// Where the sound comes from. Used only on the listening thread once handed over.
class AudioSource {
public:
    virtual ~AudioSource() = default;
    virtual bool start() = 0;
    // Up to `max` samples at 16 kHz mono that have arrived since the last read; negative on failure.
    virtual long read(short* buffer, size_t max) = 0;
    virtual void stop() = 0;
};

// The default audio device; nullptr (with why) if there is none.
std::unique_ptr<AudioSource> OpenMicrophone(QString* why);

class VoiceWorker;

class SphinxVoiceInput : public character::VoiceInput {
    Q_OBJECT
public:
    explicit SphinxVoiceInput(std::unique_ptr<AudioSource> source, DecoderSettings settings = {});
    ~SphinxVoiceInput() override;

    bool available() const override { return reason_.isEmpty(); }
    QString unavailableReason() const override { return reason_; }
    void setPhrases(const std::vector<character::VoicePhrase>& phrases) override;
    void startListening() override;
    void stopListening() override;
    void listenForPhrase() override;
    bool listening() const { return listening_; }

    // Decodes these samples as one utterance instead of the source's; the result follows as
    // `heard` or `notUnderstood`.
    void decodeSamples(std::vector<short> samples16k);

private:
    void listen(bool untilSilence);
    void toWorker(std::function<void()> call);

    QString reason_;
    Mailbox replies_; // the listening thread's answers, run on this one
    QThread thread_;
    VoiceWorker* worker_ = nullptr;
    bool listening_ = false;
};

} // namespace voice

namespace character {
// The recogniser listening to the microphone, or to `soundFile` where one is given; nullptr with
// the reason voice commands are off.
std::unique_ptr<VoiceInput> MakeVoiceInput(const QString& soundFile, QString* whyOff);
} // namespace character
