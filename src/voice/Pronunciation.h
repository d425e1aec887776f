// Pronunciations from the recogniser's dictionary, and how many phone edits apart two of them are.
#pragma once
#include <QHash>
#include <QString>
#include <QStringList>

namespace voice {

// The first pronunciation of each of `words` that the CMU-style dictionary file lists ("word  PH ONES",
// alternates as "word(2) ..."); words it lacks, or all when the file cannot be read, are left out.
QHash<QString, QString> FirstPronunciations(const QString& dictionaryFile, const QStringList& words);

// Phone edits (insertions, deletions, substitutions) that turn one phone string into the other.
int PhoneDistance(const QStringList& a, const QStringList& b);

} // namespace voice
