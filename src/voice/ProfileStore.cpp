// Where a user's voice profiles and the recordings they were made from are kept: a folder per microphone.
#include "ProfileStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSettings>
#include <QTextStream>
#include <QUrl>
#include <cstring>

namespace voice {

namespace {
QString settingsFile(const QString& folder)
{
    return folder + QStringLiteral("/microphone.ini");
}
} // namespace

platform::Result<> WriteSound(const QString& path, const std::vector<short>& sound)
{
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(reinterpret_cast<const char*>(sound.data()), qint64(sound.size() * 2)) < 0
        || !f.commit())
        return platform::Fail(QStringLiteral("%1 cannot be written").arg(path));
    return {};
}

std::vector<short> ReadSound(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly) || f.size() > 16000 * 2 * 60)
        return {};
    const QByteArray b = f.readAll();
    std::vector<short> s(size_t(b.size()) / 2);
    std::memcpy(s.data(), b.constData(), s.size() * 2);
    return s;
}

QString ProfileStore::folderFor(const QString& microphone) const
{
    // A source's name is the server's; anything that is not safe in a file name is escaped.
    const QString name = QString::fromLatin1(QUrl::toPercentEncoding(microphone.isEmpty() ? QStringLiteral("default") : microphone, "-._"));
    return root_ + u'/' + name;
}

platform::Result<VoiceProfile> ProfileStore::profile(const QString& microphone, const QString& model) const
{
    return VoiceProfile::load(folderFor(microphone) + QStringLiteral("/profile"), model);
}

platform::Result<> ProfileStore::install(const QString& microphone, const QString& folder)
{
    const QString target = folderFor(microphone) + QStringLiteral("/profile");
    const QString old = target + QStringLiteral(".old");
    QDir(old).removeRecursively();
    if (QFileInfo::exists(target) && !QDir().rename(target, old))
        return platform::Fail(QStringLiteral("%1 cannot be replaced").arg(target));
    if (!QDir().rename(folder, target)) {
        QDir().rename(old, target);
        return platform::Fail(QStringLiteral("%1 cannot be replaced").arg(target));
    }
    QDir(old).removeRecursively();
    return {};
}

void ProfileStore::dropProfile(const QString& microphone)
{
    QDir(folderFor(microphone) + QStringLiteral("/profile")).removeRecursively();
}

std::vector<StoredRecording> ProfileStore::list(const QString& folder, bool commands) const
{
    std::vector<StoredRecording> items;
    QFile f(folder + QStringLiteral("/list.tsv"));
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return items;
    while (!f.atEnd()) {
        const QStringList c = QString::fromUtf8(f.readLine()).trimmed().split(u'\t');
        if (c.size() != 4 || c[0].contains(u'/'))
            continue;
        StoredRecording r;
        r.path = folder + u'/' + c[0];
        r.room.quiet = c[1] == QLatin1String("quiet");
        r.room.voiceOverRoomDb = c[2].toFloat();
        r.text = c[3];
        r.command = commands;
        items.push_back(r);
    }
    return items;
}

platform::Result<> ProfileStore::writeList(const QString& folder, const std::vector<StoredRecording>& items) const
{
    QSaveFile f(folder + QStringLiteral("/list.tsv"));
    if (!f.open(QIODevice::WriteOnly | QIODevice::Text))
        return platform::Fail(QStringLiteral("%1 cannot be written").arg(folder));
    QTextStream out(&f);
    for (const StoredRecording& r : items)
        out << QFileInfo(r.path).fileName() << '\t' << (r.room.quiet ? "quiet" : "noisy") << '\t'
            << QString::number(double(r.room.voiceOverRoomDb), 'f', 1) << '\t' << QString(r.text).remove(u'\t') << '\n';
    out.flush();
    if (!f.commit())
        return platform::Fail(QStringLiteral("%1 cannot be written").arg(folder));
    return {};
}

platform::Result<> ProfileStore::saveReadings(const QString& microphone, const std::vector<StoredRecording>& readings,
                                              const std::vector<std::vector<short>>& sounds)
{
    const QString folder = folderFor(microphone) + QStringLiteral("/readings");
    QDir(folder).removeRecursively();
    if (!QDir().mkpath(folder))
        return platform::Fail(QStringLiteral("%1 cannot be made").arg(folder));
    std::vector<StoredRecording> items;
    for (size_t i = 0; i < readings.size() && i < sounds.size(); ++i) {
        StoredRecording r = readings[i];
        r.path = folder + QStringLiteral("/r%1.raw").arg(i, 3, 10, QLatin1Char('0'));
        if (auto w = WriteSound(r.path, sounds[i]); !w)
            return w;
        items.push_back(r);
    }
    return writeList(folder, items);
}

platform::Result<> ProfileStore::keepCommand(const QString& microphone, const QString& phrase, const Room& room,
                                             const std::vector<short>& sound)
{
    const QString folder = folderFor(microphone) + QStringLiteral("/commands");
    if (!QDir().mkpath(folder))
        return platform::Fail(QStringLiteral("%1 cannot be made").arg(folder));
    std::vector<StoredRecording> items = list(folder, true);
    int next = 0;
    for (const StoredRecording& r : items)
        next = std::max(next, QFileInfo(r.path).baseName().mid(1).toInt() + 1);
    StoredRecording r{folder + QStringLiteral("/c%1.raw").arg(next, 6, 10, QLatin1Char('0')), phrase, room, true};
    if (auto w = WriteSound(r.path, sound); !w)
        return w;
    items.push_back(r);
    qint64 bytes = 0;
    for (const StoredRecording& i : items)
        bytes += QFileInfo(i.path).size();
    while (!items.empty() && (int(items.size()) > MaxCommands || bytes > MaxCommandBytes)) {
        bytes -= QFileInfo(items.front().path).size();
        QFile::remove(items.front().path);
        items.erase(items.begin());
    }
    if (auto w = writeList(folder, items); !w)
        return w;
    QSettings s(settingsFile(folderFor(microphone)), QSettings::IniFormat);
    s.setValue(QStringLiteral("keptSinceAdaptation"), s.value(QStringLiteral("keptSinceAdaptation"), 0).toInt() + 1);
    return {};
}

std::vector<StoredRecording> ProfileStore::recordings(const QString& microphone) const
{
    std::vector<StoredRecording> all = list(folderFor(microphone) + QStringLiteral("/readings"), false);
    const std::vector<StoredRecording> commands = list(folderFor(microphone) + QStringLiteral("/commands"), true);
    all.insert(all.end(), commands.begin(), commands.end());
    return all;
}

bool ProfileStore::learning(const QString& microphone) const
{
    return QSettings(settingsFile(folderFor(microphone)), QSettings::IniFormat).value(QStringLiteral("learning"), false).toBool();
}

void ProfileStore::setLearning(const QString& microphone, bool on)
{
    QDir().mkpath(folderFor(microphone));
    QSettings(settingsFile(folderFor(microphone)), QSettings::IniFormat).setValue(QStringLiteral("learning"), on);
    if (!on)
        QDir(folderFor(microphone) + QStringLiteral("/commands")).removeRecursively();
}

int ProfileStore::keptSinceAdaptation(const QString& microphone) const
{
    return QSettings(settingsFile(folderFor(microphone)), QSettings::IniFormat)
        .value(QStringLiteral("keptSinceAdaptation"), 0)
        .toInt();
}

void ProfileStore::markAdapted(const QString& microphone)
{
    QSettings(settingsFile(folderFor(microphone)), QSettings::IniFormat).setValue(QStringLiteral("keptSinceAdaptation"), 0);
}

platform::Result<> ProfileStore::forget()
{
    if (!QFileInfo::exists(root_))
        return {};
    if (!QDir(root_).removeRecursively())
        return platform::Fail(QStringLiteral("%1 could not be deleted entirely").arg(root_));
    return {};
}

bool ProfileStore::empty() const
{
    return QDir(root_).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot);
}

} // namespace voice
