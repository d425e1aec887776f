#include "Log.h"

Q_LOGGING_CATEGORY(lcDevices, "varrow.devices", QtWarningMsg)
