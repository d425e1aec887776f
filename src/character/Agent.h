// The control each form carries to reach the character server, and its character collection.
#pragma once
#include "Character.h"
#include "platform/Result.h"

#include <map>
#include <memory>

namespace character {

class CharacterServer;

// The character collection of one Agent control.
class Characters {
public:
    explicit Characters(CharacterServer& server) : server_(server) {}

    // Connects this control to character `id` from `file`; a character already on the desktop is
    // shared, not loaded twice.
    platform::Result<> Load(const QString& id, const QString& file);
    Character* Item(const QString& id) const;
    // For a dialog: the connection, or null after telling the user once that `who` has no character.
    Character* LoadOrReport(const QString& id, const QString& file, const QString& who);

private:
    CharacterServer& server_;
    std::map<QString, std::unique_ptr<Character>> items_;
};

// Its connections end with it.
class Agent {
public:
    explicit Agent(CharacterServer& server) : characters_(server) {}
    class Characters& Characters() { return characters_; }

private:
    class Characters characters_;
};

} // namespace character
