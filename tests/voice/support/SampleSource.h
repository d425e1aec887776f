// Fixed samples played as a microphone would give them, to feed the voice input in tests.
#pragma once
#include "voice/RoomTone.h"
#include "voice/SphinxVoiceInput.h"

#include <QElapsedTimer>
#include <optional>

namespace voicetest {

// Plays back fixed samples as if they had just been said: all at once, or `paced` as a microphone
// gives them, and then the samples' own room.
class SampleSource : public voice::AudioSource {
public:
    explicit SampleSource(std::vector<short> samples = {}, bool paced = false)
        : samples_(std::move(samples)), paced_(paced) {}
    platform::Result<> start() override;
    platform::Result<size_t> read(short* buffer, size_t max) override;
    std::vector<short> stop() override;
    void setSamples(std::vector<short> samples) { samples_ = std::move(samples); pos_ = 0; }

private:
    size_t due() const;
    std::vector<short> samples_;
    bool paced_;
    size_t pos_ = 0;
    QElapsedTimer started_;
    std::optional<voice::RoomTone> after_;
};

} // namespace voicetest
