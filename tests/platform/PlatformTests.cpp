#include "support/TestSupport.h"
#include "platform/InstanceLock.h"
#include "platform/SettingsStore.h"
#include "platform/TimeText.h"

#include <QDir>
#include <QFileInfo>
#include <QSysInfo>
#include <unistd.h>
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
    ASSERT_EQ(t.reports.size(), 1) << t.reports.join('\n').toStdString();
    const QStringList kept = QDir(QFileInfo(t.iniPath()).path()).entryList({"Varrow.ini.corrupt-*"});
    ASSERT_EQ(kept.size(), 1);
    QFile old(QFileInfo(t.iniPath()).path() + "/" + kept[0]);
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), garbage);
    EXPECT_EQ(IniSettingsStore(t.dir.path()).GetSetting("Varrow", "Settings", "LastPositionX", "0"), "5");
}

TEST(Settings, UnwritableFolderIsReportedOnceAndNeverThrows)
{
    testsupport::TempSettings t;
    const QString folder = QFileInfo(t.iniPath()).path();
    if (::geteuid() != 0) {
        QDir().mkpath(folder);
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner);
    } else {
        // Root writes through read-only folders, but not through a file standing where the folder should be.
        QDir().mkpath(QFileInfo(folder).path());
        QFile blocker(folder);
        ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    }
    t.store.SaveSetting("Varrow", "Settings", "LastPositionX", "1");
    t.store.SaveSetting("Varrow", "Settings", "LastPositionX", "2");
    EXPECT_EQ(t.reports.size(), 1) << t.reports.join(u'\n').toStdString();
    if (::geteuid() != 0)
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

TEST(Settings, SixteenBitConversion)
{
    EXPECT_EQ(ToInt16("300"), 300);
    EXPECT_EQ(ToInt16(" -5 "), -5);
    EXPECT_EQ(ToInt16("+7"), 7);
    EXPECT_EQ(ToInt16("32767"), 32767);
    EXPECT_EQ(ToInt16("-32768"), -32768);
    for (const char* bad : {"", " ", "-", "32768", "-32769", "70000", "99999999999999999999", "12abc", "1.5", "0x10", "1e3",
                            "\xef\xbc\x97" /* full-width 7 */})
        EXPECT_FALSE(ToInt16(QString::fromUtf8(bad)).has_value()) << bad;
}

TEST(TimeTexts, FormatsAndReadBack)
{
    EXPECT_EQ(LongTime(QTime(13, 5, 9)), "1:05:09 PM");
    EXPECT_EQ(LongTime(QTime(0, 0, 0)), "12:00:00 AM");
    EXPECT_EQ(LongDate(QDate(1999, 3, 15)), "Monday, March 15, 1999");
    // Every second of the day reads back as itself.
    for (int s = 0; s < 86400; ++s) {
        const TimeOfDay t = *TimeOfDay::fromHms(s / 3600, s / 60 % 60, s % 60);
        ASSERT_EQ(ReadTimeOfDay(TimeText(t)), t) << s;
    }
    EXPECT_EQ(ParseTwelveHourTime("12:30:00 PM"), TimeOfDay::fromHms(12, 30, 0));
    EXPECT_EQ(ParseTwelveHourTime("12:00:00 AM"), TimeOfDay::fromHms(0, 0, 0));
    EXPECT_EQ(ParseTwelveHourTime("7:05:09 pm"), TimeOfDay::fromHms(19, 5, 9));
    for (const char* bad : {"", "7:05 PM", ":05:09 PM", "13:00:00 PM", "0:10:00 AM", "7:60:00 AM", "7:05:09", "a:b:c PM"})
        EXPECT_FALSE(ParseTwelveHourTime(bad).has_value()) << bad;
}

TEST(InstanceLock, SecondHolderIsRefusedAndADeadOwnersLockIsTakenOver)
{
    QTemporaryDir dir;
    {
        InstanceLock first("Varrow", dir.path());
        EXPECT_FALSE(first.PrevInstance());
        InstanceLock second("Varrow", dir.path());
        EXPECT_TRUE(second.PrevInstance());
    }
    // A lock file left by a process that is gone (here: a child that has exited) does not block.
    QProcess child;
    child.start("/bin/sleep", {"0.05"});
    ASSERT_TRUE(child.waitForStarted());
    const qint64 deadPid = child.processId();
    ASSERT_TRUE(child.waitForFinished());
    QFile stale(InstanceLock("Varrow", dir.path()).path());
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    stale.write(QByteArray::number(deadPid) + "\nvarrow\n" + QSysInfo::machineHostName().toUtf8() + "\n");
    stale.close();
    InstanceLock third("Varrow", dir.path());
    EXPECT_FALSE(third.PrevInstance());
}
