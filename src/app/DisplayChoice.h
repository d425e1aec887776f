#pragma once
// Which window system the program starts on, decided before Qt starts so that no desktop is one plain line.
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

    bool usable() const { return problem.isEmpty(); }
};

// True when an X server answers on `display`.
using XServerProbe = std::function<bool(const QByteArray& display)>;
bool XServerAnswers(const QByteArray& display);

// The character needs X (or XWayland): a Wayland client may not place its own windows. Unless another
// platform is asked for by name, an X server must answer on DISPLAY.
DisplayChoice ChooseDisplay(const DisplayEnvironment& env, const XServerProbe& xAnswers);
