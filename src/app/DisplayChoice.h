#pragma once
// Which Qt platform the program starts on, chosen before the application object exists.
#include <QByteArray>
#include <QString>
#include <functional>

struct DisplayChoice {
    QByteArray platform; // for QT_QPA_PLATFORM; empty: leave it as it is
    QString notice;      // what the user is told once the program runs
};

// XWayland where a Wayland session has it, since only an X11 window can stand where we put it;
// the Wayland platform where it is all there is and its plugin is installed. `env` reads the
// environment, `waylandPlugin` says whether Qt's Wayland platform plugin is installed.
DisplayChoice ChooseDisplay(const std::function<QByteArray(const char*)>& env, bool waylandPlugin);

// ChooseDisplay for this process, and its choice put into the environment for Qt to read.
DisplayChoice ApplyDisplayChoice();
