#include "VersionInfo.h"

namespace platform {

VersionInfo VersionInfo::program()
{
    return VersionInfo{
        QStringLiteral("Varrow"),
        QStringLiteral("Hollin Company"),
        QStringLiteral("A complete new revolution in PC industry. Using Microsoft ActiveX Technology, we bring "
                       "you a totally voice commanded character as you desktop helper."),
        QStringLiteral("support@hollin.example"),
        QStringLiteral(VARROW_VERSION),
    };
}

} // namespace platform
