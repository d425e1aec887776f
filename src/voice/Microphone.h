// The desktop's microphone, through its sound server (PulseAudio, or PipeWire's PulseAudio service).
#pragma once
#include "SoundServer.h"
#include "SphinxVoiceInput.h"

#include <memory>
#include <vector>

struct pa_stream;

namespace voice {

// A fresh recording per utterance from the server's default input, or the one named: nothing said
// before the key went down is heard, and a microphone made the default since the last utterance is
// used. Reads never wait; the recording is never moved to another source behind the user's back.
class Microphone : public AudioSource {
public:
    // `source`: the server's name for it; empty follows the desktop's default input.
    explicit Microphone(QString source = {}) : source_(std::move(source)) {}
    ~Microphone() override;
    platform::Result<> start() override;
    platform::Result<size_t> read(short* buffer, size_t max) override;
    std::vector<short> stop() override;
    const MicrophoneInfo& device() const { return device_; }
    QString name() const override { return device_.name; }

private:
    const PulseLibrary& pa() const; // of the open connection
    size_t take(short* buffer, size_t max); // what has arrived, up to max
    bool streaming() const;
    platform::Failure lost() const;
    void close();

    QString source_;
    std::shared_ptr<const PulseLibrary> pulse_; // opened by the first recording
    MicrophoneInfo device_; // the one recording now
    std::unique_ptr<SoundServer> server_;
    pa_stream* stream_ = nullptr;
    std::vector<short> pending_; // the part of the last fragment that did not fit
};

} // namespace voice
