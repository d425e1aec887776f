// The diagnostics category of the platform area: QT_LOGGING_RULES="varrow.platform.debug=true" shows them.
#pragma once
#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcPlatform)
