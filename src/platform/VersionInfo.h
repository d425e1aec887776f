#pragma once
#include <QString>

namespace platform {

// The program's version resource: what the forms read as ProductName, CompanyName and Comments.
struct VersionInfo {
    QString ProductName;
    QString CompanyName;
    QString Comments;
    QString SupportEmail;
    QString Version;

    static VersionInfo program();
};

} // namespace platform
