// The e2e harness: a private X display with a window manager, and the real program run on it.
#include "Desktop.h"

#include <QColor>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSettings>
#include <QThread>
#include <algorithm>
#include <unistd.h>

namespace e2e {

namespace {
const QRgb Background = qRgb(0x3a, 0x6e, 0xa5);

QProcessEnvironment displayEnvironment(const QString& display)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", display);
    env.remove("WAYLAND_DISPLAY");
    env.insert("QT_QPA_PLATFORM", "xcb");
    env.remove("DBUS_SESSION_BUS_ADDRESS");
    env.remove("PULSE_SERVER");
    return env;
}
} // namespace

Ran RunToEnd(const QProcessEnvironment& env, const QString& program, const QStringList& args, int timeoutMs)
{
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(program, args);
    Ran ran;
    ran.finished = p.waitForFinished(timeoutMs) && p.exitStatus() == QProcess::NormalExit;
    if (p.state() != QProcess::NotRunning)
        Stop(p, 0);
    ran.code = ran.finished ? p.exitCode() : -1;
    ran.out = QString::fromLocal8Bit(p.readAllStandardOutput());
    ran.err = QString::fromLocal8Bit(p.readAllStandardError());
    return ran;
}

void Stop(QProcess& p, int graceMs)
{
    if (p.state() == QProcess::NotRunning)
        return;
    p.terminate();
    if (graceMs > 0 && p.waitForFinished(graceMs))
        return;
    p.kill();
    p.waitForFinished(3000);
}

bool WaitUntil(const std::function<bool()>& done, int timeoutMs, int pollMs)
{
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > timeoutMs)
            return false;
        QThread::msleep(pollMs);
    }
    return true;
}

Desktop::Desktop(QSize size, const std::vector<QRect>& monitors)
{
    // The server picks its own display: a guessed one may be held in the abstract namespace by another.
    // Without -noreset it would forget the monitors whenever no client is left between two tools.
    xvfb_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    xvfb_.start("Xvfb", {"-displayfd", "1", "-screen", "0", QString("%1x%2x24").arg(size.width()).arg(size.height()),
                         "-br", "-nolisten", "tcp", "-noreset"});
    QByteArray number;
    WaitUntil([&] {
        xvfb_.waitForReadyRead(50);
        number += xvfb_.readAllStandardOutput();
        return number.endsWith('\n') || xvfb_.state() == QProcess::NotRunning;
    }, 10000, 0);
    bool ok = false;
    const int n = number.trimmed().toInt(&ok);
    if (!ok) {
        error_ = "Xvfb did not say which display it took: " + xvfb_.errorString();
        return;
    }
    display_ = QString(":%1").arg(n);
    // The server listens once the socket is there, but answers a moment later: ask it.
    if (!WaitUntil([&] { return run("xdpyinfo", {}, 2000).has_value(); }, 10000)) {
        fail("Xvfb does not answer");
        return;
    }
    // Not black: where a window without its shape shows its transparent parts, they show black.
    run("display", {"-window", "root", "xc:" + QColor(Background).name()});
    // Monitors before the window manager, which reads them at its start; 96 dots per inch.
    for (size_t i = 0; i < monitors.size(); ++i) {
        const QRect& m = monitors[i];
        const QString geometry = QString("%1/%2x%3/%4+%5+%6").arg(m.width()).arg(qRound(m.width() * 25.4 / 96))
                                     .arg(m.height()).arg(qRound(m.height() * 25.4 / 96)).arg(m.x()).arg(m.y());
        // The screen's one output goes to the first monitor, which makes it the primary one.
        if (!run("xrandr", {"--setmonitor", QString("M%1").arg(i), geometry, i == 0 ? "screen" : "none"})) {
            fail(QString("xrandr could not set monitor %1").arg(i));
            return;
        }
    }
    wm_.setProcessEnvironment(displayEnvironment(display_));
    wm_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // openbox announces itself before it manages windows; its start-up command runs once it does.
    const QString ready = scratch_.filePath("openbox-ready");
    wm_.start("openbox", {"--sm-disable", "--startup", QString("touch '%1'").arg(ready)});
    if (!wm_.waitForStarted(5000) || !WaitUntil([&] { return QFile::exists(ready); }, 30000))
        fail("openbox did not start");
}

void Desktop::fail(const QString& why)
{
    error_ = why + " on " + display_;
    display_.clear();
}

QProcessEnvironment Desktop::environment() const
{
    QProcessEnvironment env = displayEnvironment(display_);
    if (!sessionBus_.isEmpty())
        env.insert("DBUS_SESSION_BUS_ADDRESS", sessionBus_);
    if (!soundServer_.isEmpty())
        env.insert("PULSE_SERVER", soundServer_);
    env.insert("SPEECHD_ADDRESS", speechDispatcher_.isEmpty() ? "unix_socket:" + scratch_.filePath("no-speechd.sock")
                                                              : speechDispatcher_);
    if (scale_ != 1)
        env.insert("QT_SCALE_FACTOR", QString::number(scale_));
    return env;
}

Desktop::~Desktop()
{
    Stop(wm_);
    Stop(xvfb_);
}

std::optional<QString> Desktop::run(const QString& program, const QStringList& args, int timeoutMs) const
{
    const Ran ran = RunToEnd(environment(), program, args, timeoutMs);
    return ran.ok() ? std::optional<QString>(ran.out) : std::nullopt;
}

void Desktop::xdotool(const QStringList& args) const
{
    run("xdotool", args);
}

QImage Desktop::screenshot(const QString& saveAs) const
{
    const QString path = saveAs.isEmpty() ? QDir::temp().filePath(QString("varrow-e2e-%1.png").arg(::getpid())) : saveAs;
    if (!run("import", {"-window", "root", "png:" + path}))
        return {};
    QImage image(path);
    if (saveAs.isEmpty())
        QFile::remove(path);
    return image;
}

Varrow::Varrow(const Desktop& desktop, const QString& home, const QStringList& args, const QString& program,
               const QString& traceName)
    : Varrow(desktop.environment(), home, args, program, traceName)
{
    desktop_ = &desktop;
}

Varrow::Varrow(QProcessEnvironment env, const QString& home, const QStringList& args, const QString& program,
               const QString& traceName)
    : home_(home), tracePath_(home + u'/' + traceName + ".txt")
{
    QDir().mkpath(home_ + "/runtime");
    QFile::setPermissions(home_ + "/runtime", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QFile::remove(tracePath_);
    env.insert("XDG_CONFIG_HOME", home_ + "/config");
    env.insert("XDG_RUNTIME_DIR", home_ + "/runtime");
    env.insert("XDG_DATA_HOME", home_ + "/data");
    env.insert("XDG_CACHE_HOME", home_ + "/cache");
    env.insert("XDG_DATA_DIRS", home_ + "/data");
    process_.setProcessEnvironment(env);
    process_.start(program.isEmpty() ? ProgramPath() : program, QStringList{"--trace", tracePath_} + args);
    process_.waitForStarted(5000);
}

Varrow::~Varrow()
{
    Stop(process_, 5000);
}

QString Varrow::trace() const
{
    QFile f(tracePath_);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

bool Varrow::traced(const QString& pattern) const
{
    return QRegularExpression(pattern, QRegularExpression::MultilineOption).match(trace()).hasMatch();
}

std::optional<QRegularExpressionMatch> Varrow::waitFor(const QString& pattern, int timeoutMs, int pollMs)
{
    // Lines look like "<ms> <event>"; the pattern matches the event.
    const QRegularExpression re("^\\d+ (?:" + pattern + ")$", QRegularExpression::MultilineOption);
    QElapsedTimer t;
    t.start();
    for (;;) {
        const QString text = trace();
        const qsizetype complete = text.lastIndexOf(u'\n') + 1; // a line still being written doesn't count
        const QRegularExpressionMatch m = re.match(text.left(complete), consumed_);
        if (m.hasMatch()) {
            consumed_ = m.capturedEnd() + 1;
            return m;
        }
        if (t.elapsed() > timeoutMs || (!running() && complete == text.size() && t.elapsed() > 200))
            return std::nullopt;
        process_.waitForReadyRead(pollMs);
        errors();
    }
}

std::optional<int> Varrow::waitForExit(int timeoutMs)
{
    if (running() && !process_.waitForFinished(timeoutMs))
        return std::nullopt;
    errors();
    return process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : -1;
}

QString Varrow::errors()
{
    return stderr_ += QString::fromLocal8Bit(process_.readAllStandardError());
}

bool Varrow::pick(const QPoint& at, const QString& entry)
{
    if (!desktop_)
        return false;
    auto pointAt = [scale = desktop_->scale()](const QPoint& p) {
        return QStringList{"mousemove", QString::number(qRound(p.x() * scale)), QString::number(qRound(p.y() * scale))};
    };
    desktop_->xdotool(pointAt(at) + QStringList{"click", "3"});
    if (!waitFor("menu shown .*"))
        return false;
    const auto item = waitFor("menu item (\\d+),(\\d+) (\\d+)x(\\d+) " + QRegularExpression::escape(entry), 3000);
    if (!item)
        return false;
    desktop_->xdotool(pointAt(ParseGeometry(*item, 1).center()));
    desktop_->xdotool({"click", "1"});
    return true;
}

QString ProgramPath()
{
    // Another build of the program (an earlier one, or an installed one) can be run in its place.
    return qEnvironmentVariable("VARROW_E2E_PROGRAM", VARROW_PROGRAM);
}

QString SettingsFile(const QString& home)
{
    return home + "/config/Varrow/Varrow.ini";
}

void SetSetting(const QString& home, const QString& key, const QVariant& value)
{
    QSettings(SettingsFile(home), QSettings::IniFormat).setValue("Settings/" + key, value);
}

void SeedPlace(const QString& home, QPoint place)
{
    SetSetting(home, "LastPositionX", place.x());
    SetSetting(home, "LastPositionY", place.y());
}

QPoint SavedPlace(const QString& home)
{
    const QSettings saved(SettingsFile(home), QSettings::IniFormat);
    return {saved.value("Settings/LastPositionX").toInt(), saved.value("Settings/LastPositionY").toInt()};
}

double DrawnShare(const QImage& shot, const QRect& area)
{
    const QRect r = area.intersected(shot.rect());
    qint64 drawn = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            drawn += ColourDistance(shot.pixel(x, y), Background) > 24;
    return r.isEmpty() ? 0 : double(drawn) / (qint64(r.width()) * r.height());
}

int ColourDistance(QRgb a, QRgb b)
{
    return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)), std::abs(qBlue(a) - qBlue(b))});
}

QRect ParseGeometry(const QRegularExpressionMatch& m, int first)
{
    return QRect(m.captured(first).toInt(), m.captured(first + 1).toInt(), m.captured(first + 2).toInt(),
                 m.captured(first + 3).toInt());
}

} // namespace e2e
