#include "Log.h"

Q_LOGGING_CATEGORY(lcCharacter, "varrow.character", QtWarningMsg)
