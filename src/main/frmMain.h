// The start-up form: the clock window, the host of the main character and its command menu.
#pragma once
#include "alarm/AlarmState.h"
#include "character/Agent.h"
#include "desktop/FormActivation.h"
#include "platform/InstanceLock.h"
#include "platform/Platform.h"

#include <QLabel>
#include <QTimer>
#include <QWidget>
#include <optional>

class QDialog;

namespace devices {
class MCIFunction;
}

class frmMain : public QWidget, public desktop::ActivatableForm {
    Q_OBJECT
public:
    frmMain(platform::Platform& platform, character::CharacterServer& server, desktop::FormActivation& activation,
            platform::InstanceLock& instance, devices::MCIFunction& mci);
    ~frmMain() override;

    // Start-up: false when another instance runs, and this one ends at once; a failure when the
    // character cannot be loaded. Once it is running, start() shows the clock window and starts the timer.
    platform::Result<bool> Form_Load();
    void start();

    void Agent_Command(const character::UserInput& UserInput);
    void Agent_Move(const QString& CharacterID, int X, int Y, int Cause);
    void Agent_IdleStart(const QString& CharacterID);
    void Agent_IdleComplete(const QString& CharacterID);
    void Agent_ListenStart(const QString& CharacterID);
    void Timer_Timer();
    void PerformAction(const QString& actionName);

    character::Character* agentA = nullptr;
    // Owned for the whole run: the alarm dialog writes it, the clock reads it.
    alarms::AlarmState alarm;
    QString myProductName;

signals:
    void unloaded(); // "Quit" or the clock window closed: the program ends

protected:
    void closeEvent(QCloseEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;

private:
    platform::Result<> SetupCharacter();
    void IdleHideStep();
    void ShowAfterHiding();
    void CheckAlarm(const QDateTime& shown);
    void Ring(const QDateTime& due);
    QString AlarmText() const;
    void ToggleCDDoor();
    void Unload();
    qint16 ReadSetting(const QString& key, qint16 defaultValue);

    platform::Platform& platform_;
    character::CharacterServer& server_;
    desktop::FormActivation& activation_;
    platform::InstanceLock& instance_;
    devices::MCIFunction& mci_;

    QTimer Timer;
    character::Agent Agent;
    QLabel lblTime;

    qint16 hideTime_ = 0;
    qint16 hideCountdown_ = 0;
    bool characterIdle_ = false;
    bool hiddenByIdling_ = false; // the character hid itself and nothing has shown it since
    std::optional<int> lastHourChime;    // hour * 60 + minute of the moment last announced
    std::optional<int> lastQuarterChime;
    std::optional<QDateTime> lastShown_;  // the displayed time, with its date, at the previous tick
    std::optional<QDateTime> lastAlarm_;  // the alarm's second last rung
    bool unloaded_ = false;
};
