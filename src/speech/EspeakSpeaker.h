// espeak-ng in process, playing through the audio device.
// The library is started off the UI thread by prepare() (or the first text) and stopped with this object.
#pragma once
#include "CallThread.h"
#include "SilentSpeaker.h"
#include "SpeechEngine.h"
#include "platform/Mailbox.h"

#include <QTimer>
#include <memory>
#include <vector>

namespace speech {

struct EspeakFunctions;

class EspeakSpeaker final : public SpeechEngine {
    Q_OBJECT
public:
    EspeakSpeaker();
    ~EspeakSpeaker() override;
    void speak(std::shared_ptr<const SpeechText> text) override;
    void stop() override;
    void prepare() override;

    // From the library's threads; each runs on this object's thread. A chunk is one of our numbers.
    void libraryStarted(const QString& problem);
    void libraryEvent(unsigned chunk, int type, int textPosition);

private:
    void started(const QString& problem);
    void startChunk();
    void handleEvent(unsigned chunk, int type, int textPosition);
    void reachUnit(int unit);
    void stalled();

    enum class State { NotStarted, Starting, Running, Failed } state_ = State::NotStarted;
    bool holdsLibrary_ = false;
    std::shared_ptr<const SpeechText> waiting_; // asked for while the library starts
    SilentSpeaker fallback_; // paces the balloon if the library will not start
    std::shared_ptr<const SpeechText> text_;
    size_t nextUnit_ = 0;
    size_t chunkFirstUnit_ = 0;
    std::vector<int> chunkOffsets_; // 1-based code-point position of each unit of the chunk
    unsigned chunk_ = 0;            // the chunk being said; 0: none
    unsigned lastChunk_ = 0;
    int lastUnit_ = -1;             // the last unit reported of the text being said
    QTimer stall_;                  // no word from the library for this long: its sound goes nowhere
    platform::Mailbox mail_{this};
    // Every call into the library, in order and off the UI thread: cancelling waits for the sound
    // device, most of a second on PulseAudio.
    CallThread calls_;
    std::shared_ptr<bool> live_ = std::make_shared<bool>(false); // the library started; read on calls_ only
    std::shared_ptr<EspeakFunctions> espeak_; // looked up on calls_ as the library starts, used there only
};

} // namespace speech
