#pragma once
#include "SpeechMarkup.h"

#include <QObject>
#include <QTimer>
#include <memory>
#include <vector>

namespace character {

// Speaks one text at a time and reports which unit (word) is being heard, so the balloon keeps step.
class SpeechEngine : public QObject {
    Q_OBJECT
public:
    virtual void speak(std::shared_ptr<const SpeechText> text) = 0;
    virtual void stop() = 0; // no `finished` follows a stop
    virtual bool audible() const = 0;

signals:
    void unitReached(int unit);
    void finished();
};

// Where no audio device exists: paces the words by their length, as if they were spoken.
class SilentSpeaker final : public SpeechEngine {
    Q_OBJECT
public:
    // `msPerChar` scales the pace; tests use a small value to run long texts quickly.
    explicit SilentSpeaker(double msPerChar = 55.0, int msPerWord = 120);
    void speak(std::shared_ptr<const SpeechText> text) override;
    void stop() override;
    bool audible() const override { return false; }

private:
    void next();
    std::shared_ptr<const SpeechText> text_;
    size_t unit_ = 0;
    QTimer timer_;
    double msPerChar_;
    int msPerWord_;
};

// espeak-ng, in process, playing through the system's audio output.
class EspeakSpeaker final : public SpeechEngine {
    Q_OBJECT
public:
    EspeakSpeaker();
    ~EspeakSpeaker() override;
    void speak(std::shared_ptr<const SpeechText> text) override;
    void stop() override;
    bool audible() const override { return true; }

    // Called on espeak's thread; forwards to the UI thread.
    void onEvent(int generation, int type, int textPosition);

private:
    void startChunk();
    void handleEvent(int generation, int type, int textPosition);

    std::shared_ptr<const SpeechText> text_;
    size_t nextUnit_ = 0;
    size_t chunkFirstUnit_ = 0;
    std::vector<int> chunkOffsets_; // 1-based code-point position of each unit of the chunk
    int generation_ = 0;
};

// The SSML for units [first, last) of `text`, with each unit's 1-based code-point position in it.
QByteArray SsmlFor(const SpeechText& text, size_t first, size_t last, std::vector<int>* offsets);
// Where the next chunk should end: about `maxChars` of speech, at a sentence end where possible.
size_t ChunkEnd(const SpeechText& text, size_t first, int maxChars = 600);

// True when the machine has somewhere to play sound (an ALSA card or a sound server socket).
bool AudioOutputAvailable();

// espeak-ng is one per process; the first caller chooses how it outputs.
namespace espeak {
enum class Mode { Playback, Synchronous };
bool initialize(Mode mode, QString* error);
// Synthesises `ssml` to 16-bit mono samples (Synchronous mode only); returns the sample rate, 0 on failure.
int synthesize(const QByteArray& ssml, const QString& voice, std::vector<short>* samples);
int sampleRate();
} // namespace espeak

std::unique_ptr<SpeechEngine> MakeSpeechEngine(QString* whySilent);

} // namespace character
