#pragma once
#include "platform/TimeText.h"

#include <QString>

namespace character {

class Character;

// What the main form shares with the dialogs it opens: its character, the alarm and the product name.
struct MainState {
    Character* agentA = nullptr;
    bool alarmStatus = false;
    platform::TimeOfDay alarmTime; // midnight until the alarm dialog stores a time
    QString myProductName;
};

} // namespace character
