// A dialog with its own connection to the character, borrowed from the form that opened it while it is loaded.
#pragma once
#include "Agent.h"
#include "BorrowedCharacter.h"
#include "desktop/FormActivation.h"

#include <QDialog>
#include <optional>
#include <span>

namespace character {

// Every way of closing (a command, Escape, the close box, destruction) hands the character back once.
class CharacterDialog : public QDialog, public desktop::ActivatableForm {
    Q_OBJECT
public:
    ~CharacterDialog() override;

protected:
    // `lender` is the opening form's character: hidden while the dialog holds its own. `activation`
    // tells the dialog when it comes to the front and leaves it.
    CharacterDialog(CharacterServer& server, desktop::FormActivation& activation, Character* lender,
                    Qt::WindowFlags flags);

    // The first step of loading: loads the character, adds `commands` in table order, hides the
    // lender's character and shows this one. `who` names the dialog if the character cannot be loaded.
    void borrowCharacter(std::span<const CommandEntry> commands, const QString& who);
    virtual void Agent_Command(const UserInput& UserInput) = 0;
    // The dialog is loaded and holds the character: its handlers act only then.
    bool holding() const { return borrowed_ && borrowed_->holding(); }
    BorrowedCharacter& borrowed() { return *borrowed_; }
    void Form_Unload();
    void done(int r) override;

    Character* agentA = nullptr;

private:
    Character* lender_;
    character::Agent Agent;
    std::optional<BorrowedCharacter> borrowed_;
};

} // namespace character
