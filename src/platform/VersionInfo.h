// The program's version resource: its product name and version, from the build.
#pragma once
#include <QString>

namespace platform {

struct VersionInfo {
    QString ProductName;
    QString Version;

    static VersionInfo program();
};

} // namespace platform
