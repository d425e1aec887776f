// Speech through the desktop's speech-dispatcher, in the voice its user chose there or in the settings.
// espeak-ng in process takes over where the daemon is missing, does not answer or goes away.
#pragma once
#include "CallThread.h"
#include "SpeechEngine.h"
#include "VoiceSettings.h"
#include "platform/Mailbox.h"
#include "platform/Result.h"

#include <QTimer>
#include <functional>
#include <memory>
#include <vector>

namespace speech {

class SpeechDispatcherSpeaker final : public SpeechEngine {
    Q_OBJECT
public:
    using Fallback = std::function<std::unique_ptr<SpeechEngine>()>;
    SpeechDispatcherSpeaker(VoiceSettings voice, Fallback fallback);
    ~SpeechDispatcherSpeaker() override;
    // Connects (starting the daemon if the desktop has not) and warms it up: a daemon's first sound
    // otherwise comes more than a second late. The first text does it if this was not called.
    // Nothing here waits for the daemon.
    void prepare() override;
    void speak(std::shared_ptr<const SpeechText> text) override;
    void stop() override;

    struct Voice {
        QString module, name, language;
    };
    // The English voices of every module of the user's speech-dispatcher, the default module's first.
    static platform::Result<std::vector<Voice>> voices(int timeoutMs);

    struct Channel; // what libspeechd's thread and the call thread share with this object

private:
    enum class State { Connecting, Ready, Lost };
    struct Event {
        int message;
        int type;
        int mark;
    };
    void connectDaemon();
    void connected(int socket, int warmUp, const QString& module);
    void said(int sequence, int message);
    void event(const Event& e);
    void handle(const Event& e);
    void sendChunk();
    void reachUnit(int unit);
    void checkAlive();
    void fallBack(const QString& why, bool tryAgain);
    void leaveConnection(int graceMs);
    void ensureFallback();
    void speakWithFallback(std::shared_ptr<const SpeechText> text, size_t first);

    VoiceSettings voice_;
    Fallback makeFallback_;
    State state_ = State::Connecting;
    bool tryAgain_ = false; // the daemon went away: look for it again at the next text
    std::unique_ptr<CallThread> calls_;
    std::shared_ptr<Channel> channel_;
    int socket_ = -1;
    int warmUp_ = -1;

    std::shared_ptr<const SpeechText> text_; // said through the daemon
    size_t nextUnit_ = 0, chunkFirst_ = 0, chunkEnd_ = 0;
    int lastUnit_ = -1;
    bool chunkMarked_ = false; // a mark of the chunk being said came
    bool unmarked_ = false;    // the module says its texts without marks
    int sequence_ = 0; // of the chunk sent last
    int message_ = -1; // the daemon's id for it, once known
    std::vector<Event> early_; // events of a message whose id is not known yet
    QTimer stall_;     // the daemon owes an answer
    QTimer watch_;     // polls the connection for the daemon's end while it speaks
    platform::Mailbox mail_{this}; // what libspeechd's and the call thread send, run on this thread

    std::unique_ptr<SpeechEngine> fallback_;
    size_t fallbackFirst_ = 0; // the fallback's unit 0 is this unit of the text
    bool fallbackSpeaking_ = false;
};

} // namespace speech
