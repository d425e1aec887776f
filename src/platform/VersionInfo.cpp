// The program's version resource: its product name and version, from the build.
#include "VersionInfo.h"

namespace platform {

VersionInfo VersionInfo::program()
{
    return VersionInfo{QStringLiteral("Varrow"), QStringLiteral(VARROW_VERSION)};
}

} // namespace platform
