// The platform services a form may use, made once in main() and handed down.
#include "Platform.h"

namespace platform {

QtPlatform::QtPlatform(std::unique_ptr<Clock> clock)
    : notifications_(DesktopNotifications::installedIcon()), report_(&notifications_),
      settings_({}, report_),
      clock_(clock ? std::move(clock) : std::make_unique<SystemClock>()),
      platform_{settings_, clipboard_, messageBox_, shell_, *clock_, screen_, report_, notifications_,
                VersionInfo::program()}
{
}

} // namespace platform
