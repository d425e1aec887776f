// The diagnostics category of the character area: QT_LOGGING_RULES="varrow.character.debug=true" shows them.
#pragma once
#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcCharacter)
