// The e2e harness: a private X display with a window manager, and the real program run on it.
#pragma once
#include <QImage>
#include <QProcess>
#include <QRect>
#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>
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

// A private X display (Xvfb) with a small window manager, for running the real program.
class Desktop {
public:
    // One screen of `size`; `monitors` splits it into RandR monitors, the first one primary.
    explicit Desktop(QSize size = {1280, 800}, const std::vector<QRect>& monitors = {});
    ~Desktop();
    bool ok() const { return !display_.isEmpty(); }
    const QString& error() const { return error_; }
    // The environment a program needs to run on this display.
    QProcessEnvironment environment() const;
    // The session bus later programs see; none by default, never the bus of the desktop running the tests.
    void setSessionBus(const QString& address) { sessionBus_ = address; }
    // The sound server later programs use; none by default, never the one of the desktop running the tests.
    void setSoundServer(const QString& address) { soundServer_ = address; }
    // The speech-dispatcher later programs use (SPEECHD_ADDRESS); by default one that is not there,
    // so that none is started for them.
    void setSpeechDispatcher(const QString& address) { speechDispatcher_ = address; }
    // Programs started from now on draw at this many device pixels per logical pixel.
    void setScale(double factor) { scale_ = factor; }
    double scale() const { return scale_; }

    // Runs an X tool (xdotool, import, xwininfo) on this display; returns its stdout, nullopt on failure.
    std::optional<QString> run(const QString& program, const QStringList& args, int timeoutMs = 10000) const;
    void xdotool(const QStringList& args) const;
    QImage screenshot(const QString& saveAs = {}) const;

private:
    void fail(const QString& why);
    QTemporaryDir scratch_;
    QString display_, error_, sessionBus_, soundServer_, speechDispatcher_;
    double scale_ = 1;
    QProcess xvfb_, wm_;
};

// One run of the real program with its own settings, runtime dir and trace file.
class Varrow {
public:
    // Runs with settings and runtime dir under `home`; two runs with one home are one user's session.
    Varrow(const Desktop& desktop, const QString& home, const QStringList& args = {}, const QString& program = {},
           const QString& traceName = "trace");
    // The same in another session (a Wayland compositor); pick() then needs its own input.
    Varrow(QProcessEnvironment session, const QString& home, const QStringList& args = {}, const QString& program = {},
           const QString& traceName = "trace");
    ~Varrow();

    // Waits for a trace line matching `pattern` (after the ones already matched); returns its match.
    std::optional<QRegularExpressionMatch> waitFor(const QString& pattern, int timeoutMs = 15000, int pollMs = 15);
    bool traced(const QString& pattern) const; // anywhere in the trace so far
    QString trace() const;
    std::optional<int> waitForExit(int timeoutMs = 10000); // exit code, nullopt if still running
    bool running() const { return process_.state() != QProcess::NotRunning; }
    qint64 pid() const { return process_.processId(); }
    QString errors(); // stderr so far

    // Right-clicks the character at `at` (logical pixels, as traced) and clicks the menu entry with this text.
    bool pick(const QPoint& at, const QString& entry);

private:
    const Desktop* desktop_ = nullptr;
    QString home_, tracePath_;
    QProcess process_;
    qsizetype consumed_ = 0;
    QString stderr_;
};

// Programs' own paths, from the build.
QString ProgramPath();

// The settings of runs with this home: the file, one setting written, and the place saved last.
QString SettingsFile(const QString& home);
void SetSetting(const QString& home, const QString& key, const QVariant& value);
void SeedPlace(const QString& home, QPoint place);
QPoint SavedPlace(const QString& home);

// How much of `area` differs from the desktop's background colour.
double DrawnShare(const QImage& shot, const QRect& area);
int ColourDistance(QRgb a, QRgb b); // the largest difference of the three channels
QRect ParseGeometry(const QRegularExpressionMatch& m, int first); // "x,y wxh" captured as four groups

} // namespace e2e
