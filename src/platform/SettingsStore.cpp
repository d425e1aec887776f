// The per-user settings store, an INI file under the XDG config folder.
#include "SettingsStore.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace platform {

IniSettingsStore::IniSettingsStore(QString configDir, UserReport& report)
    : configDir_(configDir.isEmpty() ? QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
                                     : std::move(configDir)),
      report_(report)
{
}

IniSettingsStore::~IniSettingsStore() = default;

QString IniSettingsStore::filePath(const QString& appName) const
{
    return configDir_ + u'/' + appName + u'/' + appName + QStringLiteral(".ini");
}

void IniSettingsStore::report(const QString& summary, const QString& text)
{
    report_.problem(summary, text);
}

namespace {
// Why the file `path` cannot be written, in the user's terms, once writing it has failed.
QString whyNotWritten(const QString& path)
{
    const QString folder = QFileInfo(path).absolutePath();
    QString existing = folder;
    while (!QFileInfo::exists(existing) && QFileInfo(existing).absolutePath() != existing)
        existing = QFileInfo(existing).absolutePath();
    const QFileInfo there(existing);
    if (!there.isDir())
        return QStringLiteral("%1 is a file where a folder is needed").arg(existing);
    if (!there.isWritable())
        return QStringLiteral("the folder %1 may not be written to").arg(existing);
    if (existing != folder)
        return QStringLiteral("the folder %1 could not be made").arg(folder);
    const QFileInfo file(path);
    if (file.exists() && !file.isWritable())
        return QStringLiteral("the file is read-only");
    QFile probe(folder + QStringLiteral("/.varrow-write-test"));
    if (!probe.open(QIODevice::WriteOnly))
        return probe.errorString();
    const bool written = probe.write("0") == 1 && probe.flush();
    const QString error = probe.errorString();
    probe.remove();
    return written ? QStringLiteral("writing it failed") : error;
}
} // namespace

QSettings& IniSettingsStore::open(const QString& appName)
{
    if (settings_ && openApp_ == appName)
        return *settings_;
    openApp_ = appName;
    corrupt_ = false;
    const QString path = filePath(appName);
    settings_ = std::make_unique<QSettings>(path, QSettings::IniFormat);
    const QFileInfo info(path);
    if (info.exists() && (settings_->status() != QSettings::NoError || !info.isReadable())) {
        corrupt_ = true;
        report(QStringLiteral("Settings could not be read"),
               QStringLiteral("The settings file %1 could not be read, so the default settings are used. It is "
                              "kept as it is until a setting is saved, and then set aside.").arg(path));
    }
    return *settings_;
}

QString IniSettingsStore::GetSetting(const QString& appName, const QString& section, const QString& key,
                                     const QString& defaultValue)
{
    QSettings& s = open(appName);
    if (corrupt_)
        return defaultValue;
    const QVariant v = s.value(section + u'/' + key);
    if (!v.isValid())
        return defaultValue;
    // A value holding a list ("a, b") comes back as QStringList: it is still one text to us.
    if (v.typeId() == QMetaType::QStringList)
        return v.toStringList().join(QStringLiteral(", "));
    return v.toString();
}

void IniSettingsStore::SaveSetting(const QString& appName, const QString& section, const QString& key,
                                   const QString& value)
{
    open(appName);
    const QString path = filePath(appName);
    if (corrupt_) {
        // Keep the unreadable file for the user before a fresh one replaces it.
        const QString kept = path + QStringLiteral(".corrupt-") + QDateTime::currentDateTime().toString(u"yyyyMMdd-hhmmss");
        if (!QFile::copy(path, kept)) {
            report(QStringLiteral("Settings not saved"),
                   QStringLiteral("The settings file %1 could not be read or kept aside; it is left untouched "
                                  "and settings are not saved.").arg(path));
            return;
        }
        QFile::remove(path);
        settings_.reset();
        openApp_.clear();
        open(appName);
        corrupt_ = false;
        report(QStringLiteral("Settings file kept aside"),
               QStringLiteral("The settings file %1 could not be read; it was kept as %2 and a new one is "
                              "started.").arg(path, kept));
    }
    QDir().mkpath(QFileInfo(path).absolutePath());
    settings_->setValue(section + u'/' + key, value);
    settings_->sync();
    if (settings_->status() != QSettings::NoError)
        report(QStringLiteral("Settings not saved"),
               QStringLiteral("Settings could not be saved to %1 (%2), so the character's place will not be "
                              "remembered.").arg(path, whyNotWritten(path)));
}

std::optional<qint16> ToInt16(const QString& text)
{
    const QString t = text.trimmed();
    int i = 0;
    bool negative = false;
    if (i < t.size() && (t[i] == u'+' || t[i] == u'-'))
        negative = t[i++] == u'-';
    if (i == t.size())
        return std::nullopt;
    long value = 0;
    for (; i < t.size(); ++i) {
        const QChar c = t[i];
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + (c.unicode() - u'0');
        if (value > 32768)
            return std::nullopt;
    }
    if (negative)
        value = -value;
    if (value < -32768 || value > 32767)
        return std::nullopt;
    return qint16(value);
}

} // namespace platform
