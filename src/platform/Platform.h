#pragma once
#include "Clipboard.h"
#include "Clock.h"
#include "MessageBox.h"
#include "ScreenMetrics.h"
#include "SettingsStore.h"
#include "Shell.h"
#include "VersionInfo.h"

#include <memory>

namespace platform {

// The services a form may use, made once in main() (or by a test) and handed down.
struct Platform {
    SettingsStore& settings;
    Clipboard& clipboard;
    MessageBox& messageBox;
    Shell& shell;
    Clock& clock;
    ScreenMetrics& screen;
    VersionInfo version;
};

// The Qt-backed services of a real run.
class QtPlatform {
public:
    QtPlatform();
    Platform& platform() { return platform_; }

private:
    IniSettingsStore settings_;
    QtClipboard clipboard_;
    QtMessageBox messageBox_;
    QtShell shell_;
    SystemClock clock_;
    QtScreenMetrics screen_;
    Platform platform_;
};

// Reports a problem to the user on stderr, once per distinct text, prefixed with the program name.
void ReportProblem(const QString& message);

} // namespace platform
