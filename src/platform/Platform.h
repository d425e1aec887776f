// The platform services a form may use, made once in main() and handed down.
#pragma once
#include "Clipboard.h"
#include "Clock.h"
#include "DesktopNotifications.h"
#include "MessageBox.h"
#include "ScreenMetrics.h"
#include "SettingsStore.h"
#include "Shell.h"
#include "UserReport.h"
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
    UserReport& report; // problems the user must hear of
    Notifier& notifier; // news for the user on the desktop (the alarm)
    VersionInfo version;
};

// The Qt-backed services of a real run.
class QtPlatform {
public:
    // `clock` replaces the system clock (the soak run's fast clock); null keeps the system clock.
    explicit QtPlatform(std::unique_ptr<Clock> clock = nullptr);
    Platform& platform() { return platform_; }

private:
    DesktopNotifications notifications_;
    UserReport report_;
    IniSettingsStore settings_;
    QtClipboard clipboard_;
    QtMessageBox messageBox_;
    QtShell shell_;
    std::unique_ptr<Clock> clock_;
    QtScreenMetrics screen_;
    Platform platform_;
};

} // namespace platform
