// Tells the user of a problem they should know about: once per problem, on stderr and on the desktop.
#pragma once
#include <QObject>
#include <QSet>
#include <QString>
#include <cstdio>

namespace platform {

class Notifier;

class UserReport : public QObject {
    Q_OBJECT
public:
    // `notifier` may be null (stderr alone); `stream` is where the terminal line goes, if anywhere.
    explicit UserReport(Notifier* notifier, std::FILE* stream = stderr);

    // `summary` is a few words for the notification's title, `text` the whole story: what happened,
    // where, and what Varrow does instead. The same text again is not repeated.
    void problem(const QString& summary, const QString& text);

signals:
    void reported(const QString& summary, const QString& text);

private:
    Notifier* notifier_;
    std::FILE* stream_;
    QSet<QString> said_;
};

} // namespace platform
