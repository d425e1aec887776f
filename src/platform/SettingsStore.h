#pragma once
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
// Problems (unreadable or corrupt file, read-only directory) are reported once through `report`
// and never lose the user's file: a corrupt one is kept aside before anything is written.
class IniSettingsStore final : public SettingsStore {
public:
    using Reporter = std::function<void(const QString& message)>;
    explicit IniSettingsStore(QString configDir = {}, Reporter report = {});
    ~IniSettingsStore() override;

    QString GetSetting(const QString& appName, const QString& section, const QString& key,
                       const QString& defaultValue) override;
    void SaveSetting(const QString& appName, const QString& section, const QString& key,
                     const QString& value) override;

    QString filePath(const QString& appName) const;

private:
    QSettings& open(const QString& appName);
    void reportOnce(const QString& message);

    QString configDir_;
    Reporter report_;
    QString openApp_;
    std::unique_ptr<QSettings> settings_;
    bool corrupt_ = false;
    bool reported_ = false;
};

// The runtime's conversion of a stored text to a 16-bit signed integer: optional blanks around
// an optional sign and decimal digits. Anything else, or a value outside -32768..32767, is no number.
std::optional<qint16> ToInt16(const QString& text);

} // namespace platform
