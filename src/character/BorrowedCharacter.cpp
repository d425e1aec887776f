// A dialog's own connection to the character, standing in for the form that opened the dialog.
#include "BorrowedCharacter.h"

#include "Agent.h"
#include "CharacterStage.h"

namespace character {

namespace {
const QString CharacterId = QStringLiteral("Genie");
const QString CharacterFile = QStringLiteral("Genie.acs");
} // namespace

BorrowedCharacter::BorrowedCharacter(Agent& agent, Character* lender, std::span<const CommandEntry> commands,
                                     const QString& who)
    : own_(agent.Characters().LoadOrReport(CharacterId, CharacterFile, who)), lender_(lender)
{
    if (!own_) {
        handedBack_ = true; // the lender's character was never taken
        return;
    }
    own_->Commands().AddAll(commands);
    if (lender_)
        lender_->Hide(true);
    own_->Show(true);
}

BorrowedCharacter::~BorrowedCharacter()
{
    handBack();
}

void BorrowedCharacter::lendBack()
{
    if (handedBack_)
        return;
    if (lender_ && !lender_->Visible())
        lender_->Show(true);
    if (own_->Visible())
        own_->Hide(true);
}

void BorrowedCharacter::takeAgain()
{
    if (handedBack_ || own_->Visible())
        return;
    if (lender_)
        lender_->Hide(true);
    own_->Show(true);
}

void BorrowedCharacter::handBack()
{
    if (handedBack_)
        return;
    handedBack_ = true;
    own_->stage().endRequestsOf(own_->connection());
    if (own_->Visible())
        own_->Hide(true);
    if (lender_ && !lender_->Visible())
        lender_->Show(true);
}

} // namespace character
