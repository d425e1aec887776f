// The speech tags in a character's texts, split into what is spoken and what is shown.
#pragma once
#include <QString>
#include <cstdint>
#include <vector>

namespace speech {

// A text with the character's speech tags, split into what is spoken and what the balloon shows.
//   \map="spoken"="shown"\   speaks one text, shows another
//   \Ctx="E-mail"\           reads what follows as an e-mail address (\Ctx="Normal"\ ends it)
//   \Chr="monotone"\         speaks flatly (\Chr="normal"\ ends it; "whisper" speaks softly)
//   \Emp\                    stresses the next word
//   \Pau=n\                  pauses n milliseconds
//   \Rst\                    back to normal speech
// Other well-formed tags are dropped; a backslash that starts no well-formed tag is plain text.
struct SpeechText {
    enum Style : std::uint8_t { Emphasis = 1, Monotone = 2, Whisper = 4 };
    // One spoken word, or one mapped group, and how much of `shown` the balloon holds once it is heard.
    struct Unit {
        int spokenBegin = 0;
        int spokenLength = 0;
        int shownEnd = 0;
        int pauseBeforeMs = 0;
        std::uint8_t style = 0;
    };
    QString shown;
    QString spoken;
    std::vector<Unit> units;

    QString spokenUnit(const Unit& u) const { return spoken.mid(u.spokenBegin, u.spokenLength); }
};

SpeechText ParseSpeech(const QString& text);

// How an e-mail address is read out: "support@hollin.example" -> "support at hollin dot example".
QString SpokenEmail(const QString& text);

} // namespace speech
