// The voice the user chose for Genie in the settings: speech-dispatcher's module, voice, rate, pitch, volume.
#include "VoiceSettings.h"

#include "platform/SettingsStore.h"
#include "platform/UserReport.h"

namespace speech {

VoiceSettings VoiceSettings::read(platform::SettingsStore& settings, const QString& appName,
                                  platform::UserReport& report)
{
    const QString section = QStringLiteral("Settings");
    auto text = [&](const QString& key) { return settings.GetSetting(appName, section, key, {}).trimmed(); };
    auto level = [&](const QString& key, const QString& what) -> std::optional<int> {
        const QString value = text(key);
        if (value.isEmpty())
            return std::nullopt;
        if (const auto n = platform::ToInt16(value); n && *n >= -100 && *n <= 100)
            return *n;
        report.problem(QStringLiteral("A setting was not understood"),
                       QStringLiteral("the setting %1 holds \"%2\", which is not a whole number from -100 to 100; "
                                      "speech-dispatcher's own %3 is used instead.")
                           .arg(key, value.left(40), what));
        return std::nullopt;
    };
    VoiceSettings v;
    v.module = text(QStringLiteral("SpeechModule"));
    v.voice = text(QStringLiteral("SpeechVoice"));
    v.rate = level(QStringLiteral("SpeechRate"), QStringLiteral("rate"));
    v.pitch = level(QStringLiteral("SpeechPitch"), QStringLiteral("pitch"));
    v.volume = level(QStringLiteral("SpeechVolume"), QStringLiteral("volume"));
    return v;
}

} // namespace speech
