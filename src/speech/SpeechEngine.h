// What speaks a text for the character: one text at a time, telling which word is being heard.
// The balloon keeps step with those words.
#pragma once
#include "SpeechMarkup.h"

#include <QObject>
#include <memory>

namespace speech {

class SpeechEngine : public QObject {
    Q_OBJECT
public:
    virtual void speak(std::shared_ptr<const SpeechText> text) = 0;
    virtual void stop() = 0; // no `finished` follows a stop
    // Gets ready now, without holding up the caller, so that the first text is heard at once.
    virtual void prepare() {}

signals:
    void unitReached(int unit);
    void finished();
    // Something the user should know: speech is shown in the balloon only, and why.
    void problem(const QString& why);
    // Something else the user should know, such as a voice other than the one they chose, and why.
    void notice(const QString& summary, const QString& why);
};

} // namespace speech
