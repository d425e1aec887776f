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
        env.remove(QLatin1String(name));
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
        return QRegularExpression(QStringLiteral("^\\s*%1:\\s*(.*)$").arg(QLatin1String(label)),
                                  QRegularExpression::MultilineOption).match(info).captured(1).trimmed();
    };
    if (field("Map State") != u"IsViewable")
        return std::nullopt;
    Window w;
    w.title = QRegularExpression(QStringLiteral("Window id: 0x[0-9a-f]+ \"(.*)\"$"), QRegularExpression::MultilineOption)
                  .match(info).captured(1);
    w.rect = QRect(field("Absolute upper-left X").toInt(), field("Absolute upper-left Y").toInt(),
                   field("Width").toInt(), field("Height").toInt());
    w.x11 = true;
    *managed = field("Override Redirect State") != u"yes";
    return w;
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
    return QLatin1String(Recipes[int(kind)].name);
}

bool Installed(Kind kind)
{
    return !QStandardPaths::findExecutable(QLatin1String(Recipes[int(kind)].program)).isEmpty();
}

Compositor::Compositor(Kind kind, QSize size) : kind_(kind), size_(size)
{
    QFile::setPermissions(dir_.path(), runnable); // sway runs as nobody and reads its config here
    runtime_ = dir_.filePath(QStringLiteral("runtime"));
    clientRuntime_ = dir_.filePath(QStringLiteral("client-runtime"));
    home_ = dir_.filePath(QStringLiteral("home"));
    for (const QString& d : {runtime_, clientRuntime_, home_}) {
        QDir().mkpath(d);
        QFile::setPermissions(d, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    if (!dir_.isValid() || !bus_.ok())
        error_ = QStringLiteral("no temporary directory or no session bus");
    else if (!start() && error_.isEmpty())
        error_ = name() + QStringLiteral(" did not start");
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
    const QString envFile = runtime_ + QStringLiteral("/session.env");
    const QString script = dir_.filePath(QStringLiteral("session.sh"));
    writeFile(script, QStringLiteral("#!/bin/sh\nxhost +si:localuser:root >/dev/null 2>&1\nenv > %1.new && mv %1.new %1\n"
                                     "while kill -0 $PPID 2>/dev/null && [ -e \"$0\" ]; do sleep 1; done\n").arg(envFile), runnable);
    QProcessEnvironment env = cleanEnvironment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime_);
    env.insert(QStringLiteral("HOME"), home_);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home_ + QStringLiteral("/.config"));
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus_.address());
    const QString w = QString::number(size_.width()), h = QString::number(size_.height());
    QString program = QLatin1String(Recipes[int(kind_)].program);
    QStringList args;
    if (kind_ == Kind::Sway) {
        const QString config = dir_.filePath(QStringLiteral("sway.conf"));
        writeFile(config, QStringLiteral("xwayland enable\noutput HEADLESS-1 resolution %1x%2 position 0 0 bg #3a6ea5 "
                                         "solid_color\nexec %3\n").arg(w, h, script), readable);
        env.insert(QStringLiteral("WLR_BACKENDS"), QStringLiteral("headless"));
        env.insert(QStringLiteral("WLR_LIBINPUT_NO_DEVICES"), QStringLiteral("1"));
        env.insert(QStringLiteral("WLR_RENDERER"), QStringLiteral("pixman"));
        args = {QStringLiteral("-c"), config};
        if (::getuid() == 0) {
            for (const QString& d : {runtime_, home_})
                if (::chown(QFile::encodeName(d).constData(), nobody, nobody) != 0) {
                    error_ = QStringLiteral("cannot hand %1 to nobody").arg(d);
                    return false;
                }
            args = QStringList{QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                               QStringLiteral("--clear-groups"), program} + args;
            program = QStringLiteral("setpriv");
        }
    } else if (kind_ == Kind::KWin) {
        // The packaged binary carries a file capability that a container may not grant; a copy has none.
        program = dir_.filePath(QStringLiteral("kwin_wayland"));
        if (!QFile::copy(QStringLiteral("/usr/bin/kwin_wayland"), program) || !QFile::setPermissions(program, runnable)) {
            error_ = QStringLiteral("kwin_wayland is not installed");
            return false;
        }
        // Screenshots and fake input are for trusted programs only; this session trusts its tests.
        env.insert(QStringLiteral("KWIN_WAYLAND_NO_PERMISSION_CHECKS"), QStringLiteral("1"));
        env.insert(QStringLiteral("KWIN_SCREENSHOT_NO_PERMISSION_CHECKS"), QStringLiteral("1"));
        args = {QStringLiteral("--virtual"), QStringLiteral("--xwayland"), QStringLiteral("--no-lockscreen"),
                QStringLiteral("--width"), w, QStringLiteral("--height"), h, QStringLiteral("--socket"),
                QStringLiteral("wayland-varrow"), script};
    } else {
        env.insert(QStringLiteral("GSETTINGS_BACKEND"), QStringLiteral("memory"));
        // Screenshots come through Mutter's screen cast, which needs PipeWire and its session manager.
        if (spawn(env, QStringLiteral("pipewire"), {}))
            WaitUntil([&] { return QFile::exists(runtime_ + QStringLiteral("/pipewire-0")); }, 5000);
        spawn(env, QStringLiteral("wireplumber"), {});
        args = {QStringLiteral("--headless"), QStringLiteral("--wayland"), QStringLiteral("--virtual-monitor"),
                w + u'x' + h, QStringLiteral("--wayland-display"), QStringLiteral("wayland-varrow"),
                QStringLiteral("--"), script};
    }
    env.insert(QStringLiteral("XDG_CURRENT_DESKTOP"), QLatin1String(Recipes[int(kind_)].desktop));
    compositor_.setProcessEnvironment(env);
    compositor_.setProcessChannelMode(QProcess::MergedChannels);
    compositor_.start(program, args);
    if (!compositor_.waitForStarted(5000) ||
        !WaitUntil([&] { log(); return QFile::exists(envFile) || compositor_.state() == QProcess::NotRunning; }, 60000) ||
        !QFile::exists(envFile)) {
        error_ = name() + QStringLiteral(" did not come up");
        return false;
    }
    QFile vars(envFile);
    vars.open(QIODevice::ReadOnly);
    for (const QByteArray& line : vars.readAll().split('\n')) {
        const QString name = QString::fromLocal8Bit(line.left(line.indexOf('=')));
        const QString value = QString::fromLocal8Bit(line.mid(line.indexOf('=') + 1));
        if (name == u"DISPLAY")
            display_ = value;
        else if (name == u"XAUTHORITY")
            xauthority_ = value;
        else if (name == u"WAYLAND_DISPLAY")
            wayland_ = value.startsWith(u'/') ? value : runtime_ + u'/' + value;
        else if (name == u"SWAYSOCK")
            swaysock_ = value;
    }
    if (display_.isEmpty() || wayland_.isEmpty()) {
        error_ = name() + QStringLiteral(" started no XWayland or gave no Wayland display");
        return false;
    }
    // XWayland may start on the first client only; this is that client.
    if (!WaitUntil([&] { return run(QStringLiteral("xdpyinfo"), {}, 5000).has_value(); }, 30000, 20)) {
        error_ = QStringLiteral("XWayland on %1 does not answer").arg(display_);
        return false;
    }
    if (kind_ != Kind::Sway)
        return true;
    if (!WaitUntil([&] { return run(QStringLiteral("swaymsg"), {QStringLiteral("-t"), QStringLiteral("get_version")}).has_value(); },
                   10000, 20))
        return false;
#ifdef VARROW_WAYLAND_INPUT
    // The headless seat has no pointer until a device joins; sway's cursor commands then reach clients.
    pointerDevice_.setProcessEnvironment(environment());
    pointerDevice_.start(QStringLiteral(VARROW_WAYLAND_INPUT), {});
    if (!pointerDevice_.waitForReadyRead(5000) || !pointerDevice_.readAllStandardOutput().startsWith("ready")) {
        error_ = QStringLiteral("no pointer device for sway: ") + QString::fromLocal8Bit(pointerDevice_.readAllStandardError());
        return false;
    }
#endif
    return true;
}

QProcessEnvironment Compositor::environment() const
{
    QProcessEnvironment env = cleanEnvironment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), clientRuntime_);
    env.insert(QStringLiteral("WAYLAND_DISPLAY"), wayland_);
    env.insert(QStringLiteral("DISPLAY"), display_);
    if (!xauthority_.isEmpty())
        env.insert(QStringLiteral("XAUTHORITY"), xauthority_);
    if (!swaysock_.isEmpty())
        env.insert(QStringLiteral("SWAYSOCK"), swaysock_);
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus_.address());
    env.insert(QStringLiteral("XDG_SESSION_TYPE"), QStringLiteral("wayland"));
    env.insert(QStringLiteral("XDG_CURRENT_DESKTOP"), QLatin1String(Recipes[int(kind_)].desktop));
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
    auto& p = const_cast<QProcess&>(compositor_);
    if (p.state() == QProcess::Running)
        p.waitForReadyRead(10);
    log_ += QString::fromLocal8Bit(p.readAll());
    return log_;
}

// ---- what the compositor shows ----

QImage Compositor::screenshot(const QString& saveAs, QString* why) const
{
    QImage image;
    QString reason;
    if (kind_ == Kind::Sway) {
        const QString path = saveAs.isEmpty() ? dir_.filePath(QStringLiteral("shot.png")) : saveAs;
        if (!run(QStringLiteral("grim"), {path}, 20000) || !image.load(path))
            reason = QStringLiteral("grim failed");
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
        *why = QStringLiteral("no pipe");
        return {};
    }
    QDBusConnection bus = QDBusConnection::connectToBus(bus_.address(), QStringLiteral("varrow-shot"));
    QDBusInterface shot(QStringLiteral("org.kde.KWin"), QStringLiteral("/org/kde/KWin/ScreenShot2"),
                        QStringLiteral("org.kde.KWin.ScreenShot2"), bus);
    QDBusPendingCall call = shot.asyncCall(QStringLiteral("CaptureArea"), 0, 0, uint(size_.width()),
                                           uint(size_.height()), QVariantMap(),
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
            expected = qsizetype(r.value().value(QStringLiteral("stride")).toInt()) * r.value().value(QStringLiteral("height")).toInt();
        }
        return expected >= 0 && data.size() >= expected;
    }, 20000, 20);
    ::close(fds[0]);
    call.waitForFinished();
    QDBusPendingReply<QVariantMap> reply = call;
    QDBusConnection::disconnectFromBus(QStringLiteral("varrow-shot"));
    if (reply.isError()) {
        *why = QStringLiteral("KWin's ScreenShot2: ") + reply.error().message();
        return {};
    }
    const QVariantMap m = reply.value();
    const int w = m.value(QStringLiteral("width")).toInt(), h = m.value(QStringLiteral("height")).toInt();
    const int stride = m.value(QStringLiteral("stride")).toInt();
    if (w <= 0 || h <= 0 || data.size() < qsizetype(stride) * h) {
        *why = QStringLiteral("KWin's ScreenShot2 sent %1 bytes for %2x%3").arg(data.size()).arg(w).arg(h);
        return {};
    }
    return QImage(reinterpret_cast<const uchar*>(data.constData()), w, h, stride,
                  QImage::Format(m.value(QStringLiteral("format")).toInt())).convertToFormat(QImage::Format_RGB32);
}

// Mutter alone has no screenshot call (the shell adds one): one frame of its PipeWire screen cast is the shot.
QImage Compositor::mutterScreenshot(QString* why) const
{
    const QString service = QStringLiteral("org.gnome.Mutter.ScreenCast");
    const QString name = QStringLiteral("varrow-cast-%1").arg(++scripts_);
    QDBusConnection bus = QDBusConnection::connectToBus(bus_.address(), name);
    QImage image;
    QDBusInterface cast(service, QStringLiteral("/org/gnome/Mutter/ScreenCast"), service, bus);
    const QDBusReply<QDBusObjectPath> session = cast.call(QStringLiteral("CreateSession"), QVariantMap());
    if (!session.isValid()) {
        *why = QStringLiteral("Mutter's screen cast: ") + session.error().message();
        QDBusConnection::disconnectFromBus(name);
        return {};
    }
    QDBusInterface control(service, session.value().path(), service + QStringLiteral(".Session"), bus);
    const QDBusReply<QDBusObjectPath> stream = control.call(QStringLiteral("RecordMonitor"), QStringLiteral("Meta-0"),
                                                            QVariantMap{{QStringLiteral("cursor-mode"), 0u}});
    NodeCatcher node;
    if (stream.isValid())
        bus.connect(service, stream.value().path(), service + QStringLiteral(".Stream"),
                    QStringLiteral("PipeWireStreamAdded"), &node, SLOT(added(uint)));
    const QDBusMessage started = control.call(QStringLiteral("Start"));
    if (!stream.isValid() || started.type() == QDBusMessage::ErrorMessage) {
        *why = QStringLiteral("Mutter's screen cast did not start: ") +
               (stream.isValid() ? started.errorMessage() : stream.error().message());
    } else if (!WaitUntil([&] { QCoreApplication::processEvents(); return node.id != 0; }, 10000)) {
        *why = QStringLiteral("Mutter's screen cast gave no PipeWire stream");
    } else {
        const QString path = dir_.filePath(QStringLiteral("cast.png"));
        QFile::remove(path);
        QProcessEnvironment env = environment();
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime_); // where PipeWire listens
        const e2e::Ran gst = e2e::RunToEnd(
            env, QStringLiteral("gst-launch-1.0"),
            {QStringLiteral("-q"), QStringLiteral("pipewiresrc"), QStringLiteral("path=%1").arg(node.id),
             QStringLiteral("num-buffers=1"), QStringLiteral("!"), QStringLiteral("videoconvert"), QStringLiteral("!"),
             QStringLiteral("pngenc"), QStringLiteral("!"), QStringLiteral("filesink"), QStringLiteral("location=") + path},
            20000);
        if (!image.load(path))
            *why = QStringLiteral("no frame from Mutter's screen cast: ") + gst.err;
    }
    control.call(QStringLiteral("Stop"));
    QDBusConnection::disconnectFromBus(name);
    return image.convertToFormat(QImage::Format_RGB32);
}

std::vector<Window> Compositor::windows() const
{
    std::vector<Window> list = kind_ == Kind::Sway ? swayWindows() : kind_ == Kind::KWin ? kwinWindows()
                                                                                         : x11Windows(false);
    if (kind_ != Kind::Mutter) {
        const auto unmanaged = x11Windows(true);
        list.insert(list.end(), unmanaged.begin(), unmanaged.end());
    }
    return list;
}

std::optional<Window> Compositor::window(const QString& title) const
{
    for (const Window& w : windows())
        if (w.title == title)
            return w;
    return std::nullopt;
}

std::optional<Window> Compositor::focusedWindow() const
{
    for (const Window& w : windows())
        if (w.focused)
            return w;
    return std::nullopt;
}

std::vector<Window> Compositor::swayWindows() const
{
    std::vector<Window> list;
    const auto tree = run(QStringLiteral("swaymsg"), {QStringLiteral("-r"), QStringLiteral("-t"), QStringLiteral("get_tree")}, 5000);
    if (!tree)
        return list;
    std::function<void(const QJsonObject&)> walk = [&](const QJsonObject& n) {
        const QString type = n[QStringLiteral("type")].toString();
        if ((type == u"con" || type == u"floating_con") && n.contains(QStringLiteral("pid")) &&
            n[QStringLiteral("nodes")].toArray().isEmpty()) {
            const QJsonObject r = n[QStringLiteral("rect")].toObject(), inner = n[QStringLiteral("window_rect")].toObject();
            list.push_back({n[QStringLiteral("name")].toString(),
                            QRect(r[QStringLiteral("x")].toInt() + inner[QStringLiteral("x")].toInt(),
                                  r[QStringLiteral("y")].toInt() + inner[QStringLiteral("y")].toInt(),
                                  inner[QStringLiteral("width")].toInt(), inner[QStringLiteral("height")].toInt()),
                            n[QStringLiteral("focused")].toBool(), n[QStringLiteral("shell")].toString() == u"xwayland"});
        }
        for (const char* key : {"nodes", "floating_nodes"})
            for (const QJsonValue& c : n[QLatin1String(key)].toArray())
                walk(c.toObject());
    };
    walk(QJsonDocument::fromJson(tree->toUtf8()).object());
    return list;
}

QStringList Compositor::kwinScript(const QString& body) const
{
    const QString tag = QStringLiteral("varrow-script-%1").arg(++scripts_);
    const QString path = dir_.filePath(tag + QStringLiteral(".js"));
    writeFile(path, QString(QStringLiteral("function say(t) { print(\"%1 \" + t); }\n") + body +
                            QStringLiteral("\nprint(\"%1 end\");\n")).arg(tag), readable);
    QDBusConnection bus = QDBusConnection::connectToBus(bus_.address(), tag);
    QDBusInterface scripting(QStringLiteral("org.kde.KWin"), QStringLiteral("/Scripting"),
                             QStringLiteral("org.kde.kwin.Scripting"), bus);
    scripting.call(QStringLiteral("loadScript"), path, tag);
    scripting.call(QStringLiteral("start"));
    const QString endLine = QStringLiteral("js: %1 end").arg(tag);
    WaitUntil([&] { return log().contains(endLine); }, 10000);
    scripting.call(QStringLiteral("unloadScript"), tag);
    QDBusConnection::disconnectFromBus(tag);
    QStringList lines;
    const QRegularExpression line(QStringLiteral("^js: %1 (.*)$").arg(tag), QRegularExpression::MultilineOption);
    for (auto it = line.globalMatch(log_); it.hasNext();)
        lines << it.next().captured(1);
    lines.removeAll(QStringLiteral("end"));
    return lines;
}

std::vector<Window> Compositor::kwinWindows() const
{
    std::vector<Window> list;
    for (const QString& l : kwinScript(QStringLiteral(R"(var cs = workspace.clientList();
for (var i = 0; i < cs.length; ++i) {
    var c = cs[i], g = c.bufferGeometry;
    say(JSON.stringify({title: c.caption, x: g.x, y: g.y, w: g.width, h: g.height, focused: c.active, x11: c.windowId > 0}));
})"))) {
        const QJsonObject o = QJsonDocument::fromJson(l.toUtf8()).object();
        list.push_back({o[QStringLiteral("title")].toString(),
                        QRect(o[QStringLiteral("x")].toInt(), o[QStringLiteral("y")].toInt(), o[QStringLiteral("w")].toInt(),
                              o[QStringLiteral("h")].toInt()),
                        o[QStringLiteral("focused")].toBool(), o[QStringLiteral("x11")].toBool()});
    }
    return list;
}

bool Compositor::activate(const QString& title) const
{
    if (kind_ == Kind::Sway)
        return run(QStringLiteral("swaymsg"), {QStringLiteral("[title=\"^%1$\"] focus").arg(title)}).has_value();
    if (kind_ == Kind::KWin)
        return kwinScript(QStringLiteral(R"(var cs = workspace.clientList();
for (var i = 0; i < cs.length; ++i)
    if (cs[i].caption == %1) { workspace.activeClient = cs[i]; say("done"); })")
                              .arg(QString::fromUtf8(QJsonDocument(QJsonArray{title}).toJson(QJsonDocument::Compact)).mid(1).chopped(1)))
            .contains(QStringLiteral("done"));
    return false;
}

// Mutter manages its XWayland's windows, so the root's EWMH properties list them; native ones are not there.
std::vector<Window> Compositor::x11Windows(bool onlyUnmanaged) const
{
    std::vector<Window> list;
    bool managed = true;
    const auto children = run(QStringLiteral("xwininfo"), {QStringLiteral("-root"), QStringLiteral("-children")});
    static const QRegularExpression child(QStringLiteral("^\\s+(0x[0-9a-f]+) \"(.*)\":"), QRegularExpression::MultilineOption);
    for (auto it = child.globalMatch(children.value_or(QString())); it.hasNext();) {
        const auto info = run(QStringLiteral("xwininfo"), {QStringLiteral("-id"), it.next().captured(1)});
        if (auto w = info ? parseXwininfo(*info, &managed) : std::nullopt; w && !managed)
            list.push_back(*w);
    }
    if (onlyUnmanaged)
        return list;
    const auto root = run(QStringLiteral("xprop"), {QStringLiteral("-root"), QStringLiteral("_NET_CLIENT_LIST_STACKING"),
                                                    QStringLiteral("_NET_ACTIVE_WINDOW")});
    if (!root)
        return list;
    static const QRegularExpression clients(QStringLiteral("_NET_CLIENT_LIST_STACKING\\(WINDOW\\): window id # (.*)$"),
                                            QRegularExpression::MultilineOption);
    static const QRegularExpression activeLine(QStringLiteral("_NET_ACTIVE_WINDOW\\(WINDOW\\): window id # (0x[0-9a-f]+)"));
    const uint active = activeLine.match(*root).captured(1).toUInt(nullptr, 16);
    for (const QString& id : clients.match(*root).captured(1).split(QStringLiteral(", "), Qt::SkipEmptyParts)) {
        const auto info = run(QStringLiteral("xwininfo"), {QStringLiteral("-id"), id.trimmed()});
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
        run(QStringLiteral("swaymsg"), {QStringLiteral("seat"), QStringLiteral("seat0"), QStringLiteral("cursor"),
                                        QStringLiteral("set"), QString::number(p.x()), QString::number(p.y())});
    else
        run(QStringLiteral("xdotool"), {QStringLiteral("mousemove"), QString::number(p.x()), QString::number(p.y())});
}

void Compositor::button(int button, bool down) const
{
    if (kind_ == Kind::Sway)
        run(QStringLiteral("swaymsg"), {QStringLiteral("seat"), QStringLiteral("seat0"), QStringLiteral("cursor"),
                                        down ? QStringLiteral("press") : QStringLiteral("release"),
                                        QStringLiteral("button%1").arg(button)});
    else
        run(QStringLiteral("xdotool"), {down ? QStringLiteral("mousedown") : QStringLiteral("mouseup"), QString::number(button)});
}

} // namespace wayland

#include "Compositor.moc"
