#pragma once
#include "TimeField.h"
#include "UpDown.h"
#include "character/Agent.h"
#include "character/MainState.h"
#include "platform/FormActivation.h"
#include "platform/Platform.h"

#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

// The alarm dialog: sets the time of day the main form's clock fires at, and arms or disarms it.
class frmSettingAlarm : public QDialog, public platform::ActivatableForm {
    Q_OBJECT
public:
    frmSettingAlarm(platform::Platform& platform, character::MainState& main, QWidget* parent = nullptr);
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
    void HandBackCharacter();
    void done(int r) override;

    platform::Platform& platform_;
    character::MainState& main_;
    character::Agent Agent;
    alarms::TimeFields timeFields_;
    bool closed_ = false;
};
