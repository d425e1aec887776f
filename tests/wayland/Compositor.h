// A real Wayland compositor run headless with XWayland, for running the real program in a Wayland session.
#pragma once
#include "support/SessionBus.h"

#include <QImage>
#include <QProcess>
#include <QRect>
#include <QTemporaryDir>
#include <memory>
#include <optional>
#include <vector>

namespace wayland {

enum class Kind { Sway, KWin, Mutter };
QString NameOf(Kind kind);
bool Installed(Kind kind);

// A window as the compositor (or, for X11 windows it does not list, the X server) sees it.
struct Window {
    QString title;
    QRect rect;           // in the compositor's layout, outside any decoration
    bool focused = false; // holds the keyboard focus
    bool x11 = false;     // an XWayland client
};

class Compositor {
public:
    explicit Compositor(Kind kind, QSize size = QSize(1280, 800));
    ~Compositor();
    Compositor(const Compositor&) = delete;
    Compositor& operator=(const Compositor&) = delete;

    QString name() const { return NameOf(kind_); }
    bool ok() const { return error_.isEmpty(); }
    const QString& error() const { return error_; }

    // A program's environment in this session; QT_QPA_PLATFORM is left for the program to choose.
    QProcessEnvironment environment() const;
    QString busAddress() const { return bus_.address(); }

    // Runs a tool in the session; its stdout, or nullopt when it failed or did not finish.
    std::optional<QString> run(const QString& program, const QStringList& args, int timeoutMs = 10000) const;
    // Starts a program that lives as long as the session (a native terminal, a portal).
    bool launch(const QString& program, const QStringList& args, const QProcessEnvironment& extra = {});

    // The whole output as the compositor shows it; a null image (with why) where it cannot be had.
    QImage screenshot(const QString& saveAs = {}, QString* why = nullptr) const;
    // The windows the compositor manages, plus the X11 windows it leaves unmanaged.
    std::vector<Window> windows() const;
    std::optional<Window> window(const QString& title) const; // a null title: the focused window
    std::optional<Window> focusedWindow() const { return window({}); }
    // Gives this window the focus as the user would, from the compositor's side; false where it cannot.
    bool activate(const QString& title) const;

    // The pointer through sway's own seat; elsewhere through XTEST, which reaches X11 windows only.
    void pointerTo(const QPoint& p) const;
    void button(int button, bool down) const;

    QString log() const; // the compositor's own output so far

private:
    bool start();
    bool spawn(const QProcessEnvironment& env, const QString& program, const QStringList& args);
    std::vector<Window> swayWindows() const;
    std::vector<Window> kwinWindows() const;
    QStringList kwinScript(const QString& body) const; // runs it; the lines it printed
    std::vector<Window> x11Windows(bool onlyUnmanaged) const;
    QImage kwinScreenshot(QString* why) const;
    QImage mutterScreenshot(QString* why) const;

    Kind kind_;
    QSize size_;
    QString error_;
    QTemporaryDir dir_;
    QString runtime_, clientRuntime_, home_;
    QString display_, xauthority_, wayland_, swaysock_;
    testsupport::SessionBus bus_;
    mutable QProcess compositor_;
    QProcess pointerDevice_;
    std::vector<std::unique_ptr<QProcess>> launched_;
    mutable QString log_;
    mutable int scripts_ = 0;
};

} // namespace wayland
