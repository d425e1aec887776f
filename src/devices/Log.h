// The diagnostics category of the devices area: QT_LOGGING_RULES="varrow.devices.debug=true" shows them.
#pragma once
#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcDevices)
