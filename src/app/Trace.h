// The run's trace for end-to-end checks: one line per thing the user sees happen.
// A character request starting and finishing, a window shown, hidden or first painted, a menu and
// its entries, what the voice input heard: a test waits on lines instead of sleeping.
#pragma once
#include <QElapsedTimer>
#include <QFile>
#include <QObject>
#include <QString>

#include "platform/Result.h"

namespace voice {
class VoiceInput;
}
namespace character {
class CharacterServer;
} // namespace character
namespace platform {
class UserReport;
}
namespace training {
class VoiceCoach;
}

class Trace : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    // Starts writing to `path`. Without it nothing is traced.
    platform::Result<> open(const QString& path);
    void line(const QString& text);
    void watch(character::CharacterServer& server);
    void watch(voice::VoiceInput& voice);
    void watch(training::VoiceCoach& coach); // the training window, profiles made, used and forgotten
    void watch(platform::UserReport& report); // each problem told to the user

private:
    QFile file_;
    QElapsedTimer sinceStart_;
};
