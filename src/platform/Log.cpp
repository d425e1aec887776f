// The diagnostics category of the platform area: QT_LOGGING_RULES="varrow.platform.debug=true" shows them.
#include "Log.h"

Q_LOGGING_CATEGORY(lcPlatform, "varrow.platform", QtWarningMsg)
