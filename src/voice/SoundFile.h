// A raw sound file heard as if said into a microphone now, for trying voice commands without one.
#pragma once
#include "RoomTone.h"
#include "SphinxVoiceInput.h"

#include <QElapsedTimer>
#include <QString>
#include <optional>

namespace voice {

// A recording heard as if said now, for trying the program without a microphone: raw 16 kHz 16-bit
// mono, read afresh each time the user talks (so a test can say one thing after another), paced as a
// microphone gives it, and followed by its own room.
class SoundFile : public AudioSource {
public:
    explicit SoundFile(QString path) : path_(std::move(path)) {}
    bool load();
    platform::Result<> start() override;
    platform::Result<size_t> read(short* buffer, size_t max) override;
    std::vector<short> stop() override;
    QString name() const override { return QStringLiteral("file"); }

private:
    static constexpr qint64 maxBytes = 16000 * 2 * 60;
    QString path_;
    std::vector<short> samples_;
    std::optional<RoomTone> after_;
    size_t pos_ = 0;
    QElapsedTimer started_;
};

// nullptr with why if the file cannot be read.
platform::Result<std::unique_ptr<AudioSource>> OpenSoundFile(const QString& path);

} // namespace voice
