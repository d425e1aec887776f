// One connection to the desktop's sound server (PulseAudio, or PipeWire's PulseAudio service).
#pragma once
#include "platform/Result.h"

#include <QString>
#include <functional>
#include <memory>

struct pa_context;
struct pa_mainloop;

namespace voice {

struct PulseLibrary;

struct MicrophoneInfo {
    QString name;        // the server's name for the source
    QString description; // what the desktop shows the user
};

// Driven by the thread that made it: its calls wait for the server's answers themselves.
class SoundServer {
public:
    // A connection, or why there is none. Never starts a server. The client library is opened by the
    // first connection into `pulse`, which the caller keeps for the next.
    static platform::Result<std::unique_ptr<SoundServer>> connect(std::shared_ptr<const PulseLibrary>& pulse);
    ~SoundServer();
    SoundServer(const SoundServer&) = delete;
    SoundServer& operator=(const SoundServer&) = delete;

    // The source voice commands are heard from: `wanted` if given, else the server's default input.
    // A sink's monitor is no microphone (the server's fallback when it has none): it would hear Genie.
    platform::Result<MicrophoneInfo> microphone(const QString& wanted);
    // Handles what the server has sent, waiting at most `waitMs` for it; false once the connection is lost.
    bool pump(int waitMs);
    // Pumps until `done` holds; false when the connection fails or `timeoutMs` pass first.
    bool pumpUntil(const std::function<bool()>& done, int timeoutMs);
    bool alive() const;
    QString lastError() const;
    pa_context* context() const { return context_; }
    const PulseLibrary& pulse() const { return *pulse_; }

private:
    explicit SoundServer(std::shared_ptr<const PulseLibrary> pulse);
    std::shared_ptr<const PulseLibrary> pulse_;
    pa_mainloop* loop_ = nullptr;
    pa_context* context_ = nullptr;
};

} // namespace voice
