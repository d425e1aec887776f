// A dialog with its own connection to the character, borrowed from the form that opened it while it is loaded.
#include "CharacterDialog.h"

namespace character {

CharacterDialog::CharacterDialog(CharacterServer& server, desktop::FormActivation& activation, Character* lender,
                                 Qt::WindowFlags flags)
    : QDialog(nullptr, flags), lender_(lender), Agent(server)
{
    activation.track(*this, *this);
}

CharacterDialog::~CharacterDialog()
{
    Form_Unload();
}

void CharacterDialog::borrowCharacter(std::span<const CommandEntry> commands, const QString& who)
{
    borrowed_.emplace(Agent, lender_, commands, who);
    agentA = borrowed_->get();
    if (agentA)
        connect(agentA, &Character::Command, this, &CharacterDialog::Agent_Command);
}

void CharacterDialog::Form_Unload()
{
    if (borrowed_)
        borrowed_->handBack();
}

void CharacterDialog::done(int r)
{
    Form_Unload();
    QDialog::done(r);
}

} // namespace character
