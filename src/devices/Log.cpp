// The diagnostics category of the devices area: QT_LOGGING_RULES="varrow.devices.debug=true" shows them.
#include "Log.h"

Q_LOGGING_CATEGORY(lcDevices, "varrow.devices", QtWarningMsg)
