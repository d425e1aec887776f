// One form's connection to a character, and what the Command event carries.
#pragma once
#include "Commands.h"

#include <QObject>
#include <QString>
#include <functional>
#include <memory>

namespace character {

class CharacterStage;

// What the Command event carries: the chosen command's name, and how it was chosen.
struct UserInput {
    QString Name;
    QString CharacterID;
    QString Voice;        // the phrase heard; empty when picked from the menu
    bool byVoice = false;
};

// MoveCause values: why the character last moved, as seen by this connection.
enum MoveCause : int { NeverMoved = 0, UserMoved = 1, ProgramMoved = 2, OtherClientMoved = 3, ServerMoved = 4 };

// One form's connection to a character: its own shown state and commands; the position and the
// figure on the screen are shared with every other connection to the same character.
class Character : public QObject {
    Q_OBJECT
public:
    ~Character() override;

    QString id() const;
    int Left() const;
    int Top() const;
    int Width() const;
    int Height() const;
    void setLeft(int left);
    void setTop(int top);
    int MoveCause() const;
    bool Visible() const { return visible_; }

    // Requests: queued, carried out in call order once the caller has returned to the event loop.
    void Show(bool fast = false);
    void Hide(bool fast = false);
    void Play(const QString& animation);
    void Speak(const QString& text);
    void GestureAt(int x, int y);
    // Drops this connection's waiting and running requests of the given kinds ("Play", "Speak", ...; empty: all).
    void StopAll(const QString& types = {});
    // Drops this connection's waiting requests of the given kinds; the one running goes on.
    void StopWaiting(const QString& types = {});
    // The requests made inside `requests` go before all that waits, and cut short the speech or
    // animation running now (which is not taken up again): for what must be heard at its moment.
    void Urgently(const std::function<void()>& requests);

    class Commands& Commands() { return commands_; }
    const class Commands& Commands() const { return commands_; }

    CharacterStage& stage() const { return *stage_; }
    int connection() const { return connection_; }

signals:
    void Command(const character::UserInput& userInput);
    void IdleStart(const QString& characterId);
    void IdleComplete(const QString& characterId);
    void Move(const QString& characterId, int x, int y, int cause);
    // The user started or stopped talking to the character.
    void ListenStart(const QString& characterId);
    void ListenComplete(const QString& characterId);

private:
    friend class CharacterStage;
    Character(std::shared_ptr<CharacterStage> stage, int connection);

    std::shared_ptr<CharacterStage> stage_;
    int connection_;
    bool visible_ = false;
    class Commands commands_;
};

} // namespace character

Q_DECLARE_METATYPE(character::UserInput)
