// The grammar the recogniser listens with: the phrases as said, a loop of phones, and common words.
#pragma once
#include "VoicePhrase.h"

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

// Frequent English words, to compete with the phrases for speech that is none of them.
const QStringList& CommonWords();

// `known` tells whether the recogniser can pronounce a word. `garbageWeight` <= 0 leaves the loop out.
// Each of `competitors` other than the phrases' own words may be heard alone in place of a phrase;
// it is no command.
CommandGrammar BuildGrammar(const std::vector<voice::VoicePhrase>& phrases,
                            const std::function<bool(const QString&)>& known, double garbageWeight,
                            const QStringList& competitors = {});

} // namespace voice
