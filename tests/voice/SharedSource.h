#pragma once
#include "character/voice/SphinxVoiceInput.h"

namespace voicetest {

// Lets a test change what the "microphone" hears after the voice input has taken the source.
class SharedSource : public voice::AudioSource {
public:
    explicit SharedSource(voice::SampleSource* s) : s_(s) {}
    bool start() override { return s_->start(); }
    long read(short* b, size_t max) override { return s_->read(b, max); }
    void stop() override { s_->stop(); }

private:
    voice::SampleSource* s_;
};

} // namespace voicetest
