// Which window system the program starts on, decided before Qt starts.
// A start with no desktop then ends in one plain line rather than an abort.
#pragma once
#include <QByteArray>
#include <QString>
#include <functional>

// What the choice depends on: the environment and the window-system options of the command line.
struct DisplayEnvironment {
    QByteArray platform;       // QT_QPA_PLATFORM, or the -platform option, which wins
    QByteArray display;        // DISPLAY, or the -display option, which wins
    QByteArray waylandDisplay; // WAYLAND_DISPLAY

    static DisplayEnvironment of(int argc, char** argv);
};

struct DisplayChoice {
    QByteArray platform; // what QT_QPA_PLATFORM is set to; empty: left as it is
    QString problem;     // set when there is no desktop to start on: the one line the user reads
    QString notice;      // what the user is told once the program runs

    bool usable() const { return problem.isEmpty(); }
};

// True when an X server answers on `display`.
using XServerProbe = std::function<bool(const QByteArray& display)>;
bool XServerAnswers(const QByteArray& display);
// Whether Qt's Wayland platform plugin is installed.
bool WaylandPluginInstalled();

// XWayland wherever an X server answers, since only an X11 window can stand where we put it; the
// Wayland platform where a Wayland session is all there is and its plugin is installed. A platform
// asked for by name (offscreen, for instance) is the asker's business.
DisplayChoice ChooseDisplay(const DisplayEnvironment& env, const XServerProbe& xAnswers, bool waylandPlugin);
