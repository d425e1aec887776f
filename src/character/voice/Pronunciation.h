#pragma once
#include <QString>

namespace voice {

// espeak-ng's phoneme mnemonics (as from espeak_TextToPhonemes) as CMU phones: "h@l'oU" -> "HH AH L OW".
QString EspeakToCmu(const QString& espeakPhonemes);

// A pronunciation for a word the dictionary lacks, derived through espeak-ng; empty when espeak is
// not running in this process or gives nothing usable.
QString DerivePronunciation(const QString& word);

} // namespace voice
