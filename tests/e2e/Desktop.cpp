// The desktop harness: a private X display with openbox, or a Wayland compositor run headless with
// XWayland, and the real program run in it.
#include "Desktop.h"

#include <QColor>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSettings>
#include <QStandardPaths>
#include <QThread>
#include <algorithm>
#include <unistd.h>

namespace e2e {

namespace {

struct Recipe {
    const char *name, *program, *desktop; // desktop: XDG_CURRENT_DESKTOP
};
constexpr Recipe Recipes[] = {{"x11", "Xvfb", ""}, {"sway", "sway", "sway"}, {"kwin", "kwin_wayland", "KDE"},
                              {"mutter", "mutter", "GNOME"}};
constexpr QFile::Permissions Private = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
constexpr QFile::Permissions Runnable = Private | QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther;

// The largest difference of the three channels.
int ColourDistance(QRgb a, QRgb b)
{
    return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)), std::abs(qBlue(a) - qBlue(b))});
}

// A viewable X window from xwininfo's report on it; `managed` says whether a window manager handles it.
std::optional<Window> parseXwininfo(const QString& info, bool* managed = nullptr)
{
    auto field = [&](const char* label) {
        return QRegularExpression(QString("^\\s*%1:\\s*(.*)$").arg(label), QRegularExpression::MultilineOption)
            .match(info).captured(1).trimmed();
    };
    if (field("Map State") != u"IsViewable")
        return std::nullopt;
    if (managed)
        *managed = field("Override Redirect State") != u"yes";
    return Window{QRegularExpression("Window id: 0x[0-9a-f]+ \"(.*)\"$", QRegularExpression::MultilineOption)
                      .match(info).captured(1),
                  QRect(field("Absolute upper-left X").toInt(), field("Absolute upper-left Y").toInt(),
                        field("Width").toInt(), field("Height").toInt())};
}

} // namespace

Ran RunToEnd(const QProcessEnvironment& env, const QString& program, const QStringList& args, int timeoutMs)
{
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(program, args);
    const bool finished = p.waitForFinished(timeoutMs) && p.exitStatus() == QProcess::NormalExit;
    Stop(p, 0);
    return {finished, finished ? p.exitCode() : -1, QString::fromLocal8Bit(p.readAllStandardOutput()),
            QString::fromLocal8Bit(p.readAllStandardError())};
}

void Stop(QProcess& p, int graceMs)
{
    if (p.state() == QProcess::NotRunning)
        return;
    p.terminate();
    if (graceMs <= 0 || !p.waitForFinished(graceMs)) {
        p.kill();
        p.waitForFinished(3000);
    }
}

bool WaitUntil(const std::function<bool()>& done, int timeoutMs, int pollMs)
{
    for (QDeadlineTimer deadline(timeoutMs); !done(); QThread::msleep(pollMs))
        if (deadline.hasExpired())
            return false;
    return true;
}

bool StartUntil(QProcess& p, const QString& program, const QStringList& args, const std::function<bool()>& ready,
                int timeoutMs)
{
    p.start(program, args);
    bool up = false;
    WaitUntil([&] { return p.state() == QProcess::NotRunning || (up = ready()); }, timeoutMs);
    return up && p.state() != QProcess::NotRunning;
}

QProcessEnvironment PrivateEnvironment(const QString& dir)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"HOME", "XDG_RUNTIME_DIR", "XDG_CONFIG_HOME"})
        env.insert(name, dir);
    env.remove("DBUS_SESSION_BUS_ADDRESS");
    return env;
}

bool MakePrivateDir(const QString& path)
{
    return QDir().mkpath(path) && QFile::setPermissions(path, Private);
}

QString ReadText(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

bool WriteText(const QString& path, const QString& text)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(text.toUtf8()) >= 0 && f.flush() && f.setPermissions(Runnable);
}

QString NameOf(Kind kind)
{
    return Recipes[int(kind)].name;
}

bool Installed(Kind kind)
{
    return !QStandardPaths::findExecutable(Recipes[int(kind)].program).isEmpty();
}

Desktop::Desktop(Kind kind, QSize size, const std::vector<QRect>& monitors) : kind_(kind)
{
    server_.setProcessChannelMode(QProcess::MergedChannels);
    server_.setStandardOutputFile(dir_.filePath("log"));
    if (!dir_.isValid() || !(kind == Kind::X11 ? startX11(size, monitors) : startCompositor(size)))
        error_ = NameOf(kind) + " did not start: " + error_ + u'\n' + log();
}

Desktop::~Desktop()
{
    for (auto it = launched_.rbegin(); it != launched_.rend(); ++it)
        Stop(**it, 5000);
    Stop(pointer_);
    Stop(server_, 5000);
}

bool Desktop::startX11(QSize size, const std::vector<QRect>& monitors)
{
    // The server picks its own display: a guessed one may be held in the abstract namespace by another.
    // Without -noreset it would forget the monitors whenever no client is left between two tools.
    const QString displayFile = dir_.filePath("display");
    QString number;
    const QString xvfb = QString("exec Xvfb -displayfd 3 -screen 0 %1x%2x24 -br -nolisten tcp -noreset 3>'%3'")
                             .arg(size.width()).arg(size.height()).arg(displayFile);
    if (!StartUntil(server_, "sh", {"-c", xvfb}, [&] { return (number = ReadText(displayFile)).endsWith('\n'); }))
        return false;
    session_.insert("DISPLAY", ':' + number.trimmed());
    // The server listens once the socket is there, but answers a moment later: ask it.
    if (!WaitUntil([&] { return run("xdpyinfo", {}, 2000).has_value(); }, 10000))
        return false;
    // Not black: where a window without its shape shows its transparent parts, they show black.
    run("display", {"-window", "root", "xc:" + QColor(Background).name()});
    // Monitors before the window manager, which reads them at its start; 96 dots per inch.
    for (size_t i = 0; i < monitors.size(); ++i) {
        const QRect& m = monitors[i];
        const QString geometry = QString("%1/%2x%3/%4+%5+%6").arg(m.width()).arg(qRound(m.width() * 25.4 / 96))
                                     .arg(m.height()).arg(qRound(m.height() * 25.4 / 96)).arg(m.x()).arg(m.y());
        // The screen's one output goes to the first monitor, which makes it the primary one.
        if (!run("xrandr", {"--setmonitor", QString("M%1").arg(i), geometry, i == 0 ? "screen" : "none"}))
            return false;
    }
    // openbox announces itself before it manages windows; its start-up command runs once it does.
    const QString ready = dir_.filePath("openbox-ready");
    return launch("openbox", {"--sm-disable", "--startup", QString("touch '%1'").arg(ready)}) &&
           WaitUntil([&] { return QFile::exists(ready); }, 30000);
}

bool Desktop::startCompositor(QSize size)
{
    bus_ = std::make_unique<testsupport::SessionBus>();
    QFile::setPermissions(dir_.path(), Runnable); // sway runs as nobody and reads its config here
    const QString runtime = dir_.filePath("runtime"), home = dir_.filePath("home");
    for (const QString& d : {runtime, home, dir_.filePath("client-runtime")})
        MakePrivateDir(d);
    // Tells us the displays and stays while the compositor and this folder do (Mutter ends with it).
    const QString envFile = runtime + "/session.env", script = dir_.filePath("session.sh");
    WriteText(script, QString("#!/bin/sh\nxhost +si:localuser:root >/dev/null 2>&1\nenv > %1.new && mv %1.new %1\n"
                              "while kill -0 $PPID 2>/dev/null && [ -e \"$0\" ]; do sleep 1; done\n").arg(envFile));
    QProcessEnvironment env = environment();
    env.insert("XDG_RUNTIME_DIR", runtime);
    env.insert("HOME", home);
    env.insert("XDG_CONFIG_HOME", home + "/.config");
    env.remove("XDG_SESSION_TYPE");
    const QString w = QString::number(size.width()), h = QString::number(size.height());
    QString program = Recipes[int(kind_)].program;
    QStringList args;
    if (kind_ == Kind::Sway) {
        const QString config = dir_.filePath("sway.conf");
        WriteText(config, QString("xwayland enable\noutput HEADLESS-1 resolution %1x%2 position 0 0 bg %3 "
                                  "solid_color\nexec %4\n").arg(w, h, QColor(Background).name(), script));
        env.insert("WLR_BACKENDS", "headless");
        env.insert("WLR_LIBINPUT_NO_DEVICES", "1");
        env.insert("WLR_RENDERER", "pixman");
        args = {"-c", config};
        // sway will not run as root; the session then belongs to nobody, who lets root's clients in.
        if (::getuid() == 0) {
            for (const QString& d : {runtime, home})
                if (::chown(QFile::encodeName(d).constData(), 65534, 65534) != 0)
                    return false;
            args = QStringList{"--reuid=65534", "--regid=65534", "--clear-groups", program} + args;
            program = "setpriv";
        }
    } else if (kind_ == Kind::KWin) {
        // The packaged binary carries a file capability that a container may not grant; a copy has none.
        program = dir_.filePath("kwin_wayland");
        if (!QFile::copy("/usr/bin/kwin_wayland", program) || !QFile::setPermissions(program, Runnable))
            return false;
        env.insert("KWIN_WAYLAND_NO_PERMISSION_CHECKS", "1"); // this session trusts its tests
        args = {"--virtual", "--xwayland", "--no-lockscreen", "--width", w, "--height", h, "--socket", "wayland-varrow",
                script};
    } else {
        env.insert("GSETTINGS_BACKEND", "memory");
        args = {"--headless", "--wayland", "--virtual-monitor", w + u'x' + h, "--wayland-display", "wayland-varrow",
                "--", script};
    }
    server_.setProcessEnvironment(env);
    if (!StartUntil(server_, program, args, [&] { return QFile::exists(envFile); }, 60000))
        return false;
    for (const QString& line : ReadText(envFile).split(u'\n'))
        for (const char* name : {"DISPLAY", "XAUTHORITY", "SWAYSOCK", "WAYLAND_DISPLAY"})
            if (line.startsWith(QString(name) + u'='))
                session_.insert(name, line.section(u'=', 1));
    if (!session_.contains("DISPLAY") || !session_.contains("WAYLAND_DISPLAY"))
        return false;
    if (!session_.value("WAYLAND_DISPLAY").startsWith(u'/'))
        session_.insert("WAYLAND_DISPLAY", runtime + u'/' + session_.value("WAYLAND_DISPLAY"));
    // XWayland may start on the first client only; this is that client.
    if (!WaitUntil([&] { return run("xdpyinfo", {}, 5000).has_value(); }, 30000, 20) || kind_ != Kind::Sway)
        return kind_ != Kind::Sway;
    // The headless seat has no pointer until a device joins; sway's cursor commands then reach clients.
    pointer_.setProcessEnvironment(environment());
    pointer_.start(VARROW_WAYLAND_INPUT, {});
    if (!pointer_.waitForReadyRead(5000) || !pointer_.readAllStandardOutput().startsWith("ready")) {
        error_ = "no pointer device: " + QString::fromLocal8Bit(pointer_.readAllStandardError());
        return false;
    }
    return WaitUntil([&] { return run("swaymsg", {"-t", "get_version"}).has_value(); }, 10000, 20);
}

QProcessEnvironment Desktop::environment() const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "XAUTHORITY", "SWAYSOCK", "QT_QPA_PLATFORM", "PULSE_SERVER",
                             "DBUS_SESSION_BUS_ADDRESS", "XDG_SESSION_TYPE", "XDG_CURRENT_DESKTOP", "I3SOCK"})
        env.remove(name);
    env.insert(session_);
    if (kind_ == Kind::X11) {
        env.insert("QT_QPA_PLATFORM", "xcb");
        if (scale_ != 1)
            env.insert("QT_SCALE_FACTOR", QString::number(scale_));
    } else {
        env.insert("XDG_RUNTIME_DIR", dir_.filePath("client-runtime"));
        env.insert("XDG_SESSION_TYPE", "wayland");
        env.insert("XDG_CURRENT_DESKTOP", Recipes[int(kind_)].desktop);
    }
    if (!busAddress().isEmpty())
        env.insert("DBUS_SESSION_BUS_ADDRESS", busAddress());
    if (!soundServer_.isEmpty())
        env.insert("PULSE_SERVER", soundServer_);
    env.insert("SPEECHD_ADDRESS", speechDispatcher_.isEmpty() ? "unix_socket:" + dir_.filePath("no-speechd.sock")
                                                              : speechDispatcher_);
    return env;
}

bool Desktop::launch(const QString& program, const QStringList& args, const QProcessEnvironment& extra)
{
    QProcess& p = *launched_.emplace_back(std::make_unique<QProcess>());
    QProcessEnvironment env = environment();
    env.insert(extra);
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.setStandardOutputFile(QProcess::nullDevice());
    p.start(program, args);
    return p.waitForStarted(5000);
}

QImage Desktop::screenshot(const QString& saveAs) const
{
    // KWin and Mutter give their screen only through D-Bus calls of their desktops' own.
    const QString path = saveAs.isEmpty() ? dir_.filePath("shot.png") : saveAs;
    const bool taken = kind_ == Kind::X11 ? run("import", {"-window", "root", "png:" + path}).has_value()
                                          : kind_ == Kind::Sway && run("grim", {path}, 20000).has_value();
    return taken ? QImage(path).convertToFormat(QImage::Format_RGB32) : QImage();
}

std::vector<Window> Desktop::windows() const
{
    std::vector<Window> list;
    bool managed = true;
    std::function<void(const QJsonObject&)> walk = [&](const QJsonObject& n) {
        const QString type = n["type"].toString();
        if ((type == u"con" || type == u"floating_con") && n.contains("pid") && n["nodes"].toArray().isEmpty()) {
            const QJsonObject r = n["rect"].toObject(), inner = n["window_rect"].toObject();
            list.push_back({n["name"].toString(), QRect(r["x"].toInt() + inner["x"].toInt(), r["y"].toInt() + inner["y"].toInt(),
                                                        inner["width"].toInt(), inner["height"].toInt()),
                            n["focused"].toBool(), n["shell"].toString() == u"xwayland"});
        }
        for (const char* key : {"nodes", "floating_nodes"})
            for (const QJsonValue& c : n[key].toArray())
                walk(c.toObject());
    };
    if (kind_ == Kind::Sway)
        walk(QJsonDocument::fromJson(run("swaymsg", {"-r", "-t", "get_tree"}, 5000).value_or("").toUtf8()).object());
    // The X server's windows that no window manager handles, and elsewhere those the root's EWMH list names.
    static const QRegularExpression child("^\\s+(0x[0-9a-f]+) \"(.*)\":", QRegularExpression::MultilineOption);
    for (auto it = child.globalMatch(run("xwininfo", {"-root", "-children"}).value_or("")); it.hasNext();)
        if (auto w = parseXwininfo(run("xwininfo", {"-id", it.next().captured(1)}).value_or(""), &managed); w && !managed)
            list.push_back(*w);
    if (kind_ == Kind::Sway)
        return list;
    const QString root = run("xprop", {"-root", "_NET_CLIENT_LIST_STACKING", "_NET_ACTIVE_WINDOW"}).value_or("");
    const QString active = QRegularExpression("_NET_ACTIVE_WINDOW\\(WINDOW\\): window id # (0x[0-9a-f]+)").match(root).captured(1);
    for (const QString& id : QRegularExpression("_NET_CLIENT_LIST_STACKING\\(WINDOW\\): window id # (.*)$",
                                                QRegularExpression::MultilineOption).match(root).captured(1).split(", ", Qt::SkipEmptyParts))
        if (auto w = parseXwininfo(run("xwininfo", {"-id", id}).value_or(""))) {
            w->focused = id.toUInt(nullptr, 16) == active.toUInt(nullptr, 16);
            list.push_back(*w);
        }
    return list;
}

QRect Desktop::frame(const QString& title) const
{
    const auto w = parseXwininfo(run("xwininfo", {"-id", windowId(title)}).value_or(""));
    // _NET_FRAME_EXTENTS: left, right, top, bottom.
    const auto m = QRegularExpression("= (\\d+), (\\d+), (\\d+), (\\d+)").match(QString::fromStdString(xprop(title, "_NET_FRAME_EXTENTS")));
    if (!w || !m.hasMatch())
        return w ? w->rect : QRect();
    return w->rect.adjusted(-m.captured(1).toInt(), -m.captured(3).toInt(), m.captured(2).toInt(), m.captured(4).toInt());
}

QRect Desktop::settledFrame(const QString& title) const
{
    QRect last = frame(title), now;
    WaitUntil([&] { now = frame(title); return std::exchange(last, now) == now && now.isValid(); }, 2000, 40);
    return now;
}

bool Desktop::activate(const QString& title) const
{
    if (kind_ == Kind::X11) // once it is there
        return run("xdotool", {"search", "--sync", "--onlyvisible", "--name", u'^' + title + u'$', "windowactivate", "--sync"})
            .has_value();
    return kind_ == Kind::Sway && run("swaymsg", {QString("[title=\"^%1$\"] focus").arg(title)}).has_value();
}

void Desktop::pointerTo(const QPoint& p) const
{
    const QString x = QString::number(p.x()), y = QString::number(p.y());
    kind_ == Kind::Sway ? run("swaymsg", {"seat", "seat0", "cursor", "set", x, y}) : run("xdotool", {"mousemove", x, y});
}

void Desktop::button(int button, bool down) const
{
    kind_ == Kind::Sway ? run("swaymsg", {"seat", "seat0", "cursor", down ? "press" : "release", QString("button%1").arg(button)})
                        : run("xdotool", {down ? "mousedown" : "mouseup", QString::number(button)});
}

void Desktop::drag(const QPoint& from, const QPoint& by, int steps) const
{
    pointerTo(from);
    button(1, true);
    for (int step = 1; step <= steps; ++step)
        pointerTo(from + by * step / steps);
    button(1, false);
}

Varrow::Varrow(const Desktop& desktop, const QString& home, const QStringList& args, const QString& program,
               const QString& traceName, QProcessEnvironment env)
    : desktop_(desktop), tracePath_(home + u'/' + traceName + ".txt")
{
    MakePrivateDir(home + "/runtime");
    QFile::remove(tracePath_);
    if (env.isEmpty())
        env = desktop.environment();
    for (const char* dir : {"CONFIG", "DATA", "CACHE"})
        env.insert(QString("XDG_%1_HOME").arg(dir), home + u'/' + QString(dir).toLower());
    env.insert("XDG_RUNTIME_DIR", home + "/runtime");
    env.insert("XDG_DATA_DIRS", home + "/data");
    process_.setProcessEnvironment(env);
    // A quarter-hour chime would speak in the middle of a check: unless a test sets the clock, it starts
    // a minute after a quarter.
    QStringList clock;
    if (!args.contains("--clock-start")) {
        QDateTime start = QDateTime::currentDateTime();
        start.setTime(QTime(start.time().hour(), start.time().minute() / 15 * 15 + 1));
        clock = QStringList{"--clock-start", start.toString("yyyy-MM-ddTHH:mm:ss")};
    }
    process_.start(program.isEmpty() ? ProgramPath() : program, QStringList{"--trace", tracePath_} + clock + args);
    process_.waitForStarted(5000);
}

std::optional<QRegularExpressionMatch> Varrow::waitFor(const QString& pattern, int timeoutMs, int pollMs)
{
    // Lines look like "<ms> <event>"; the pattern matches the event.
    const QRegularExpression re("^\\d+ (?:" + pattern + ")$", QRegularExpression::MultilineOption);
    for (QDeadlineTimer deadline(timeoutMs), ended(QDeadlineTimer::Forever);; errors()) {
        const QString text = trace();
        const qsizetype complete = text.lastIndexOf(u'\n') + 1; // a line still being written doesn't count
        if (const QRegularExpressionMatch m = re.match(text.left(complete), consumed_); m.hasMatch()) {
            consumed_ = m.capturedEnd() + 1;
            return m;
        }
        // A run that ended may still have its last lines on their way.
        if (!running() && complete == text.size() && ended.isForever())
            ended.setRemainingTime(200);
        if (deadline.hasExpired() || ended.hasExpired())
            return std::nullopt;
        process_.waitForReadyRead(pollMs);
    }
}

std::optional<int> Varrow::waitForExit(int timeoutMs)
{
    if (running() && !process_.waitForFinished(timeoutMs))
        return std::nullopt;
    errors();
    return process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : -1;
}

QRect Varrow::waitShown(int timeoutMs)
{
    const auto shown = waitFor("ready", timeoutMs) ? waitFor("window shown Genie " + Geometry, timeoutMs) : std::nullopt;
    return shown && waitFor("finished Show", timeoutMs) ? ParseGeometry(*shown, 1) : QRect();
}

bool Varrow::pick(const QPoint& at, const QString& entry)
{
    desktop_.click((QPointF(at) * desktop_.scale()).toPoint(), 3);
    const auto item = waitFor("menu shown .*")
                          ? waitFor("menu item " + Geometry + ' ' + QRegularExpression::escape(entry), 3000) : std::nullopt;
    if (item)
        desktop_.click((QPointF(ParseGeometry(*item, 1).center()) * desktop_.scale()).toPoint());
    return item.has_value();
}

bool Varrow::keyTo(const QString& title, const QString& keys)
{
    // The window last taken as active and not left since: one is taken before the other is left.
    auto isActive = [&] {
        QString active;
        auto m = QRegularExpression("^\\d+ window (in)?active (.*)$", QRegularExpression::MultilineOption).globalMatch(trace());
        while (m.hasNext())
            if (const auto line = m.next(); line.captured(1).isEmpty() || line.captured(2) == active)
                active = line.captured(1).isEmpty() ? line.captured(2) : QString();
        return active == QString(title).replace(' ', '_');
    };
    // xdotool fails now and then on a window the window manager is still taking in.
    if (!WaitUntil([&] { return desktop_.activate(title) && WaitUntil(isActive, 1000, 20); }, 5000, 100))
        return false;
    desktop_.xdotool({"key", keys});
    return true;
}

QString ProgramPath()
{
    // Another build of the program (an earlier one, or an installed one) can be run in its place.
    return qEnvironmentVariable("VARROW_E2E_PROGRAM", VARROW_PROGRAM);
}

void SetSetting(const QString& home, const QString& key, const QVariant& value)
{
    QSettings(SettingsFile(home), QSettings::IniFormat).setValue("Settings/" + key, value);
}

QPoint SavedPlace(const QString& home)
{
    const QSettings saved(SettingsFile(home), QSettings::IniFormat);
    return {saved.value("Settings/LastPositionX").toInt(), saved.value("Settings/LastPositionY").toInt()};
}

double DrawnShare(const QImage& shot, const QRect& area)
{
    const QRect r = area.intersected(shot.rect());
    const int drawn = CountPixels(r, [&](int x, int y) { return ColourDistance(shot.pixel(x, y), Background) > 24; });
    return r.isEmpty() ? 0 : double(drawn) / (qint64(r.width()) * r.height());
}

int ChangedPixels(const QImage& a, const QImage& b, const QRect& area, const QRect& except)
{
    return CountPixels(area.intersected(a.rect()).intersected(b.rect()), [&](int x, int y) {
        return !except.contains(x, y) && ColourDistance(a.pixel(x, y), b.pixel(x, y)) > 48;
    });
}

} // namespace e2e
