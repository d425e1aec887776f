// The platform services: settings, time texts, the instance lock and the user's reports.
#include "support/TestSupport.h"
#include "platform/InstanceLock.h"
#include "platform/SettingsStore.h"
#include "platform/TimeText.h"

#include <QDir>
#include <QFileInfo>
#include <QSysInfo>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace platform;

TEST(Settings, CorruptFileIsKeptAsideBeforeAnythingIsWritten)
{
    testsupport::TempSettings t;
    QDir().mkpath(QFileInfo(t.iniPath()).path());
    QFile f(t.iniPath());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    const QByteArray garbage("[Settings\nLastPositionX=\"unterminated\n\xff\xfe\x00junk", 42);
    f.write(garbage);
    f.close();
    f.setPermissions(QFile::WriteOwner); // unreadable: the store cannot use it
    EXPECT_EQ(t.store.GetSetting("Varrow", "Settings", "LastPositionX", "0"), "0");
    f.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    t.store.SaveSetting("Varrow", "Settings", "LastPositionX", "5");
    const QStringList kept = QDir(QFileInfo(t.iniPath()).path()).entryList({"Varrow.ini.corrupt-*"});
    ASSERT_EQ(kept.size(), 1);
    // The user hears that the file could not be read, and then where it was kept.
    ASSERT_EQ(t.reports.size(), 2) << t.reports.join('\n').toStdString();
    EXPECT_TRUE(t.reports[1].contains(kept[0])) << t.reports[1].toStdString();
    QFile old(QFileInfo(t.iniPath()).path() + "/" + kept[0]);
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), garbage);
    EXPECT_EQ(IniSettingsStore(t.dir.path(), t.report).GetSetting("Varrow", "Settings", "LastPositionX", "0"), "5");
}

TEST(UserReport, WithoutASessionBusStderrAlone)
{
    // No bus named and none in the runtime dir: nothing is started or waited for.
    const QByteArray given = qgetenv("DBUS_SESSION_BUS_ADDRESS");
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    EXPECT_EQ(DesktopNotifications::sessionBusAddress(), QString());
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    QFile socket(runtime + "/bus");
    ASSERT_TRUE(socket.open(QIODevice::WriteOnly)); // stands in for a bus socket with nobody listening
    EXPECT_EQ(DesktopNotifications::sessionBusAddress(), "unix:path=" + runtime + "/bus");

    std::FILE* out = std::tmpfile();
    DesktopNotifications desktop(QStringLiteral("varrow"));
    UserReport report(&desktop, out);
    report.problem("Voice commands are off", "No microphone was found, so voice commands are off.");
    report.problem("Voice commands are off", "No microphone was found, so voice commands are off.");
    std::rewind(out);
    QFile written;
    ASSERT_TRUE(written.open(out, QIODevice::ReadOnly, QFile::AutoCloseHandle));
    EXPECT_EQ(written.readAll(), "Varrow: No microphone was found, so voice commands are off.\n");
    socket.remove();
    if (!given.isEmpty())
        qputenv("DBUS_SESSION_BUS_ADDRESS", given);
}

// Stored numbers and times are read strictly.
TEST(Settings, NumbersAndTimesReadStrictly)
{
    for (const auto& [text, n] : {std::pair{" -5 ", -5}, {"+7", 7}, {"32767", 32767}, {"-32768", -32768}})
        EXPECT_EQ(ToInt16(text), n) << text;
    for (const char* bad : {"", " ", "-", "32768", "-32769", "70000", "99999999999999999999", "12abc", "1.5", "0x10", "1e3",
                            "\xef\xbc\x97" /* full-width 7 */})
        EXPECT_FALSE(ToInt16(QString::fromUtf8(bad)).has_value()) << bad;

    // Every second of the day reads back from its text; twelve-hour times are read strictly.
    for (int s = 0; s < 86400; ++s) {
        const TimeOfDay t = *TimeOfDay::fromHms(s / 3600, s / 60 % 60, s % 60);
        ASSERT_EQ(ReadTimeOfDay(TimeText(t)), t) << s;
    }
    EXPECT_EQ(ParseTwelveHourTime("7:05:09 pm"), TimeOfDay::fromHms(19, 5, 9));
    for (const char* bad : {"", "7:05 PM", ":05:09 PM", "13:00:00 PM", "0:10:00 AM", "7:60:00 AM", "7:05:09", "a:b:c PM"})
        EXPECT_FALSE(ParseTwelveHourTime(bad).has_value()) << bad;
}

// A second holder is refused in the e2e first-start run; a lock file left by a process that is gone
// (here: a child that has exited) does not block.
TEST(InstanceLock, ADeadOwnersLockIsTakenOver)
{
    QTemporaryDir dir;
    QProcess child;
    child.start("/bin/sleep", {"0.05"});
    ASSERT_TRUE(child.waitForStarted());
    const qint64 deadPid = child.processId();
    ASSERT_TRUE(child.waitForFinished());
    QFile stale(InstanceLock("Varrow", dir.path()).path());
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    stale.write(QByteArray::number(deadPid) + "\nvarrow\n" + QSysInfo::machineHostName().toUtf8() + "\n");
    stale.close();
    InstanceLock lock("Varrow", dir.path());
    EXPECT_FALSE(lock.PrevInstance());
}
