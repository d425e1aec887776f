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
    env.insert(QStringLiteral("DISPLAY"), display);
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
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
    xvfb_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    xvfb_.start(QStringLiteral("Xvfb"), {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                                         QStringLiteral("0"), QStringLiteral("%1x%2x24").arg(size.width()).arg(size.height()),
                                         QStringLiteral("-br"), QStringLiteral("-nolisten"), QStringLiteral("tcp"),
                                         // without clients between two tools it would forget the monitors
                                         QStringLiteral("-noreset")});
    QByteArray number;
    WaitUntil([&] {
        xvfb_.waitForReadyRead(50);
        number += xvfb_.readAllStandardOutput();
        return number.endsWith('\n') || xvfb_.state() == QProcess::NotRunning;
    }, 10000, 0);
    bool ok = false;
    const int n = number.trimmed().toInt(&ok);
    if (!ok) {
        error_ = QStringLiteral("Xvfb did not say which display it took: ") + xvfb_.errorString();
        return;
    }
    display_ = QStringLiteral(":%1").arg(n);
    // The server listens once the socket is there, but answers a moment later: ask it.
    if (!WaitUntil([&] { return run(QStringLiteral("xdpyinfo"), {}, 2000).has_value(); }, 10000)) {
        error_ = QStringLiteral("Xvfb on %1 does not answer").arg(display_);
        display_.clear();
        return;
    }
    // Not black: where a window without its shape shows its transparent parts, they show black.
    run(QStringLiteral("display"), {QStringLiteral("-window"), QStringLiteral("root"),
                                    QStringLiteral("xc:") + QColor(Background).name()});
    // Monitors before the window manager, which reads them at its start; 96 dots per inch.
    for (size_t i = 0; i < monitors.size(); ++i) {
        const QRect& m = monitors[i];
        const QString geometry = QStringLiteral("%1/%2x%3/%4+%5+%6")
                                     .arg(m.width()).arg(qRound(m.width() * 25.4 / 96))
                                     .arg(m.height()).arg(qRound(m.height() * 25.4 / 96))
                                     .arg(m.x()).arg(m.y());
        // The screen's one output goes to the first monitor, which makes it the primary one.
        if (!run(QStringLiteral("xrandr"), {QStringLiteral("--setmonitor"), QStringLiteral("M%1").arg(i), geometry,
                                            i == 0 ? QStringLiteral("screen") : QStringLiteral("none")})) {
            error_ = QStringLiteral("xrandr could not set monitor %1 on %2").arg(i).arg(display_);
            display_.clear();
            return;
        }
    }
    wm_.setProcessEnvironment(displayEnvironment(display_));
    wm_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // openbox announces itself before it manages windows; its start-up command runs once it does.
    const QString ready = scratch_.filePath(QStringLiteral("openbox-ready"));
    wm_.start(QStringLiteral("openbox"), {QStringLiteral("--sm-disable"), QStringLiteral("--startup"),
                                          QStringLiteral("touch '%1'").arg(ready)});
    const bool managed = wm_.waitForStarted(5000) && WaitUntil([&] { return QFile::exists(ready); }, 30000);
    if (!managed) {
        error_ = QStringLiteral("openbox did not start on %1").arg(display_);
        display_.clear();
    }
}

QProcessEnvironment Desktop::environment() const
{
    QProcessEnvironment env = displayEnvironment(display_);
    if (!sessionBus_.isEmpty())
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), sessionBus_);
    if (scale_ != 1)
        env.insert(QStringLiteral("QT_SCALE_FACTOR"), QString::number(scale_));
    return env;
}

bool Desktop::setBackground(const QString& colour) const
{
    return run(QStringLiteral("xsetroot"), {QStringLiteral("-solid"), colour}).has_value();
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
    run(QStringLiteral("xdotool"), args);
}

QImage Desktop::screenshot(const QString& saveAs) const
{
    const QString path = saveAs.isEmpty() ? QDir::temp().filePath(QStringLiteral("varrow-e2e-%1.png").arg(::getpid()))
                                          : saveAs;
    if (!run(QStringLiteral("import"), {QStringLiteral("-window"), QStringLiteral("root"), QStringLiteral("png:") + path}))
        return {};
    QImage image(path);
    if (saveAs.isEmpty())
        QFile::remove(path);
    return image;
}

Varrow::Varrow(const Desktop& desktop, const QString& home, const QStringList& args, const QString& program,
               const QString& traceName)
    : desktop_(&desktop), home_(home), tracePath_(home + u'/' + traceName + QStringLiteral(".txt"))
{
    start(desktop.environment(), program, args);
}

Varrow::Varrow(const QProcessEnvironment& session, const QString& home, const QStringList& args)
    : home_(home), tracePath_(home + QStringLiteral("/trace.txt"))
{
    start(session, {}, args);
}

void Varrow::start(QProcessEnvironment env, const QString& program, const QStringList& args)
{
    QDir().mkpath(home_ + QStringLiteral("/runtime"));
    QFile::setPermissions(home_ + QStringLiteral("/runtime"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QFile::remove(tracePath_);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home_ + QStringLiteral("/config"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home_ + QStringLiteral("/runtime"));
    env.insert(QStringLiteral("XDG_DATA_HOME"), home_ + QStringLiteral("/data"));
    env.insert(QStringLiteral("XDG_DATA_DIRS"), home_ + QStringLiteral("/data"));
    process_.setProcessEnvironment(env);
    process_.start(program.isEmpty() ? ProgramPath() : program,
                   QStringList{QStringLiteral("--trace"), tracePath_} + args);
    process_.waitForStarted(5000);
}

Varrow::~Varrow()
{
    Stop(process_, 5000);
}

QString Varrow::trace() const
{
    QFile f(tracePath_);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.readAll());
}

bool Varrow::traced(const QString& pattern) const
{
    return QRegularExpression(pattern, QRegularExpression::MultilineOption).match(trace()).hasMatch();
}

std::optional<QRegularExpressionMatch> Varrow::waitFor(const QString& pattern, int timeoutMs, int pollMs)
{
    // Lines look like "<ms> <event>"; the pattern matches the event.
    const QRegularExpression re(QStringLiteral("^\\d+ (?:") + pattern + QStringLiteral(")$"),
                                QRegularExpression::MultilineOption);
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
        if (t.elapsed() > timeoutMs || (process_.state() == QProcess::NotRunning && complete == text.size() &&
                                        t.elapsed() > 200))
            return std::nullopt;
        process_.waitForReadyRead(pollMs);
        stderr_ += QString::fromLocal8Bit(process_.readAllStandardError());
    }
}

std::optional<int> Varrow::waitForExit(int timeoutMs)
{
    if (process_.state() != QProcess::NotRunning && !process_.waitForFinished(timeoutMs))
        return std::nullopt;
    stderr_ += QString::fromLocal8Bit(process_.readAllStandardError());
    if (process_.exitStatus() != QProcess::NormalExit)
        return -1;
    return process_.exitCode();
}

QString Varrow::errors()
{
    stderr_ += QString::fromLocal8Bit(process_.readAllStandardError());
    return stderr_;
}

bool Varrow::pick(const QPoint& at, const QString& entry)
{
    if (!desktop_)
        return false;
    const double scale = desktop_->scale();
    desktop_->xdotool({QStringLiteral("mousemove"), QString::number(qRound(at.x() * scale)),
                       QString::number(qRound(at.y() * scale)), QStringLiteral("click"), QStringLiteral("3")});
    if (!waitFor(QStringLiteral("menu shown .*")))
        return false;
    const auto item = waitFor(QStringLiteral("menu item (\\d+),(\\d+) (\\d+)x(\\d+) ") +
                              QRegularExpression::escape(entry), 3000);
    if (!item)
        return false;
    const QPoint centre = ParseGeometry(*item, 1).center();
    desktop_->xdotool({QStringLiteral("mousemove"), QString::number(qRound(centre.x() * scale)),
                       QString::number(qRound(centre.y() * scale))});
    desktop_->xdotool({QStringLiteral("click"), QStringLiteral("1")});
    return true;
}

QString ProgramPath()
{
    // Another build of the program (an earlier one, or an installed one) can be run in its place.
    return qEnvironmentVariable("VARROW_E2E_PROGRAM", QStringLiteral(VARROW_PROGRAM));
}

QString SettingsFile(const QString& home)
{
    return home + QStringLiteral("/config/Varrow/Varrow.ini");
}

void SetSetting(const QString& home, const QString& key, const QVariant& value)
{
    QSettings(SettingsFile(home), QSettings::IniFormat).setValue(QStringLiteral("Settings/") + key, value);
}

void SeedPlace(const QString& home, QPoint place)
{
    SetSetting(home, QStringLiteral("LastPositionX"), place.x());
    SetSetting(home, QStringLiteral("LastPositionY"), place.y());
}

QPoint SavedPlace(const QString& home)
{
    const QSettings saved(SettingsFile(home), QSettings::IniFormat);
    return {saved.value(QStringLiteral("Settings/LastPositionX")).toInt(), saved.value(QStringLiteral("Settings/LastPositionY")).toInt()};
}

double DrawnShare(const QImage& shot, const QRect& area)
{
    const QRect r = area.intersected(shot.rect());
    if (r.isEmpty())
        return 0;
    qint64 drawn = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x) {
            const QRgb c = shot.pixel(x, y);
            if (std::max({std::abs(qRed(c) - qRed(Background)), std::abs(qGreen(c) - qGreen(Background)),
                          std::abs(qBlue(c) - qBlue(Background))}) > 24)
                ++drawn;
        }
    return double(drawn) / (qint64(r.width()) * r.height());
}

QRect ParseGeometry(const QRegularExpressionMatch& m, int first)
{
    return QRect(m.captured(first).toInt(), m.captured(first + 1).toInt(), m.captured(first + 2).toInt(),
                 m.captured(first + 3).toInt());
}

} // namespace e2e
