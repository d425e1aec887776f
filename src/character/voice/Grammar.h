#pragma once
#include "character/CharacterStage.h"

#include <QByteArray>
#include <QHash>
#include <QStringList>
#include <functional>
#include <vector>

namespace voice {

struct Heard {
    QString command;
    QString phrase;
};

// The grammar the recogniser listens with: one alternative per way of saying each phrase, plus an
// optional loop of single phones that soaks up speech matching none of them.
struct CommandGrammar {
    QByteArray jsgf;
    QHash<QString, Heard> byWords; // "next month" -> nextMonth
    QStringList words;             // every dictionary word the grammar uses
    QStringList unsayable;         // phrases left out: a word of theirs has no pronunciation
    bool empty() const { return byWords.isEmpty(); }
    // The command a recognised word sequence stands for; empty when it is none (or garbage).
    Heard lookup(const QString& hypothesis) const;
};

// The words the garbage loop is made of, one per phone.
const QStringList& GarbageWords();
bool IsGarbageWord(const QString& word);

// `known` tells whether the recogniser can pronounce a word. `garbageWeight` <= 0 leaves the loop out.
CommandGrammar BuildGrammar(const std::vector<character::VoicePhrase>& phrases,
                            const std::function<bool(const QString&)>& known, double garbageWeight);

} // namespace voice
