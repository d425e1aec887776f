// A phrase the recogniser listens for, and the command it stands for.
#pragma once
#include <QString>

namespace voice {

struct VoicePhrase {
    QString command;
    QString phrase;
};

} // namespace voice
