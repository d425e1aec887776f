// A speaker's adapted acoustic model as stored for one microphone, and the room it was made in.
#pragma once
#include "platform/Result.h"

#include <QDateTime>
#include <QString>

namespace voice {

// What the recogniser heard around a voice: whether it heard the microphone as it was (a quiet room)
// or cleaned, and how far the voice stood above the room.
struct Room {
    bool quiet = true;
    float voiceOverRoomDb = 0;

    // Near enough for a profile made in one to be used whole in the other. Means re-estimated in one
    // room learn its noise, and have cost accuracy in another.
    bool near(const Room& other) const;
    QString describe() const;
};

// What a profile holds: a transform of the stock model's means (MLLR), and means and variances
// estimated on top of it (MLLR then MAP).
enum class ProfileKind { None, Transform, Full };
QString KindName(ProfileKind kind);

struct VoiceProfile {
    QString folder;     // holds profile.ini and the model files
    ProfileKind kind = ProfileKind::None;
    Room room;
    QDateTime made;
    int recordings = 0;             // adapted from
    int checked = 0;                // recordings held aside to check it
    int stockErrors = 0, errors = 0; // words wrong on those, with the stock model and with this

    QString transformPath() const { return folder + QStringLiteral("/mllr_matrix"); }
    QString meansPath() const { return folder + QStringLiteral("/means"); }
    QString variancesPath() const { return folder + QStringLiteral("/variances"); }
    bool usable() const { return kind != ProfileKind::None; }

    // A stored profile whose files are whole and fit `model` (the stock model's folder): a damaged
    // file would otherwise stop the recogniser's library, which ends the program on a bad model.
    // Kind None where there is none.
    static platform::Result<VoiceProfile> load(const QString& folder, const QString& model);
    platform::Result<> save() const;
};

// Whether `path` holds means or variances shaped like the stock model's `reference`, with a right
// checksum and finite values.
platform::Result<> CheckGaussianFile(const QString& path, const QString& reference);
// Whether `path` holds one MLLR transform for the stock model's three feature streams.
platform::Result<> CheckTransformFile(const QString& path);

} // namespace voice
