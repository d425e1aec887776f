// Voice profiles made as the program makes them, for one synthetic voice in one room.
#pragma once
#include "CommandSets.h"
#include "Condition.h"
#include "Voices.h"
#include "voice/Decoder.h"
#include "voice/ProfileBuilder.h"

#include <QMap>
#include <QString>
#include <optional>

namespace voicebench {

// A profile made for the bench, and what went into it.
struct MadeProfile {
    voice::BuildReport report;
    std::optional<voice::VoiceProfile> profile; // none: not made, or it did not beat the stock model
    int offered = 0;                // readings said, or commands heard
    QMap<QString, int> refused;     // readings asked again, by reason
    int kept = 0, keptWrong = 0;    // commands kept to adapt on, and of them heard as another phrase
};

class ProfileMaker {
public:
    static constexpr int Sentences = 20, Commands = 40;

    // `limits`: whether a decoder's outcome is a command the program would run.
    ProfileMaker(const Voices& voices, voice::DecoderSettings settings, QString folder,
                 std::function<bool(const voice::Outcome&)> accepted)
        : voices_(voices), settings_(std::move(settings)), folder_(std::move(folder)), accepted_(std::move(accepted))
    {
    }

    // From the training session's sentences read by `voice` in `room`; a reading the program asks again
    // is replaced by the session's next sentence, as a user would read on.
    MadeProfile fromSentences(const QString& voice, int voiceIndex, const voicetest::Condition& room, uint32_t seed) const;
    // From the first commands `voice` says in `room` that the program runs with a margin safe to learn
    // from, with the phrase it heard (right or not).
    MadeProfile fromCommands(const QString& voice, const voicetest::Condition& room,
                             const std::vector<voicetest::CommandSet>& sets, uint32_t seed) const;

    // The sentences of one voice's session, in order, spares after the first 20.
    static QStringList sessionOf(int voiceIndex);

private:
    MadeProfile build(const QString& store) const;

    const Voices& voices_;
    voice::DecoderSettings settings_;
    QString folder_;
    std::function<bool(const voice::Outcome&)> accepted_;
};

} // namespace voicebench
