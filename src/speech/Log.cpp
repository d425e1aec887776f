// The diagnostics category of speech: QT_LOGGING_RULES="varrow.speech.debug=true" shows them.
#include "Log.h"

Q_LOGGING_CATEGORY(lcSpeech, "varrow.speech", QtWarningMsg)
