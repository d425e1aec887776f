// A dialog's own connection to the character, standing in for the form that opened the dialog.
// It holds from the dialog's load until it unloads.
#pragma once
#include "Commands.h"

#include <QString>
#include <span>

namespace character {

class Agent;
class Character;

class BorrowedCharacter {
public:
    // Loads the character through the dialog's `agent`, adds `commands` in table order, then hides
    // the `lender`'s character and shows the dialog's own, both at once. `who` names the dialog in
    // the message the user gets when the character cannot be loaded.
    BorrowedCharacter(Agent& agent, Character* lender, std::span<const CommandEntry> commands, const QString& who);
    ~BorrowedCharacter();
    BorrowedCharacter(const BorrowedCharacter&) = delete;
    BorrowedCharacter& operator=(const BorrowedCharacter&) = delete;

    // The dialog's own character object; null when it could not be loaded.
    Character* get() const { return own_; }
    // Loaded, and not handed back yet.
    bool holding() const { return !handedBack_; }

    // Another window of the program came to the front: the lender's character shows again, while
    // the dialog keeps its connection and what it has queued.
    void lendBack();
    // The dialog is in front again: its own character shows in place of the lender's.
    void takeAgain();
    // The dialog unloads: what it still had to say or play is dropped, its character hides and the
    // lender's shows, both at once. Later calls do nothing.
    void handBack();

private:
    Character* own_ = nullptr;
    Character* lender_ = nullptr;
    bool handedBack_ = false;
};

} // namespace character
