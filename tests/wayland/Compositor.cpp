// A real Wayland compositor run headless with XWayland, for running the real program in a Wayland session.
#include "Compositor.h"

#include "e2e/Desktop.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusPendingReply>
#include <QDBusReply>
#include <QDBusUnixFileDescriptor>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QStandardPaths>
#include <fcntl.h>
#include <functional>
#include <unistd.h>

namespace wayland {

namespace {

using e2e::WaitUntil;

struct Recipe {
    const char* name;
    const char* program;
    const char* desktop; // XDG_CURRENT_DESKTOP
};
constexpr Recipe Recipes[] = {{"sway", "sway", "sway"}, {"kwin", "kwin_wayland", "KDE"}, {"mutter", "mutter", "GNOME"}};

// sway will not run as root; the session then belongs to nobody and lets root's clients in.
constexpr uid_t nobody = 65534;

constexpr QFile::Permissions readable = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther;
constexpr QFile::Permissions runnable = readable | QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther;

QProcessEnvironment cleanEnvironment()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "XAUTHORITY", "SWAYSOCK", "QT_QPA_PLATFORM",
                             "DBUS_SESSION_BUS_ADDRESS", "XDG_SESSION_TYPE", "XDG_CURRENT_DESKTOP", "I3SOCK"})
        env.remove(name);
    return env;
}

bool writeFile(const QString& path, const QString& text, QFile::Permissions perms)
{
    QFile f(path);
    const QByteArray bytes = text.toUtf8();
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        return false;
    f.close();
    return f.setPermissions(perms);
}

// A viewable X window from xwininfo's report on it; `managed` says whether a window manager handles it.
std::optional<Window> parseXwininfo(const QString& info, bool* managed)
{
    auto field = [&](const char* label) {
        return QRegularExpression(QString("^\\s*%1:\\s*(.*)$").arg(label), QRegularExpression::MultilineOption)
            .match(info).captured(1).trimmed();
    };
    if (field("Map State") != u"IsViewable")
        return std::nullopt;
    *managed = field("Override Redirect State") != u"yes";
    return Window{QRegularExpression("Window id: 0x[0-9a-f]+ \"(.*)\"$", QRegularExpression::MultilineOption)
                      .match(info).captured(1),
                  QRect(field("Absolute upper-left X").toInt(), field("Absolute upper-left Y").toInt(),
                        field("Width").toInt(), field("Height").toInt()),
                  false, true};
}

} // namespace

// Catches the PipeWire node of Mutter's screen cast.
class NodeCatcher : public QObject {
    Q_OBJECT
public slots:
    void added(uint node) { id = node; }

public:
    uint id = 0;
};

QString NameOf(Kind kind)
{
    return Recipes[int(kind)].name;
}

bool Installed(Kind kind)
{
    return !QStandardPaths::findExecutable(Recipes[int(kind)].program).isEmpty();
}

Compositor::Compositor(Kind kind, QSize size) : kind_(kind), size_(size)
{
    QFile::setPermissions(dir_.path(), runnable); // sway runs as nobody and reads its config here
    runtime_ = dir_.filePath("runtime");
    clientRuntime_ = dir_.filePath("client-runtime");
    home_ = dir_.filePath("home");
    for (const QString& d : {runtime_, clientRuntime_, home_}) {
        QDir().mkpath(d);
        QFile::setPermissions(d, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    if (!dir_.isValid() || !bus_.ok())
        error_ = "no temporary directory or no session bus";
    else if (!start() && error_.isEmpty())
        error_ = name() + " did not start";
    if (!error_.isEmpty())
        error_ += u'\n' + log();
}

Compositor::~Compositor()
{
    for (auto it = launched_.rbegin(); it != launched_.rend(); ++it)
        e2e::Stop(**it, 5000);
    pointerDevice_.closeWriteChannel();
    pointerDevice_.waitForFinished(2000);
    e2e::Stop(pointerDevice_);
    e2e::Stop(compositor_, 5000);
}

bool Compositor::start()
{
    // Tells us the displays and stays while the compositor and this folder do (Mutter ends with it).
    const QString envFile = runtime_ + "/session.env";
    const QString script = dir_.filePath("session.sh");
    writeFile(script, QString("#!/bin/sh\nxhost +si:localuser:root >/dev/null 2>&1\nenv > %1.new && mv %1.new %1\n"
                              "while kill -0 $PPID 2>/dev/null && [ -e \"$0\" ]; do sleep 1; done\n").arg(envFile),
              runnable);
    QProcessEnvironment env = cleanEnvironment();
    env.insert("XDG_RUNTIME_DIR", runtime_);
    env.insert("HOME", home_);
    env.insert("XDG_CONFIG_HOME", home_ + "/.config");
    env.insert("DBUS_SESSION_BUS_ADDRESS", bus_.address());
    const QString w = QString::number(size_.width()), h = QString::number(size_.height());
    QString program = Recipes[int(kind_)].program;
    QStringList args;
    if (kind_ == Kind::Sway) {
        const QString config = dir_.filePath("sway.conf");
        writeFile(config, QString("xwayland enable\noutput HEADLESS-1 resolution %1x%2 position 0 0 bg #3a6ea5 "
                                  "solid_color\nexec %3\n").arg(w, h, script), readable);
        env.insert("WLR_BACKENDS", "headless");
        env.insert("WLR_LIBINPUT_NO_DEVICES", "1");
        env.insert("WLR_RENDERER", "pixman");
        args = {"-c", config};
        if (::getuid() == 0) {
            for (const QString& d : {runtime_, home_})
                if (::chown(QFile::encodeName(d).constData(), nobody, nobody) != 0) {
                    error_ = "cannot hand " + d + " to nobody";
                    return false;
                }
            args = QStringList{"--reuid=65534", "--regid=65534", "--clear-groups", program} + args;
            program = "setpriv";
        }
    } else if (kind_ == Kind::KWin) {
        // The packaged binary carries a file capability that a container may not grant; a copy has none.
        program = dir_.filePath("kwin_wayland");
        if (!QFile::copy("/usr/bin/kwin_wayland", program) || !QFile::setPermissions(program, runnable)) {
            error_ = "kwin_wayland is not installed";
            return false;
        }
        // Screenshots and fake input are for trusted programs only; this session trusts its tests.
        env.insert("KWIN_WAYLAND_NO_PERMISSION_CHECKS", "1");
        env.insert("KWIN_SCREENSHOT_NO_PERMISSION_CHECKS", "1");
        args = {"--virtual", "--xwayland", "--no-lockscreen", "--width", w, "--height", h,
                "--socket", "wayland-varrow", script};
    } else {
        env.insert("GSETTINGS_BACKEND", "memory");
        // Screenshots come through Mutter's screen cast, which needs PipeWire and its session manager.
        if (spawn(env, "pipewire", {}))
            WaitUntil([&] { return QFile::exists(runtime_ + "/pipewire-0"); }, 5000);
        spawn(env, "wireplumber", {});
        args = {"--headless", "--wayland", "--virtual-monitor", w + u'x' + h, "--wayland-display", "wayland-varrow",
                "--", script};
    }
    env.insert("XDG_CURRENT_DESKTOP", Recipes[int(kind_)].desktop);
    compositor_.setProcessEnvironment(env);
    compositor_.setProcessChannelMode(QProcess::MergedChannels);
    compositor_.start(program, args);
    if (!compositor_.waitForStarted(5000) ||
        !WaitUntil([&] { log(); return QFile::exists(envFile) || compositor_.state() == QProcess::NotRunning; }, 60000) ||
        !QFile::exists(envFile)) {
        error_ = name() + " did not come up";
        return false;
    }
    QFile file(envFile);
    file.open(QIODevice::ReadOnly);
    QHash<QString, QString> vars;
    for (const QByteArray& line : file.readAll().split('\n'))
        vars.insert(QString::fromLocal8Bit(line.left(line.indexOf('='))), QString::fromLocal8Bit(line.mid(line.indexOf('=') + 1)));
    display_ = vars.value("DISPLAY");
    xauthority_ = vars.value("XAUTHORITY");
    swaysock_ = vars.value("SWAYSOCK");
    wayland_ = vars.value("WAYLAND_DISPLAY");
    if (display_.isEmpty() || wayland_.isEmpty()) {
        error_ = name() + " started no XWayland or gave no Wayland display";
        return false;
    }
    if (!wayland_.startsWith(u'/'))
        wayland_ = runtime_ + u'/' + wayland_;
    // XWayland may start on the first client only; this is that client.
    if (!WaitUntil([&] { return run("xdpyinfo", {}, 5000).has_value(); }, 30000, 20)) {
        error_ = "XWayland on " + display_ + " does not answer";
        return false;
    }
    if (kind_ != Kind::Sway)
        return true;
    if (!WaitUntil([&] { return run("swaymsg", {"-t", "get_version"}).has_value(); }, 10000, 20))
        return false;
#ifdef VARROW_WAYLAND_INPUT
    // The headless seat has no pointer until a device joins; sway's cursor commands then reach clients.
    pointerDevice_.setProcessEnvironment(environment());
    pointerDevice_.start(VARROW_WAYLAND_INPUT, {});
    if (!pointerDevice_.waitForReadyRead(5000) || !pointerDevice_.readAllStandardOutput().startsWith("ready")) {
        error_ = "no pointer device for sway: " + QString::fromLocal8Bit(pointerDevice_.readAllStandardError());
        return false;
    }
#endif
    return true;
}

QProcessEnvironment Compositor::environment() const
{
    QProcessEnvironment env = cleanEnvironment();
    env.insert("XDG_RUNTIME_DIR", clientRuntime_);
    env.insert("WAYLAND_DISPLAY", wayland_);
    env.insert("DISPLAY", display_);
    if (!xauthority_.isEmpty())
        env.insert("XAUTHORITY", xauthority_);
    if (!swaysock_.isEmpty())
        env.insert("SWAYSOCK", swaysock_);
    env.insert("DBUS_SESSION_BUS_ADDRESS", bus_.address());
    env.insert("XDG_SESSION_TYPE", "wayland");
    env.insert("XDG_CURRENT_DESKTOP", Recipes[int(kind_)].desktop);
    return env;
}

std::optional<QString> Compositor::run(const QString& program, const QStringList& args, int timeoutMs) const
{
    const e2e::Ran ran = e2e::RunToEnd(environment(), program, args, timeoutMs);
    return ran.ok() ? std::optional<QString>(ran.out) : std::nullopt;
}

bool Compositor::spawn(const QProcessEnvironment& env, const QString& program, const QStringList& args)
{
    auto p = std::make_unique<QProcess>();
    p->setProcessEnvironment(env);
    p->setProcessChannelMode(QProcess::MergedChannels);
    p->start(program, args);
    if (!p->waitForStarted(5000))
        return false;
    launched_.push_back(std::move(p));
    return true;
}

bool Compositor::launch(const QString& program, const QStringList& args, const QProcessEnvironment& extra)
{
    QProcessEnvironment env = environment();
    env.insert(extra);
    return spawn(env, program, args);
}

QString Compositor::log() const
{
    // Without an event loop the process's output reaches us only while we wait for it.
    if (compositor_.state() == QProcess::Running)
        compositor_.waitForReadyRead(10);
    log_ += QString::fromLocal8Bit(compositor_.readAll());
    return log_;
}

// ---- what the compositor shows ----

QImage Compositor::screenshot(const QString& saveAs, QString* why) const
{
    QImage image;
    QString reason;
    if (kind_ == Kind::Sway) {
        const QString path = saveAs.isEmpty() ? dir_.filePath("shot.png") : saveAs;
        if (!run("grim", {path}, 20000) || !image.load(path))
            reason = "grim failed";
    } else {
        image = kind_ == Kind::KWin ? kwinScreenshot(&reason) : mutterScreenshot(&reason);
        if (!image.isNull() && !saveAs.isEmpty())
            image.save(saveAs);
    }
    if (why)
        *why = reason;
    return image;
}

QImage Compositor::kwinScreenshot(QString* why) const
{
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        *why = "no pipe";
        return {};
    }
    QDBusConnection bus = QDBusConnection::connectToBus(bus_.address(), "varrow-shot");
    QDBusInterface shot("org.kde.KWin", "/org/kde/KWin/ScreenShot2", "org.kde.KWin.ScreenShot2", bus);
    QDBusPendingCall call = shot.asyncCall("CaptureArea", 0, 0, uint(size_.width()), uint(size_.height()), QVariantMap(),
                                           QVariant::fromValue(QDBusUnixFileDescriptor(fds[1])));
    ::close(fds[1]);
    ::fcntl(fds[0], F_SETFL, O_NONBLOCK);
    // The call's message keeps the pipe's far end open: the data's size, not its end, says it is all here.
    QByteArray data;
    qsizetype expected = -1;
    WaitUntil([&] {
        char buf[65536];
        for (ssize_t n; (n = ::read(fds[0], buf, sizeof buf)) > 0;)
            data.append(buf, n);
        if (expected < 0 && call.isFinished()) {
            const QDBusPendingReply<QVariantMap> r = call;
            if (r.isError())
                return true;
            expected = qsizetype(r.value().value("stride").toInt()) * r.value().value("height").toInt();
        }
        return expected >= 0 && data.size() >= expected;
    }, 20000, 20);
    ::close(fds[0]);
    call.waitForFinished();
    QDBusPendingReply<QVariantMap> reply = call;
    QDBusConnection::disconnectFromBus("varrow-shot");
    if (reply.isError()) {
        *why = "KWin's ScreenShot2: " + reply.error().message();
        return {};
    }
    const QVariantMap m = reply.value();
    const int w = m.value("width").toInt(), h = m.value("height").toInt(), stride = m.value("stride").toInt();
    if (w <= 0 || h <= 0 || data.size() < qsizetype(stride) * h) {
        *why = QString("KWin's ScreenShot2 sent %1 bytes for %2x%3").arg(data.size()).arg(w).arg(h);
        return {};
    }
    return QImage(reinterpret_cast<const uchar*>(data.constData()), w, h, stride,
                  QImage::Format(m.value("format").toInt())).convertToFormat(QImage::Format_RGB32);
}

// Mutter alone has no screenshot call (the shell adds one): one frame of its PipeWire screen cast is the shot.
QImage Compositor::mutterScreenshot(QString* why) const
{
    const QString service = "org.gnome.Mutter.ScreenCast";
    const QString name = QString("varrow-cast-%1").arg(++scripts_);
    QDBusConnection bus = QDBusConnection::connectToBus(bus_.address(), name);
    QImage image;
    QDBusInterface cast(service, "/org/gnome/Mutter/ScreenCast", service, bus);
    const QDBusReply<QDBusObjectPath> session = cast.call("CreateSession", QVariantMap());
    if (!session.isValid()) {
        *why = "Mutter's screen cast: " + session.error().message();
        QDBusConnection::disconnectFromBus(name);
        return {};
    }
    QDBusInterface control(service, session.value().path(), service + ".Session", bus);
    const QDBusReply<QDBusObjectPath> stream =
        control.call("RecordMonitor", "Meta-0", QVariantMap{{"cursor-mode", 0u}});
    NodeCatcher node;
    if (stream.isValid())
        bus.connect(service, stream.value().path(), service + ".Stream", "PipeWireStreamAdded", &node, SLOT(added(uint)));
    const QDBusMessage started = control.call("Start");
    if (!stream.isValid() || started.type() == QDBusMessage::ErrorMessage) {
        *why = "Mutter's screen cast did not start: " + (stream.isValid() ? started.errorMessage() : stream.error().message());
    } else if (!WaitUntil([&] { QCoreApplication::processEvents(); return node.id != 0; }, 10000)) {
        *why = "Mutter's screen cast gave no PipeWire stream";
    } else {
        const QString path = dir_.filePath("cast.png");
        QFile::remove(path);
        QProcessEnvironment env = environment();
        env.insert("XDG_RUNTIME_DIR", runtime_); // where PipeWire listens
        const e2e::Ran gst = e2e::RunToEnd(env, "gst-launch-1.0",
                                           {"-q", "pipewiresrc", QString("path=%1").arg(node.id), "num-buffers=1", "!",
                                            "videoconvert", "!", "pngenc", "!", "filesink", "location=" + path},
                                           20000);
        if (!image.load(path))
            *why = "no frame from Mutter's screen cast: " + gst.err;
    }
    control.call("Stop");
    QDBusConnection::disconnectFromBus(name);
    return image.convertToFormat(QImage::Format_RGB32);
}

std::vector<Window> Compositor::windows() const
{
    std::vector<Window> list = kind_ == Kind::Sway ? swayWindows() : kind_ == Kind::KWin ? kwinWindows() : x11Windows(false);
    if (kind_ != Kind::Mutter) {
        const auto unmanaged = x11Windows(true);
        list.insert(list.end(), unmanaged.begin(), unmanaged.end());
    }
    return list;
}

std::optional<Window> Compositor::window(const QString& title) const
{
    for (const Window& w : windows())
        if (title.isNull() ? w.focused : w.title == title)
            return w;
    return std::nullopt;
}

std::vector<Window> Compositor::swayWindows() const
{
    std::vector<Window> list;
    const auto tree = run("swaymsg", {"-r", "-t", "get_tree"}, 5000);
    std::function<void(const QJsonObject&)> walk = [&](const QJsonObject& n) {
        const QString type = n["type"].toString();
        if ((type == u"con" || type == u"floating_con") && n.contains("pid") && n["nodes"].toArray().isEmpty()) {
            const QJsonObject r = n["rect"].toObject(), inner = n["window_rect"].toObject();
            list.push_back({n["name"].toString(),
                            QRect(r["x"].toInt() + inner["x"].toInt(), r["y"].toInt() + inner["y"].toInt(),
                                  inner["width"].toInt(), inner["height"].toInt()),
                            n["focused"].toBool(), n["shell"].toString() == u"xwayland"});
        }
        for (const char* key : {"nodes", "floating_nodes"})
            for (const QJsonValue& c : n[key].toArray())
                walk(c.toObject());
    };
    walk(QJsonDocument::fromJson(tree.value_or(QString()).toUtf8()).object());
    return list;
}

QStringList Compositor::kwinScript(const QString& body) const
{
    const QString tag = QString("varrow-script-%1").arg(++scripts_);
    const QString path = dir_.filePath(tag + ".js");
    writeFile(path, QString("function say(t) { print(\"%1 \" + t); }\n" + body + "\nprint(\"%1 end\");\n").arg(tag),
              readable);
    QDBusConnection bus = QDBusConnection::connectToBus(bus_.address(), tag);
    QDBusInterface scripting("org.kde.KWin", "/Scripting", "org.kde.kwin.Scripting", bus);
    scripting.call("loadScript", path, tag);
    scripting.call("start");
    WaitUntil([&] { return log().contains("js: " + tag + " end"); }, 10000);
    scripting.call("unloadScript", tag);
    QDBusConnection::disconnectFromBus(tag);
    QStringList lines;
    const QRegularExpression line("^js: " + tag + " (.*)$", QRegularExpression::MultilineOption);
    for (auto it = line.globalMatch(log_); it.hasNext();)
        lines << it.next().captured(1);
    lines.removeAll("end");
    return lines;
}

std::vector<Window> Compositor::kwinWindows() const
{
    std::vector<Window> list;
    for (const QString& l : kwinScript(R"(var cs = workspace.clientList();
for (var i = 0; i < cs.length; ++i) {
    var c = cs[i], g = c.bufferGeometry;
    say(JSON.stringify({title: c.caption, x: g.x, y: g.y, w: g.width, h: g.height, focused: c.active, x11: c.windowId > 0}));
})")) {
        const QJsonObject o = QJsonDocument::fromJson(l.toUtf8()).object();
        list.push_back({o["title"].toString(), QRect(o["x"].toInt(), o["y"].toInt(), o["w"].toInt(), o["h"].toInt()),
                        o["focused"].toBool(), o["x11"].toBool()});
    }
    return list;
}

bool Compositor::activate(const QString& title) const
{
    if (kind_ == Kind::Sway)
        return run("swaymsg", {QString("[title=\"^%1$\"] focus").arg(title)}).has_value();
    const QString quoted = QJsonDocument(QJsonArray{title}).toJson(QJsonDocument::Compact).mid(1).chopped(1);
    return kind_ == Kind::KWin && kwinScript(QString(R"(var cs = workspace.clientList();
for (var i = 0; i < cs.length; ++i)
    if (cs[i].caption == %1) { workspace.activeClient = cs[i]; say("done"); })").arg(quoted)).contains("done");
}

// Mutter manages its XWayland's windows, so the root's EWMH properties list them; native ones are not there.
std::vector<Window> Compositor::x11Windows(bool onlyUnmanaged) const
{
    std::vector<Window> list;
    bool managed = true;
    const auto children = run("xwininfo", {"-root", "-children"});
    static const QRegularExpression child("^\\s+(0x[0-9a-f]+) \"(.*)\":", QRegularExpression::MultilineOption);
    for (auto it = child.globalMatch(children.value_or(QString())); it.hasNext();) {
        const auto info = run("xwininfo", {"-id", it.next().captured(1)});
        if (auto w = info ? parseXwininfo(*info, &managed) : std::nullopt; w && !managed)
            list.push_back(*w);
    }
    if (onlyUnmanaged)
        return list;
    const QString root = run("xprop", {"-root", "_NET_CLIENT_LIST_STACKING", "_NET_ACTIVE_WINDOW"}).value_or(QString());
    static const QRegularExpression clients("_NET_CLIENT_LIST_STACKING\\(WINDOW\\): window id # (.*)$",
                                            QRegularExpression::MultilineOption);
    static const QRegularExpression activeLine("_NET_ACTIVE_WINDOW\\(WINDOW\\): window id # (0x[0-9a-f]+)");
    const uint active = activeLine.match(root).captured(1).toUInt(nullptr, 16);
    for (const QString& id : clients.match(root).captured(1).split(", ", Qt::SkipEmptyParts)) {
        const auto info = run("xwininfo", {"-id", id.trimmed()});
        if (auto w = info ? parseXwininfo(*info, &managed) : std::nullopt) {
            w->focused = id.trimmed().toUInt(nullptr, 16) == active;
            list.push_back(*w);
        }
    }
    return list;
}

// ---- input ----

void Compositor::pointerTo(const QPoint& p) const
{
    if (kind_ == Kind::Sway)
        run("swaymsg", {"seat", "seat0", "cursor", "set", QString::number(p.x()), QString::number(p.y())});
    else
        run("xdotool", {"mousemove", QString::number(p.x()), QString::number(p.y())});
}

void Compositor::button(int button, bool down) const
{
    if (kind_ == Kind::Sway)
        run("swaymsg", {"seat", "seat0", "cursor", down ? "press" : "release", QString("button%1").arg(button)});
    else
        run("xdotool", {down ? "mousedown" : "mouseup", QString::number(button)});
}

} // namespace wayland

#include "Compositor.moc"
