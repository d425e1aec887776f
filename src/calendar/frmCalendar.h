// The calendar dialog: a month calendar opened at today, stepped by voice a day, a month or a year.
// Voice steps it while the dialog's own connection to the character is the one in effect.
#pragma once
#include "CalendarView.h"
#include "character/Agent.h"
#include "character/BorrowedCharacter.h"
#include "desktop/FormActivation.h"
#include "platform/Platform.h"

#include <QDialog>
#include <optional>

class frmCalendar : public QDialog, public desktop::ActivatableForm {
    Q_OBJECT
public:
    // `mainAgentA` is the main form's character, hidden while the dialog is open.
    frmCalendar(platform::Platform& platform, character::CharacterServer& server, character::Character* mainAgentA,
                QWidget* parent = nullptr);
    ~frmCalendar() override;

    void Form_Activate() override;
    void Agent_Command(const character::UserInput& UserInput);

    character::Character* agentA = nullptr;
    CalendarView& calendar() { return MonthView; }

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    void Form_Load();
    void Form_Unload();
    void done(int r) override;

    platform::Platform& platform_;
    character::Character* mainAgentA_;
    character::Agent Agent;
    std::optional<character::BorrowedCharacter> borrowed_;
    CalendarView MonthView;
    bool loaded_ = false;
};
