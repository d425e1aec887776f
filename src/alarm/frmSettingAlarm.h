// The alarm dialog: sets the time of day the main form's clock fires at, and arms or disarms it.
#pragma once
#include "AlarmState.h"
#include "TimeField.h"
#include "UpDown.h"
#include "character/Agent.h"
#include "character/BorrowedCharacter.h"
#include "desktop/FormActivation.h"
#include "platform/Platform.h"

#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <optional>

class frmSettingAlarm : public QDialog, public desktop::ActivatableForm {
    Q_OBJECT
public:
    // `mainAgentA` is the main form's character, shown whenever the dialog is not in front.
    frmSettingAlarm(platform::Platform& platform, character::CharacterServer& server,
                    character::Character* mainAgentA, alarms::AlarmState& alarm, QWidget* parent = nullptr);
    ~frmSettingAlarm() override;

    void Agent_Command(const character::UserInput& UserInput);
    void Form_Activate() override;
    void Form_Deactivate() override;

    character::Character* agentA = nullptr;

    QGroupBox fraAlarmTime;
    QLineEdit txtAlarmTimeHour;
    QLineEdit txtAlarmTimeMinute;
    QLineEdit txtAlarmTimeSecond;
    QLineEdit txtAlarmTimeAMPM;
    alarms::UpDownArrows UpDown;
    QLabel lblAlarmStatus;

    alarms::TimeFields& timeFields() { return timeFields_; }

private:
    void Form_Load();
    void SetAlarmOn();
    void SetAlarmOff();
    void StoreAlarmTime();
    void done(int r) override;

    platform::Platform& platform_;
    character::Character* mainAgentA_;
    alarms::AlarmState& main_;
    character::Agent Agent;
    std::optional<character::BorrowedCharacter> borrowed_;
    alarms::TimeFields timeFields_;
    bool closed_ = false;
};
