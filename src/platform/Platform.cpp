#include "Platform.h"

#include <QSet>
#include <cstdio>

namespace platform {

QtPlatform::QtPlatform(std::unique_ptr<Clock> clock)
    : settings_({}, ReportProblem), clock_(clock ? std::move(clock) : std::make_unique<SystemClock>()),
      platform_{settings_, clipboard_, messageBox_, shell_, *clock_, screen_, VersionInfo::program()}
{
}

void ReportProblem(const QString& message)
{
    static QSet<QString> said;
    if (said.contains(message))
        return;
    said.insert(message);
    std::fprintf(stderr, "Varrow: %s\n", message.toLocal8Bit().constData());
    std::fflush(stderr);
}

} // namespace platform
