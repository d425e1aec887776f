// The calendar dialog: a month calendar opened at today, stepped by voice a day, a month or a year.
// Voice steps it while the dialog's own connection to the character is the one in effect.
#pragma once
#include "CalendarView.h"
#include "character/CharacterDialog.h"
#include "platform/Platform.h"

class frmCalendar : public character::CharacterDialog {
    Q_OBJECT
public:
    // `mainAgentA` is the main form's character, hidden while the dialog is open.
    frmCalendar(platform::Platform& platform, character::CharacterServer& server, desktop::FormActivation& activation, character::Character* mainAgentA);

    void Form_Activate() override;
    void Agent_Command(const character::UserInput& UserInput) override;

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    void Form_Load();

    platform::Platform& platform_;
    CalendarView MonthView;
};
