// Test support: doubles for the platform services, and waiting on the event loop.
#pragma once
#include "platform/Platform.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <functional>
#include <stdexcept>

#include <ostream>

// Readable QStrings in test failures.
inline void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}

namespace testsupport {

// A clock that stands still until the test moves it.
class ManualClock final : public platform::Clock {
public:
    QDateTime now() const override { return now_; }
    void set(const QDateTime& t) { now_ = t; }

private:
    QDateTime now_{QDate(2026, 3, 15), QTime(9, 0, 0)};
};

// Records the text of every message box instead of showing it; `onShow` may act while the "box" is up.
class RecordingMessageBox final : public platform::MessageBox {
public:
    void MsgBox(const QString& text, const QString&, Icon, const QRect&) override
    {
        shown << text;
        if (onShow)
            onShow();
    }
    QStringList shown;
    std::function<void()> onShow;
};

class FakeClipboard final : public platform::Clipboard {
public:
    QString GetText() const override { return text; }
    QString text;
};

class RecordingShell final : public platform::Shell {
public:
    platform::Result<> StartProgram(const QString& path) override { started.append(path); return {}; }
    platform::Result<> OpenDocument(const QString& path) override
    {
        opened.append(path);
        return openResult;
    }
    QStringList started, opened;
    platform::Result<> openResult;
};

// Keeps what would have been shown on the desktop.
class RecordingNotifier final : public platform::Notifier {
public:
    void notify(const QString& summary, const QString& body) override { shown.append(summary + u'|' + body); }
    QStringList shown; // "summary|body"
};

// Real INI settings in a private temporary directory.
class TempSettings {
public:
    TempSettings() : report(nullptr, nullptr), store(dir.path(), report)
    {
        QObject::connect(&report, &platform::UserReport::reported, [this](const QString&, const QString& m) { reports.append(m); });
    }
    QString iniPath() const { return store.filePath(QStringLiteral("Varrow")); }
    QTemporaryDir dir;
    QStringList reports;
    platform::UserReport report;
    platform::IniSettingsStore store;
};

// Every platform service, with test doubles where the real one would need a person.
struct TestPlatform {
    TempSettings settings;
    FakeClipboard clipboard;
    RecordingMessageBox messageBox;
    RecordingShell shell;
    ManualClock clock;
    platform::FixedScreenMetrics screen{15, 15};
    RecordingNotifier notifier;
    platform::UserReport report{&notifier};
    platform::Platform platform{settings.store, clipboard, messageBox, shell, clock, screen, report, notifier,
                                platform::VersionInfo::program()};
};

// A form's control found by its object name, as the user finds it by its place on the form.
template <class W> W& child(const QObject& form, const char* name)
{
    W* w = form.findChild<W*>(QLatin1String(name));
    if (!w)
        throw std::runtime_error(std::string("no control named ") + name);
    return *w;
}

// Runs the event loop until `done` holds or the timeout passes; returns whether it held.
inline bool waitUntil(const std::function<bool()>& done, int timeoutMs = 5000)
{
    for (QDeadlineTimer deadline(timeoutMs); !done(); QThread::msleep(1)) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

// Shows the window and brings it in front, so that its controls get real focus events.
inline bool activate(QWidget& w)
{
    w.show();
    w.activateWindow();
    if (!QTest::qWaitForWindowActive(&w, 300))
        QApplication::setActiveWindow(&w); // the offscreen platform does not always pass it on
    return waitUntil([&] { return w.isActiveWindow(); }, 2000);
}

// Runs the event loop for `ms` milliseconds of real time.
inline void pump(int ms = 0)
{
    for (QDeadlineTimer deadline(ms);; QThread::msleep(1)) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        if (deadline.hasExpired())
            break;
    }
    QCoreApplication::sendPostedEvents();
}

// The folder holding the source tree (for assets/Genie.acs and test data).
inline QString sourceDir()
{
    return qEnvironmentVariable("VARROW_TEST_DATA", QStringLiteral(VARROW_SOURCE_DIR));
}

} // namespace testsupport
