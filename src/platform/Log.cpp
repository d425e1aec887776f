#include "Log.h"

Q_LOGGING_CATEGORY(lcPlatform, "varrow.platform", QtWarningMsg)
