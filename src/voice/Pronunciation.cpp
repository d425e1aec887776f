// Pronunciations from the recogniser's dictionary, and how many phone edits apart two of them are.
#include "Pronunciation.h"

#include <QFile>
#include <QSet>
#include <QStringList>
#include <algorithm>
#include <utility>
#include <vector>

namespace voice {

QHash<QString, QString> FirstPronunciations(const QString& dictionaryFile, const QStringList& words)
{
    QHash<QString, QString> found;
    QSet<QByteArray> wanted;
    for (const QString& w : words)
        wanted.insert(w.toUtf8());
    if (wanted.isEmpty())
        return found;
    QFile f(dictionaryFile);
    if (!f.open(QIODevice::ReadOnly))
        return found;
    // Read once per grammar change: holding the whole dictionary would cost the memory we save by not loading it.
    const QByteArray all = f.readAll();
    qsizetype pos = 0;
    while (pos < all.size() && found.size() < wanted.size()) {
        qsizetype eol = all.indexOf('\n', pos);
        if (eol < 0)
            eol = all.size();
        const QByteArray line = all.mid(pos, eol - pos).trimmed();
        pos = eol + 1;
        const qsizetype gap = line.indexOf(' ');
        if (gap <= 0)
            continue;
        const QByteArray word = line.left(gap);
        if (!wanted.contains(word) || found.contains(QString::fromUtf8(word)))
            continue;
        const QByteArray phones = line.mid(gap).simplified();
        if (!phones.isEmpty())
            found.insert(QString::fromUtf8(word), QString::fromLatin1(phones));
    }
    return found;
}

int PhoneDistance(const QStringList& a, const QStringList& b)
{
    std::vector<int> row(size_t(b.size()) + 1);
    for (size_t j = 0; j < row.size(); ++j)
        row[j] = int(j);
    for (qsizetype i = 1; i <= a.size(); ++i) {
        int diagonal = row[0];
        row[0] = int(i);
        for (qsizetype j = 1; j <= b.size(); ++j) {
            const int up = row[size_t(j)];
            row[size_t(j)] = std::min({up + 1, row[size_t(j - 1)] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = up;
        }
    }
    return row.back();
}

} // namespace voice
