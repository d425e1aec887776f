// The diagnostics category of speech: QT_LOGGING_RULES="varrow.speech.debug=true" shows them.
#pragma once
#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcSpeech)
