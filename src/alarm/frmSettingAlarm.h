// The alarm dialog: sets the time of day the main form's clock fires at, and arms or disarms it.
#pragma once
#include "AlarmState.h"
#include "TimeField.h"
#include "UpDown.h"
#include "character/CharacterDialog.h"
#include "platform/Platform.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

class frmSettingAlarm : public character::CharacterDialog {
    Q_OBJECT
public:
    // `mainAgentA` is the main form's character, shown whenever the dialog is not in front.
    frmSettingAlarm(platform::Platform& platform, character::CharacterServer& server, desktop::FormActivation& activation,
                    character::Character* mainAgentA, alarms::AlarmState& alarm);

    void Agent_Command(const character::UserInput& UserInput) override;
    void Form_Activate() override;
    void Form_Deactivate() override;

private:
    void Form_Load();
    // Arms or disarms at once: the label, the flag, and which of "Alarm On" and "Alarm Off" is offered.
    void setArmed(bool armed);
    void StoreAlarmTime();
    void done(int r) override;

    QGroupBox fraAlarmTime;
    QLineEdit txtAlarmTimeHour;
    QLineEdit txtAlarmTimeMinute;
    QLineEdit txtAlarmTimeSecond;
    QLineEdit txtAlarmTimeAMPM;
    alarms::UpDownArrows UpDown;
    QLabel lblAlarmStatus;

    platform::Platform& platform_;
    alarms::AlarmState& main_;
    alarms::TimeFields timeFields_;
};
