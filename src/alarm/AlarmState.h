// The alarm the main form's clock fires: whether it is armed and at what time of day.
// The alarm dialog is its only writer; the form that owns it keeps it for the whole run.
#pragma once
#include "platform/TimeText.h"

namespace alarms {

struct AlarmState {
    bool alarmStatus = false;
    platform::TimeOfDay alarmTime; // midnight until the alarm dialog stores a time
};

} // namespace alarms
