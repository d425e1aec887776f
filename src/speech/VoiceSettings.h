// The voice the user chose for Genie in the settings: speech-dispatcher's module, voice, rate, pitch, volume.
#pragma once
#include <QString>
#include <optional>

namespace platform {
class SettingsStore;
class UserReport;
} // namespace platform

namespace speech {

// What is not set is the user's own choice in speech-dispatcher.
struct VoiceSettings {
    QString module;
    QString voice;
    std::optional<int> rate, pitch, volume; // -100 to 100

    // Reads section "Settings" of `appName`; a value that cannot be used is told to `report` and left unset.
    static VoiceSettings read(platform::SettingsStore& settings, const QString& appName, platform::UserReport& report);
};

} // namespace speech
