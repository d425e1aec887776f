// The desktop harness: a private X display with openbox, or a Wayland compositor run headless with
// XWayland, and the real program run in it.
#pragma once
#include "support/SessionBus.h"

#include <QImage>
#include <QProcess>
#include <QRect>
#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace e2e {

// What a program run to its end left behind.
struct Ran {
    bool finished = false; // ended by itself, without crashing, in the time given
    int code = -1;
    QString out, err;
    bool ok() const { return finished && code == 0; }
};
// Runs a program to its end; one still running after `timeoutMs` is killed.
Ran RunToEnd(const QProcessEnvironment& env, const QString& program, const QStringList& args, int timeoutMs = 10000);
// Asks a process to end, and kills it if it has not after `graceMs`.
void Stop(QProcess& p, int graceMs = 3000);
// Polls `done` until it holds or `timeoutMs` pass; returns whether it held.
bool WaitUntil(const std::function<bool()>& done, int timeoutMs, int pollMs = 10);
// Starts a program and waits until `ready` holds; false if it never did or the program ended.
bool StartUntil(QProcess& p, const QString& program, const QStringList& args, const std::function<bool()>& ready,
                int timeoutMs = 10000);
// The environment of a daemon of the test's own: its home and runtime in `dir`, and no session bus.
QProcessEnvironment PrivateEnvironment(const QString& dir);
bool MakePrivateDir(const QString& path); // readable by its owner alone
// A file's text, empty when it cannot be read; writes one, readable and runnable by all.
QString ReadText(const QString& path);
bool WriteText(const QString& path, const QString& text);

enum class Kind { X11, Sway, KWin, Mutter };
QString NameOf(Kind kind);
bool Installed(Kind kind);

// A window as the window manager or compositor (or, for X11 windows it leaves unmanaged, the X server) sees it.
struct Window {
    QString title;
    QRect rect;           // outside any decoration
    bool focused = false; // holds the keyboard focus
    bool x11 = true;
};

class Desktop {
public:
    // X11: one screen of `size`, which `monitors` splits into RandR monitors, the first one primary.
    explicit Desktop(Kind kind = Kind::X11, QSize size = {1280, 800}, const std::vector<QRect>& monitors = {});
    ~Desktop();
    bool ok() const { return error_.isEmpty(); }
    const QString& error() const { return error_; }

    // The environment a program needs to run in this session.
    QProcessEnvironment environment() const;
    // On X11 the session bus later programs see; none by default, never the bus of the desktop running the tests.
    void setSessionBus(const QString& address) { sessionBus_ = address; }
    QString busAddress() const { return kind_ == Kind::X11 ? sessionBus_ : bus_->address(); }
    // The sound server later programs use; none by default.
    void setSoundServer(const QString& address) { soundServer_ = address; }
    // The speech-dispatcher later programs use; by default one that is not there, so none is started for them.
    void setSpeechDispatcher(const QString& address) { speechDispatcher_ = address; }
    // On X11, programs started from now on draw at this many device pixels per logical pixel.
    void setScale(double factor) { scale_ = factor; }
    double scale() const { return scale_; }

    // Runs a tool in the session; its stdout, nullopt on failure.
    std::optional<QString> run(const QString& program, const QStringList& args, int timeoutMs = 10000) const
    {
        const Ran ran = RunToEnd(environment(), program, args, timeoutMs);
        return ran.ok() ? std::optional<QString>(ran.out) : std::nullopt;
    }
    void xdotool(const QStringList& args) const { run("xdotool", args); }
    // Starts a program that lives as long as the session (a native terminal, a portal).
    bool launch(const QString& program, const QStringList& args, const QProcessEnvironment& extra = {});
    // The whole screen as the user sees it; a null image in KWin and Mutter.
    QImage screenshot(const QString& saveAs = {}) const;

    std::vector<Window> windows() const;
    std::optional<Window> window(const QString& title) const // a null title: the focused window
    {
        for (const Window& w : windows())
            if (title.isNull() ? w.focused : w.title == title)
                return w;
        return std::nullopt;
    }
    // On X11 the window with that title and openbox's frame round it.
    QRect frame(const QString& title) const;
    QRect settledFrame(const QString& title) const; // once openbox stops moving it into place
    std::string xprop(const QString& title, const QString& property) const
    {
        return run("xprop", {"-id", windowId(title), property}).value_or("").trimmed().toStdString();
    }
    // Gives this window the focus as the user would, in sway; on X11 waits for it and activates it.
    bool activate(const QString& title) const;

    // The pointer, in device pixels: sway's own seat there; elsewhere XTEST, which reaches X11 windows only.
    void pointerTo(const QPoint& p) const;
    void button(int button, bool down) const;
    void click(const QPoint& p, int which = 1) const
    {
        pointerTo(p);
        button(which, true);
        button(which, false);
    }
    void drag(const QPoint& from, const QPoint& by, int steps = 10) const;
    QString log() const { return ReadText(dir_.filePath("log")); } // the server's own output so far

private:
    bool startX11(QSize size, const std::vector<QRect>& monitors);
    bool startCompositor(QSize size);
    // The one on screen: the program has others of that name.
    QString windowId(const QString& title) const
    {
        const auto found = run("xdotool", {"search", "--onlyvisible", "--name", u'^' + title + u'$'});
        return found.value_or("").section(u'\n', 0, 0);
    }

    Kind kind_;
    QString error_;
    QTemporaryDir dir_;
    QProcessEnvironment session_; // DISPLAY and, in a compositor, WAYLAND_DISPLAY and the like
    QString sessionBus_, soundServer_, speechDispatcher_;
    double scale_ = 1;
    std::unique_ptr<testsupport::SessionBus> bus_;
    QProcess server_, pointer_;
    std::vector<std::unique_ptr<QProcess>> launched_;
};

// One run of the real program with its own settings, runtime dir and trace file.
class Varrow {
public:
    // Runs with settings and runtime dir under `home`; two runs with one home are one user's session.
    Varrow(const Desktop& desktop, const QString& home, const QStringList& args = {}, const QString& program = {},
           const QString& traceName = "trace", QProcessEnvironment env = {});
    ~Varrow() { Stop(process_, 5000); }

    // Waits for a trace line matching `pattern` (after the ones already matched); returns its match.
    std::optional<QRegularExpressionMatch> waitFor(const QString& pattern, int timeoutMs = 15000, int pollMs = 15);
    bool traced(const QString& pattern) const // anywhere in the trace so far
    {
        return QRegularExpression(pattern, QRegularExpression::MultilineOption).match(trace()).hasMatch();
    }
    QString trace() const { return ReadText(tracePath_); }
    std::optional<int> waitForExit(int timeoutMs = 10000); // exit code, nullopt if still running
    bool running() const { return process_.state() != QProcess::NotRunning; }
    qint64 pid() const { return process_.processId(); }
    QString errors() { return stderr_ += QString::fromLocal8Bit(process_.readAllStandardError()); } // stderr so far
    // Waits until the character stands on the desktop; its window, null when it did not come.
    QRect waitShown(int timeoutMs = 15000);

    // Activates the window with this title and, once the program has taken it as active, presses `keys`.
    bool keyTo(const QString& title, const QString& keys);
    // Right-clicks the character at `at` (logical pixels, as traced) and clicks the menu entry with this text.
    bool pick(const QPoint& at, const QString& entry);

private:
    const Desktop& desktop_;
    QString tracePath_;
    QProcess process_;
    qsizetype consumed_ = 0;
    QString stderr_;
};

// Programs' own paths, from the build.
QString ProgramPath();

// The settings of runs with this home: the file, one setting written, and the place saved last.
inline QString SettingsFile(const QString& home) { return home + "/config/Varrow/Varrow.ini"; }
void SetSetting(const QString& home, const QString& key, const QVariant& value);
inline void SeedPlace(const QString& home, QPoint p)
{
    SetSetting(home, "LastPositionX", p.x());
    SetSetting(home, "LastPositionY", p.y());
}
QPoint SavedPlace(const QString& home);

// The desktop's background: not black, or a window's missing shape or a dark fringe would not show.
inline const QRgb Background = qRgb(0x3a, 0x6e, 0xa5);
// How many pixels of `area` are `counted`.
inline int CountPixels(const QRect& area, const std::function<bool(int x, int y)>& counted)
{
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            n += counted(x, y);
    return n;
}
// How much of `area` differs from the desktop's background colour.
double DrawnShare(const QImage& shot, const QRect& area);
// Pixels that differ clearly between two shots of one place, leaving out `except`.
int ChangedPixels(const QImage& a, const QImage& b, const QRect& area, const QRect& except = {});
inline QRect ParseGeometry(const QRegularExpressionMatch& m, int first) // "x,y wxh" captured as four groups
{
    return QRect(m.captured(first).toInt(), m.captured(first + 1).toInt(), m.captured(first + 2).toInt(),
                 m.captured(first + 3).toInt());
}
inline const QString Geometry = "(-?\\d+),(-?\\d+) (\\d+)x(\\d+)";

} // namespace e2e
