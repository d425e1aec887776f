// The per-user settings store, an INI file under the XDG config folder.
#pragma once
#include "UserReport.h"
#include <QString>
#include <functional>
#include <memory>
#include <optional>

class QSettings;

namespace platform {

// The per-user settings store: text values addressed by application, section and key.
class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    virtual QString GetSetting(const QString& appName, const QString& section, const QString& key,
                               const QString& defaultValue) = 0;
    virtual void SaveSetting(const QString& appName, const QString& section, const QString& key,
                             const QString& value) = 0;
};

// INI files under the XDG config dir: <config>/<appName>/<appName>.ini, one group per section.
// Writes go through a temporary file and a rename, so a crash never leaves half a file.
// Problems (unreadable or corrupt file, a folder that cannot be written) go to `report`, with the
// file and the reason, and never lose the user's file: a corrupt one is kept aside before anything
// is written. The same problem comes again on each failing save; the report says it once.
class IniSettingsStore final : public SettingsStore {
public:
    IniSettingsStore(QString configDir, UserReport& report);
    ~IniSettingsStore() override;

    QString GetSetting(const QString& appName, const QString& section, const QString& key,
                       const QString& defaultValue) override;
    void SaveSetting(const QString& appName, const QString& section, const QString& key,
                     const QString& value) override;

    QString filePath(const QString& appName) const;

private:
    QSettings& open(const QString& appName);
    void report(const QString& summary, const QString& text);

    QString configDir_;
    UserReport& report_;
    QString openApp_;
    std::unique_ptr<QSettings> settings_;
    bool corrupt_ = false;
};

// The runtime's conversion of a stored text to a 16-bit signed integer: optional blanks around
// an optional sign and decimal digits. Anything else, or a value outside -32768..32767, is no number.
std::optional<qint16> ToInt16(const QString& text);

} // namespace platform
