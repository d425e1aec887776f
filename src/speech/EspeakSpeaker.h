// espeak-ng in process, playing through the audio device.
// The library is started off the UI thread by prepare() (or the first text) and stopped with this object.
#pragma once
#include "SilentSpeaker.h"
#include "SpeechEngine.h"
#include "platform/Mailbox.h"

#include <QTimer>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace speech {

class EspeakSpeaker final : public SpeechEngine {
    Q_OBJECT
public:
    EspeakSpeaker();
    ~EspeakSpeaker() override;
    void speak(std::shared_ptr<const SpeechText> text) override;
    void stop() override;
    void prepare() override;

    // What espeak's own thread may reach; it outlives the library's threads.
    struct Channel {
        std::mutex mutex;
        EspeakSpeaker* target = nullptr;
        // From espeak's thread: hands an event to the target's thread, if the target is still there.
        void post(unsigned message, int type, int textPosition);
    };

private:
    void started();
    void startChunk();
    void handleEvent(unsigned message, int type, int textPosition);
    void reachUnit(int unit);
    void stalled();

    enum class State { NotStarted, Starting, Running, Failed } state_ = State::NotStarted;
    bool initialized_ = false; // the library's threads run until it is terminated
    bool holdsLibrary_ = false;
    std::thread starter_;       // starts the library, off the UI thread
    QString startProblem_;      // what went wrong starting it, or empty; written by the starter
    std::shared_ptr<const SpeechText> waiting_; // asked for while the library starts
    std::unique_ptr<Channel> channel_;
    SilentSpeaker fallback_; // paces the balloon if the library will not start
    std::shared_ptr<const SpeechText> text_;
    size_t nextUnit_ = 0;
    size_t chunkFirstUnit_ = 0;
    std::vector<int> chunkOffsets_; // 1-based code-point position of each unit of the chunk
    unsigned message_ = 0;          // the library's id of the chunk being said
    int lastUnit_ = -1;             // the last unit reported of the text being said
    QTimer stall_;                  // no word from the library for this long: its sound goes nowhere
    platform::Mailbox mail_{this};  // the starter's and the library's answers, run on this thread
};

} // namespace speech
