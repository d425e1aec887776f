// Sentences a user reads to teach the recogniser their voice.
#pragma once
#include <QStringList>

namespace voice {

// Our own sentences, every sound of English among them, none holding a command's phrase or a number,
// so that what the model learns from them is the voice and the room, not the commands' words.
const QStringList& TrainingSentences();

} // namespace voice
