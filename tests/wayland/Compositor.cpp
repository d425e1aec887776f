// A real Wayland compositor run headless with XWayland, for running the real program in a Wayland session.
#include "Compositor.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusReply>
#include <QDBusInterface>
#include <QDBusPendingCall>
#include <QDBusPendingReply>
#include <QDBusUnixFileDescriptor>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QThread>
#include <fcntl.h>
#include <functional>
#include <unistd.h>

namespace wayland {

namespace {

template <typename Pred> bool waitUntil(Pred pred, int timeoutMs)
{
    QElapsedTimer t;
    t.start();
    while (!pred()) {
        if (t.elapsed() > timeoutMs)
            return false;
        QThread::msleep(20);
    }
    return true;
}

// sway will not run as root; the session then belongs to nobody and lets root's clients in.
constexpr uid_t nobody = 65534;
bool asRoot()
{
    return ::getuid() == 0;
}

QProcessEnvironment cleanEnvironment()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "XAUTHORITY", "SWAYSOCK", "QT_QPA_PLATFORM",
                             "DBUS_SESSION_BUS_ADDRESS", "XDG_SESSION_TYPE", "XDG_CURRENT_DESKTOP", "I3SOCK"})
        env.remove(QLatin1String(name));
    return env;
}

std::map<QString, QString> readEnvFile(const QString& path)
{
    std::map<QString, QString> vars;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return vars;
    for (const QByteArray& line : f.readAll().split('\n')) {
        const int eq = int(line.indexOf('='));
        if (eq > 0)
            vars[QString::fromLocal8Bit(line.left(eq))] = QString::fromLocal8Bit(line.mid(eq + 1));
    }
    return vars;
}

bool writeFile(const QString& path, const QByteArray& text, QFile::Permissions perms)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(text) != text.size())
        return false;
    f.close();
    return f.setPermissions(perms);
}

constexpr QFile::Permissions readable = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther;
constexpr QFile::Permissions runnable = readable | QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther;

// Which X windows stand where, from xwininfo's report on one window.
std::optional<Window> parseXwininfo(const QString& info)
{
    auto field = [&](const char* label) {
        const QRegularExpression re(QStringLiteral("^\\s*%1:\\s*(.*)$").arg(QLatin1String(label)),
                                    QRegularExpression::MultilineOption);
        return re.match(info).captured(1).trimmed();
    };
    if (field("Map State") != u"IsViewable")
        return std::nullopt;
    Window w;
    static const QRegularExpression title(QStringLiteral("Window id: 0x[0-9a-f]+ \"(.*)\"$"),
                                          QRegularExpression::MultilineOption);
    w.title = title.match(info).captured(1);
    w.rect = QRect(field("Absolute upper-left X").toInt(), field("Absolute upper-left Y").toInt(),
                   field("Width").toInt(), field("Height").toInt());
    w.x11 = true;
    w.managed = field("Override Redirect State") != u"yes";
    w.source = QStringLiteral("x11");
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

QByteArray PrivateBusConfig(const QString& socketDir)
{
    return QStringLiteral(R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:dir=%1</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)").arg(socketDir).toUtf8();
}

QString NameOf(Kind kind)
{
    switch (kind) {
    case Kind::Sway: return QStringLiteral("sway");
    case Kind::KWin: return QStringLiteral("kwin");
    case Kind::Mutter: return QStringLiteral("mutter");
    }
    return {};
}

Compositor::Compositor(Kind kind, QSize size) : kind_(kind), size_(size)
{
    if (!dir_.isValid()) {
        error_ = QStringLiteral("no temporary directory");
        return;
    }
    QFile::setPermissions(dir_.path(), runnable); // sway runs as nobody and reads its config here
    runtime_ = dir_.filePath(QStringLiteral("runtime"));
    clientRuntime_ = dir_.filePath(QStringLiteral("client-runtime"));
    home_ = dir_.filePath(QStringLiteral("home"));
    for (const QString& d : {runtime_, clientRuntime_, home_}) {
        QDir().mkpath(d);
        QFile::setPermissions(d, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    if (!startBus())
        return;
    const bool started = kind == Kind::Sway ? startSway() : kind == Kind::KWin ? startKWin() : startMutter();
    if (!started && error_.isEmpty())
        error_ = name() + QStringLiteral(" did not start");
    if (!error_.isEmpty())
        error_ += QStringLiteral("\n") + log();
}

Compositor::~Compositor()
{
    auto stop = [](QProcess& p) {
        if (p.state() == QProcess::NotRunning)
            return;
        p.terminate();
        if (!p.waitForFinished(5000)) {
            p.kill();
            p.waitForFinished(3000);
        }
    };
    for (auto it = launched_.rbegin(); it != launched_.rend(); ++it)
        stop(**it);
    pointerDevice_.closeWriteChannel();
    pointerDevice_.waitForFinished(2000);
    stop(pointerDevice_);
    stop(compositor_);
    stop(busDaemon_);
}

// A session bus that starts no services of its own: what a test needs it starts itself, and what the
// bus would start would outlive the test.
bool Compositor::startBus()
{
    const QString config = dir_.filePath(QStringLiteral("bus.conf"));
    writeFile(config, PrivateBusConfig(dir_.path()), readable);
    busDaemon_.start(QStringLiteral("dbus-daemon"), {QStringLiteral("--config-file=") + config, QStringLiteral("--nofork"),
                                                     QStringLiteral("--nopidfile"), QStringLiteral("--print-address=1")});
    if (!busDaemon_.waitForStarted(5000)) {
        error_ = QStringLiteral("dbus-daemon could not be started");
        return false;
    }
    QByteArray out;
    waitUntil([&] {
        busDaemon_.waitForReadyRead(50);
        out += busDaemon_.readAllStandardOutput();
        return out.contains('\n');
    }, 10000);
    bus_ = QString::fromLocal8Bit(out).trimmed();
    if (bus_.isEmpty())
        error_ = QStringLiteral("dbus-daemon gave no address");
    return !bus_.isEmpty();
}

// Each compositor runs a small script once it is up, which tells us its displays.
bool Compositor::waitForSession(const QString& envFile)
{
    if (!waitUntil([&] {
            compositor_.waitForReadyRead(20);
            log_ += QString::fromLocal8Bit(compositor_.readAll());
            return QFile::exists(envFile) || compositor_.state() == QProcess::NotRunning;
        }, 60000) || !QFile::exists(envFile)) {
        error_ = name() + QStringLiteral(" did not come up");
        return false;
    }
    const auto vars = readEnvFile(envFile);
    auto value = [&](const char* n) {
        const auto it = vars.find(QLatin1String(n));
        return it == vars.end() ? QString() : it->second;
    };
    display_ = value("DISPLAY");
    xauthority_ = value("XAUTHORITY");
    const QString wl = value("WAYLAND_DISPLAY");
    wayland_ = wl.startsWith(u'/') ? wl : runtime_ + u'/' + wl;
    swaysock_ = value("SWAYSOCK");
    if (display_.isEmpty() || wl.isEmpty()) {
        error_ = name() + QStringLiteral(" started no XWayland or gave no Wayland display");
        return false;
    }
    // XWayland may start on the first client only; this is that client.
    if (!waitUntil([&] { return run(QStringLiteral("xdpyinfo"), {}, 5000).has_value(); }, 30000)) {
        error_ = QStringLiteral("XWayland on %1 does not answer").arg(display_);
        return false;
    }
    return true;
}

bool Compositor::startSway()
{
    const QString config = dir_.filePath(QStringLiteral("sway.conf"));
    const QString envFile = runtime_ + QStringLiteral("/session.env");
    const QByteArray text = QStringLiteral(
        "xwayland enable\n"
        "output HEADLESS-1 resolution %1x%2 position 0 0 bg #3a6ea5 solid_color\n"
        "exec sh -c 'xhost +si:localuser:root >/dev/null 2>&1; env > %3.new && mv %3.new %3'\n")
                                .arg(size_.width()).arg(size_.height()).arg(envFile).toLocal8Bit();
    if (!writeFile(config, text, readable)) {
        error_ = QStringLiteral("cannot write %1").arg(config);
        return false;
    }
    QProcessEnvironment env = cleanEnvironment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime_);
    env.insert(QStringLiteral("HOME"), home_);
    env.insert(QStringLiteral("WLR_BACKENDS"), QStringLiteral("headless"));
    env.insert(QStringLiteral("WLR_LIBINPUT_NO_DEVICES"), QStringLiteral("1"));
    env.insert(QStringLiteral("WLR_RENDERER"), QStringLiteral("pixman"));
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus_);
    compositor_.setProcessEnvironment(env);
    compositor_.setProcessChannelMode(QProcess::MergedChannels);
    if (asRoot()) {
        for (const QString& d : {runtime_, home_})
            if (::chown(QFile::encodeName(d).constData(), nobody, nobody) != 0) {
                error_ = QStringLiteral("cannot hand %1 to nobody").arg(d);
                return false;
            }
        compositor_.start(QStringLiteral("setpriv"), {QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                                                      QStringLiteral("--clear-groups"), QStringLiteral("sway"),
                                                      QStringLiteral("-c"), config});
    } else {
        compositor_.start(QStringLiteral("sway"), {QStringLiteral("-c"), config});
    }
    if (!compositor_.waitForStarted(5000) || !waitForSession(envFile) ||
        !waitUntil([&] { return swaymsg({QStringLiteral("-t"), QStringLiteral("get_version")}).has_value(); }, 10000))
        return false;
#ifdef VARROW_VIRTUAL_POINTER
    // The headless seat has no pointer until a device joins; sway's cursor commands then reach clients.
    pointerDevice_.setProcessEnvironment(environment());
    pointerDevice_.start(QStringLiteral(VARROW_VIRTUAL_POINTER), {});
    if (!pointerDevice_.waitForReadyRead(5000) || !pointerDevice_.readAllStandardOutput().startsWith("ready")) {
        error_ = QStringLiteral("no pointer device for sway: ") + QString::fromLocal8Bit(pointerDevice_.readAllStandardError());
        return false;
    }
#endif
    return true;
}

bool Compositor::startKWin()
{
    // The packaged binary carries a file capability that a container may not grant; a copy has none.
    const QString bin = dir_.filePath(QStringLiteral("bin"));
    QDir().mkpath(bin);
    const QString kwin = bin + QStringLiteral("/kwin_wayland");
    if (!QFile::copy(QStringLiteral("/usr/bin/kwin_wayland"), kwin) || !QFile::setPermissions(kwin, runnable)) {
        error_ = QStringLiteral("kwin_wayland is not installed");
        return false;
    }
    const QString envFile = runtime_ + QStringLiteral("/session.env");
    const QString script = dir_.filePath(QStringLiteral("session.sh"));
    writeFile(script, QStringLiteral("#!/bin/sh\nenv > %1.new && mv %1.new %1\n").arg(envFile).toLocal8Bit(), runnable);
    QProcessEnvironment env = cleanEnvironment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime_);
    env.insert(QStringLiteral("HOME"), home_);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home_ + QStringLiteral("/.config"));
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus_);
    env.insert(QStringLiteral("XDG_CURRENT_DESKTOP"), QStringLiteral("KDE"));
    // Screenshots and fake input are for trusted programs only; this session trusts its tests.
    env.insert(QStringLiteral("KWIN_WAYLAND_NO_PERMISSION_CHECKS"), QStringLiteral("1"));
    env.insert(QStringLiteral("KWIN_SCREENSHOT_NO_PERMISSION_CHECKS"), QStringLiteral("1"));
    compositor_.setProcessEnvironment(env);
    compositor_.setProcessChannelMode(QProcess::MergedChannels);
    compositor_.start(kwin, {QStringLiteral("--virtual"), QStringLiteral("--xwayland"), QStringLiteral("--no-lockscreen"),
                             QStringLiteral("--width"), QString::number(size_.width()), QStringLiteral("--height"),
                             QString::number(size_.height()), QStringLiteral("--socket"),
                             QStringLiteral("wayland-varrow"), script});
    return compositor_.waitForStarted(5000) && waitForSession(envFile);
}

bool Compositor::startMutter()
{
    const QString envFile = runtime_ + QStringLiteral("/session.env");
    const QString script = dir_.filePath(QStringLiteral("session.sh"));
    // Mutter ends when this ends, so it stays as long as Mutter does.
    writeFile(script, QStringLiteral("#!/bin/sh\nenv > %1.new && mv %1.new %1\nwhile kill -0 $PPID 2>/dev/null; do sleep 1; done\n")
                          .arg(envFile).toLocal8Bit(), runnable);
    QProcessEnvironment env = cleanEnvironment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime_);
    env.insert(QStringLiteral("HOME"), home_);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home_ + QStringLiteral("/.config"));
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus_);
    env.insert(QStringLiteral("XDG_CURRENT_DESKTOP"), QStringLiteral("GNOME"));
    env.insert(QStringLiteral("GSETTINGS_BACKEND"), QStringLiteral("memory"));
    // Screenshots come through Mutter's screen cast, which needs PipeWire and its session manager.
    for (const QString& program : {QStringLiteral("pipewire"), QStringLiteral("wireplumber")}) {
        auto p = std::make_unique<QProcess>();
        p->setProcessEnvironment(env);
        p->setProcessChannelMode(QProcess::MergedChannels);
        p->start(program, {});
        if (p->waitForStarted(5000))
            launched_.push_back(std::move(p));
        if (program == u"pipewire")
            waitUntil([&] { return QFile::exists(runtime_ + QStringLiteral("/pipewire-0")); }, 5000);
    }
    compositor_.setProcessEnvironment(env);
    compositor_.setProcessChannelMode(QProcess::MergedChannels);
    compositor_.start(QStringLiteral("mutter"),
                      {QStringLiteral("--headless"), QStringLiteral("--wayland"), QStringLiteral("--virtual-monitor"),
                       QStringLiteral("%1x%2").arg(size_.width()).arg(size_.height()), QStringLiteral("--wayland-display"),
                       QStringLiteral("wayland-varrow"), QStringLiteral("--"), script});
    return compositor_.waitForStarted(5000) && waitForSession(envFile);
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
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus_);
    env.insert(QStringLiteral("XDG_SESSION_TYPE"), QStringLiteral("wayland"));
    env.insert(QStringLiteral("XDG_CURRENT_DESKTOP"),
               kind_ == Kind::Sway ? QStringLiteral("sway") : kind_ == Kind::KWin ? QStringLiteral("KDE")
                                                                                   : QStringLiteral("GNOME"));
    return env;
}

std::optional<QString> Compositor::run(const QString& program, const QStringList& args, int timeoutMs) const
{
    QProcess p;
    p.setProcessEnvironment(environment());
    p.start(program, args);
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished(1000);
        return std::nullopt;
    }
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return std::nullopt;
    return QString::fromLocal8Bit(p.readAllStandardOutput());
}

bool Compositor::launch(const QString& program, const QStringList& args, const QProcessEnvironment& extra)
{
    auto p = std::make_unique<QProcess>();
    QProcessEnvironment env = environment();
    for (const QString& k : extra.keys())
        env.insert(k, extra.value(k));
    p->setProcessEnvironment(env);
    p->setProcessChannelMode(QProcess::MergedChannels);
    p->start(program, args);
    if (!p->waitForStarted(5000))
        return false;
    launched_.push_back(std::move(p));
    return true;
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
        if (run(QStringLiteral("grim"), {path}, 20000))
            image.load(path);
        else
            reason = QStringLiteral("grim failed");
    } else if (kind_ == Kind::KWin) {
        image = kwinScreenshot(&reason);
    } else {
        image = mutterScreenshot(&reason);
    }
    if (!image.isNull() && !saveAs.isEmpty() && kind_ != Kind::Sway)
        image.save(saveAs);
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
    QDBusConnection bus = QDBusConnection::connectToBus(bus_, QStringLiteral("varrow-shot"));
    QDBusInterface shot(QStringLiteral("org.kde.KWin"), QStringLiteral("/org/kde/KWin/ScreenShot2"),
                        QStringLiteral("org.kde.KWin.ScreenShot2"), bus);
    QDBusPendingCall call = shot.asyncCall(QStringLiteral("CaptureArea"), 0, 0, uint(size_.width()),
                                           uint(size_.height()), QVariantMap(),
                                           QVariant::fromValue(QDBusUnixFileDescriptor(fds[1])));
    ::close(fds[1]);
    ::fcntl(fds[0], F_SETFL, O_NONBLOCK);
    // The call's own message keeps a copy of the pipe's far end, so the data's size, not its end, says when
    // it is all here.
    QByteArray data;
    qsizetype expected = -1;
    waitUntil([&] {
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
    }, 20000);
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
    const auto format = QImage::Format(m.value(QStringLiteral("format")).toInt());
    if (w <= 0 || h <= 0 || data.size() < qsizetype(stride) * h) {
        *why = QStringLiteral("KWin's ScreenShot2 sent %1 bytes for %2x%3").arg(data.size()).arg(w).arg(h);
        return {};
    }
    return QImage(reinterpret_cast<const uchar*>(data.constData()), w, h, stride, format)
        .convertToFormat(QImage::Format_RGB32);
}

// Mutter alone has no screenshot call (the shell adds one); its screen cast goes through PipeWire,
// and one frame of it is the shot.
QImage Compositor::mutterScreenshot(QString* why) const
{
    const QString service = QStringLiteral("org.gnome.Mutter.ScreenCast");
    const QString name = QStringLiteral("varrow-cast-%1").arg(++scripts_);
    QDBusConnection bus = QDBusConnection::connectToBus(bus_, name);
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
    } else if (!waitUntil([&] { QCoreApplication::processEvents(); return node.id != 0; }, 10000)) {
        *why = QStringLiteral("Mutter's screen cast gave no PipeWire stream");
    } else {
        const QString path = dir_.filePath(QStringLiteral("cast.png"));
        QFile::remove(path);
        QProcess gst;
        QProcessEnvironment env = environment();
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime_); // where PipeWire listens
        gst.setProcessEnvironment(env);
        gst.start(QStringLiteral("gst-launch-1.0"),
                  {QStringLiteral("-q"), QStringLiteral("pipewiresrc"), QStringLiteral("path=%1").arg(node.id),
                   QStringLiteral("num-buffers=1"), QStringLiteral("!"), QStringLiteral("videoconvert"), QStringLiteral("!"),
                   QStringLiteral("pngenc"), QStringLiteral("!"), QStringLiteral("filesink"), QStringLiteral("location=") + path});
        if (!gst.waitForFinished(20000))
            gst.kill();
        if (!image.load(path))
            *why = QStringLiteral("no frame from Mutter's screen cast: ") + QString::fromLocal8Bit(gst.readAllStandardError());
    }
    control.call(QStringLiteral("Stop"));
    QDBusConnection::disconnectFromBus(name);
    return image.convertToFormat(QImage::Format_RGB32);
}

std::optional<QJsonValue> Compositor::swaymsg(const QStringList& args) const
{
    const auto out = run(QStringLiteral("swaymsg"), QStringList{QStringLiteral("-r")} + args, 5000);
    if (!out)
        return std::nullopt;
    const QJsonDocument doc = QJsonDocument::fromJson(out->toUtf8());
    if (doc.isNull())
        return std::nullopt;
    return doc.isArray() ? QJsonValue(doc.array()) : QJsonValue(doc.object());
}

std::vector<Window> Compositor::windows() const
{
    std::vector<Window> list;
    if (kind_ == Kind::Sway)
        list = swayWindows();
    else if (kind_ == Kind::KWin)
        list = kwinWindows();
    else
        list = x11Windows(false);
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
    const auto tree = swaymsg({QStringLiteral("-t"), QStringLiteral("get_tree")});
    if (!tree)
        return list;
    int order = 0;
    std::function<void(const QJsonObject&)> walk = [&](const QJsonObject& n) {
        const QString type = n.value(QStringLiteral("type")).toString();
        if ((type == u"con" || type == u"floating_con") && n.contains(QStringLiteral("pid")) &&
            n.value(QStringLiteral("nodes")).toArray().isEmpty()) {
            const QJsonObject r = n.value(QStringLiteral("rect")).toObject();
            const QJsonObject inner = n.value(QStringLiteral("window_rect")).toObject();
            Window w;
            w.title = n.value(QStringLiteral("name")).toString();
            w.rect = QRect(r.value(QStringLiteral("x")).toInt() + inner.value(QStringLiteral("x")).toInt(),
                           r.value(QStringLiteral("y")).toInt() + inner.value(QStringLiteral("y")).toInt(),
                           inner.value(QStringLiteral("width")).toInt(), inner.value(QStringLiteral("height")).toInt());
            w.focused = n.value(QStringLiteral("focused")).toBool();
            w.x11 = n.value(QStringLiteral("shell")).toString() == u"xwayland";
            w.stacking = order++; // tiled first, then floating ones bottom to top
            w.source = QStringLiteral("sway tree");
            list.push_back(w);
        }
        for (const char* key : {"nodes", "floating_nodes"})
            for (const QJsonValue& c : n.value(QLatin1String(key)).toArray())
                walk(c.toObject());
    };
    walk(tree->toObject());
    return list;
}

QStringList Compositor::kwinScript(const QString& body) const
{
    const QString tag = QStringLiteral("varrow-script-%1").arg(++scripts_);
    const QString path = dir_.filePath(tag + QStringLiteral(".js"));
    writeFile(path, QString(QStringLiteral("function say(t) { print(\"%1 \" + t); }\n") + body +
                            QStringLiteral("\nprint(\"%1 end\");\n")).arg(tag).toUtf8(), readable);
    QDBusConnection bus = QDBusConnection::connectToBus(bus_, tag);
    QDBusInterface scripting(QStringLiteral("org.kde.KWin"), QStringLiteral("/Scripting"),
                             QStringLiteral("org.kde.kwin.Scripting"), bus);
    scripting.call(QStringLiteral("loadScript"), path, tag);
    scripting.call(QStringLiteral("start"));
    const QString endLine = QStringLiteral("js: %1 end").arg(tag);
    waitUntil([&] { return log().contains(endLine); }, 10000);
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
    const QStringList lines = kwinScript(QStringLiteral(R"(var cs = workspace.clientList();
for (var i = 0; i < cs.length; ++i) {
    var c = cs[i], g = c.bufferGeometry;
    say(JSON.stringify({title: c.caption, x: g.x, y: g.y, w: g.width, h: g.height,
        focused: c.active, x11: c.windowId > 0, stacking: c.stackingOrder}));
})"));
    for (const QString& l : lines) {
        const QJsonObject o = QJsonDocument::fromJson(l.toUtf8()).object();
        Window w;
        w.title = o.value(QStringLiteral("title")).toString();
        w.rect = QRect(o.value(QStringLiteral("x")).toInt(), o.value(QStringLiteral("y")).toInt(),
                       o.value(QStringLiteral("w")).toInt(), o.value(QStringLiteral("h")).toInt());
        w.focused = o.value(QStringLiteral("focused")).toBool();
        w.x11 = o.value(QStringLiteral("x11")).toBool();
        w.stacking = o.value(QStringLiteral("stacking")).toInt();
        w.source = QStringLiteral("kwin script");
        list.push_back(w);
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

// Mutter is the X11 window manager of its XWayland too, so its EWMH properties on the root are its
// own view of the X11 windows. Native windows are not among them.
std::vector<Window> Compositor::x11Windows(bool onlyUnmanaged) const
{
    std::vector<Window> list;
    const auto children = run(QStringLiteral("xwininfo"), {QStringLiteral("-root"), QStringLiteral("-children")});
    static const QRegularExpression child(QStringLiteral("^\\s+(0x[0-9a-f]+) \"(.*)\":"), QRegularExpression::MultilineOption);
    if (children)
        for (auto it = child.globalMatch(*children); it.hasNext();) {
            const auto m = it.next();
            const auto info = run(QStringLiteral("xwininfo"), {QStringLiteral("-id"), m.captured(1)});
            if (!info)
                continue;
            if (auto w = parseXwininfo(*info); w && !w->managed)
                list.push_back(*w);
        }
    if (onlyUnmanaged)
        return list;
    const auto root = run(QStringLiteral("xprop"), {QStringLiteral("-root"), QStringLiteral("_NET_CLIENT_LIST_STACKING"),
                                                    QStringLiteral("_NET_ACTIVE_WINDOW")});
    if (!root)
        return list;
    static const QRegularExpression stackingLine(QStringLiteral("_NET_CLIENT_LIST_STACKING\\(WINDOW\\): window id # (.*)$"),
                                                 QRegularExpression::MultilineOption);
    static const QRegularExpression activeLine(QStringLiteral("_NET_ACTIVE_WINDOW\\(WINDOW\\): window id # (0x[0-9a-f]+)"));
    const QString active = activeLine.match(*root).captured(1);
    const QStringList ids = stackingLine.match(*root).captured(1).split(QStringLiteral(", "), Qt::SkipEmptyParts);
    for (int i = 0; i < ids.size(); ++i) {
        const auto info = run(QStringLiteral("xwininfo"), {QStringLiteral("-id"), ids[i].trimmed()});
        if (!info)
            continue;
        if (auto w = parseXwininfo(*info)) {
            w->focused = ids[i].trimmed().toUInt(nullptr, 16) == active.toUInt(nullptr, 16);
            w->stacking = i;
            list.push_back(*w);
        }
    }
    return list;
}

// ---- input ----

QString Compositor::inputPath() const
{
    return kind_ == Kind::Sway ? QStringLiteral("sway's seat (swaymsg seat cursor)")
                               : QStringLiteral("XTEST into XWayland (xdotool): X11 clients only");
}

void Compositor::xdotool(const QStringList& args) const
{
    run(QStringLiteral("xdotool"), args);
}

void Compositor::pointerTo(const QPoint& p) const
{
    if (kind_ == Kind::Sway)
        run(QStringLiteral("swaymsg"), {QStringLiteral("seat"), QStringLiteral("seat0"), QStringLiteral("cursor"),
                                        QStringLiteral("set"), QString::number(p.x()), QString::number(p.y())});
    else
        xdotool({QStringLiteral("mousemove"), QString::number(p.x()), QString::number(p.y())});
}

void Compositor::button(int button, bool down) const
{
    if (kind_ == Kind::Sway)
        run(QStringLiteral("swaymsg"), {QStringLiteral("seat"), QStringLiteral("seat0"), QStringLiteral("cursor"),
                                        down ? QStringLiteral("press") : QStringLiteral("release"),
                                        QStringLiteral("button%1").arg(button)});
    else
        xdotool({down ? QStringLiteral("mousedown") : QStringLiteral("mouseup"), QString::number(button)});
}

} // namespace wayland

#include "Compositor.moc"
