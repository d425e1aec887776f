#pragma once
#include <QString>

// Writes one line per thing the user sees happen: a character request starting and finishing, a
// window shown or hidden, the balloon's text. The end-to-end runs wait on these lines instead of
// sleeping. Returns false (and says why) when the file cannot be written.
bool StartTrace(const QString& path, QString* error);
void TraceLine(const QString& line);

namespace character {
class VoiceInput;
}
// Listening, and what was heard.
void TraceVoice(character::VoiceInput* voice);

namespace platform {
class UserReport;
}
// Each problem told to the user.
void TraceProblems(platform::UserReport& report);
