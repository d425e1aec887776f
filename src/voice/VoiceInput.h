// What the character service hears voice commands through.
#pragma once
#include "VoicePhrase.h"
#include "platform/Result.h"

#include <QObject>
#include <vector>

namespace voice {

// A source of recognised phrases. The server keeps it fed with the voice phrases of the commands
// in effect and turns what it hears into the Command event of the connection in effect.
class VoiceInput : public QObject {
    Q_OBJECT
public:
    // Whether it can listen now, or why not.
    virtual platform::Result<> usable() const = 0;
    virtual void setPhrases(const std::vector<VoicePhrase>& phrases) = 0;
    virtual void startListening() = 0;
    virtual void stopListening() = 0; // the utterance has ended; the result follows as `heard` or `notUnderstood`
    // A key or button held down to talk, and let go.
    void hold(bool held)
    {
        if (held)
            startListening();
        else
            stopListening();
    }
    // Listens until the user has said something and stopped, for when there is no key to let go of.
    virtual void listenForPhrase() = 0;

signals:
    void heard(const QString& command, const QString& phrase);
    void notUnderstood();
    void listeningChanged(bool listening);
    void turnedOff(const QString& why); // found out after starting that it cannot work
    void refused(const QString& why);   // asked to listen while it still cannot
};

} // namespace voice
