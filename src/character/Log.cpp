// The diagnostics category of the character area: QT_LOGGING_RULES="varrow.character.debug=true" shows them.
#include "Log.h"

Q_LOGGING_CATEGORY(lcCharacter, "varrow.character", QtWarningMsg)
