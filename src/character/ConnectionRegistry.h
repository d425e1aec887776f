// The connections to one figure: which of them are shown, and whose commands are in effect.
#pragma once
#include "voice/VoicePhrase.h"

#include <QString>
#include <vector>

class QMenu;

namespace character {

class Character;

// The commands in effect are those of the connection shown last, so that the user, who sees one
// figure, always talks to the form that showed it.
class ConnectionRegistry {
public:
    void attach(Character* c);
    void detach(Character* c);
    // `c` was just shown: its commands take effect.
    void shownLast(const Character* c);
    bool anyShown() const;
    const std::vector<Character*>& all() const { return connections_; }

    Character* inEffect() const;
    std::vector<voice::VoicePhrase> voicePhrasesInEffect() const;
    // Raises Command on the connection in effect, as a pick from the menu or a phrase heard would;
    // false when it offers no such enabled command.
    bool deliverCommand(const QString& characterId, const QString& name, const QString& heardPhrase) const;
    // The listed commands in effect as entries of `menu`; a pick goes to the connection whose menu it
    // was, if it still offers the command then.
    void fillMenu(QMenu& menu, const QString& characterId) const;

private:
    Character* byConnection(int connection) const;

    std::vector<Character*> connections_;
    std::vector<int> shownOrder_; // connections, most recently shown last
};

} // namespace character
