// The ways a voice phrase can be said, in dictionary words: numbers spelled out, capitals lettered.
#pragma once
#include <QString>
#include <QStringList>
#include <vector>

namespace voice {

// "7" -> "seven", "59" -> "fifty nine"; numbers beyond 9999 are read digit by digit.
QString NumberWords(qint64 n);

// The ways a voice phrase can be said, each as lower-case dictionary words: numbers become words,
// short all-capital tokens are spelled ("AM" -> "a. m."), "Okay" may also be "ok".
std::vector<QStringList> SpokenForms(const QString& phrase);

} // namespace voice
