// The one figure of a character on the desktop, and what its connections share.
// Where it stands, whether it shows, and the requests it carries out for them.
#pragma once
#include "AnimationPlayer.h"
#include "CharacterFile.h"
#include "CharacterWindow.h"
#include "ConnectionRegistry.h"
#include "RequestScheduler.h"
#include "SpeechPresenter.h"

#include <QObject>
#include <QTimer>
#include <memory>
#include <optional>

class QMenu;

namespace platform {
class UserReport;
}

namespace speech {
class SpeechEngine;
}
namespace character {

class Character;

struct StageOptions {
    int idleDelayMs = 6000;       // queue empty this long: the character is idling
    int idleMoveEveryMs = 14000;  // while idling, a small idle move this often
    int balloonLingerMs = 1600;   // the balloon stays this long after the last word
    int tweenStepMs = 40;
    double timeScale = 1.0;       // animations run this much slower (tests run them faster)
    platform::UserReport* report = nullptr; // where the user hears of a broken character file
};

class CharacterStage : public QObject {
    Q_OBJECT
public:
    CharacterStage(QString id, std::shared_ptr<const CharacterData> data, speech::SpeechEngine& speech, StageOptions options);
    ~CharacterStage() override;

    // A new connection to this figure; the stage lives as long as any connection does.
    static Character* connect(const std::shared_ptr<CharacterStage>& stage);

    const QString& id() const { return id_; }
    const CharacterData& data() const { return *data_; }
    QPoint position() const { return position_; }
    QSize size() const { return data_->size; }

    Character* inEffect() const { return registry_.inEffect(); }
    // Whether any connection has asked for the figure to be shown (it may still be on its way).
    bool shown() const { return registry_.anyShown(); }
    std::vector<voice::VoicePhrase> voicePhrasesInEffect() const { return registry_.voicePhrasesInEffect(); }
    bool deliverCommand(const QString& name, const QString& heardPhrase = {});
    // Drops what a connection still has to say or play, waiting or running; its showing and hiding
    // go on, so the figure ends up as the connections last asked.
    void endRequestsOf(int connection);

    // Whether a request is being carried out, and how many wait.
    bool busy() const { return scheduler_.running().has_value(); }
    size_t queued() const { return scheduler_.queued(); }
    CharacterWindow* window() const { return window_.get(); }

    // The user is talking: the character falls silent and what is queued waits.
    void setListening(bool listening);
    void showCue(const QString& cue);

    // Pops up the menu of the connection in effect at a screen position (the window's right click).
    void popupMenu(const QPoint& globalPos);

signals:
    void requestStarted(const character::Request& request);
    void requestFinished(const character::Request& request);
    void commandsInEffectChanged();
    void listenRequested(bool pressed);
    void menuAboutToShow(QMenu* menu); // voice input adds its own entry here

private:
    void wireScheduler();
    void wireWindow();
    friend class Character;
    void attach(Character* c);
    void detach(Character* c);
    void request(Request r);
    void stopAll(int owner, unsigned kinds);
    void stopWaiting(int owner, unsigned kinds) { scheduler_.dropWaiting(owner, kinds); }
    void setShown(Character* c, bool shown, bool fast);
    void moveTo(QPoint p, int cause, int mover);
    int moveCauseFor(int connection) const;
    static int causeSeenBy(int cause, int mover, int connection);
    void commandsChanged(const Character* c);

    void execute(const Request& r);
    void show(const Request& r);
    void hide(const Request& r);
    void play(const Request& r);
    void setOnScreen(bool onScreen);
    void cutRunning();
    void stopSpeaking();
    void idleMove();
    void keepOnScreen();
    template <typename F> void toEveryConnection(F f);

    QString id_;
    std::shared_ptr<const CharacterData> data_;
    StageOptions options_;
    std::unique_ptr<CharacterWindow> window_;
    AnimationPlayer player_;
    SpeechPresenter presenter_;
    RequestScheduler scheduler_;
    ConnectionRegistry registry_;
    int nextConnection_ = 1;

    QPoint position_;
    int lastCause_ = 0; // NeverMoved
    int lastMover_ = 0;
    std::optional<int> reporting_; // the cause of the move whose Move event is being delivered
    bool onScreen_ = false;
    bool wantOnScreen_ = false;
    bool checkedOnScreen_ = false;
    bool listening_ = false;
    bool urgent_ = false; // inside Character::Urgently
    bool idleMoving_ = false; // the animation playing is an idle move, not a request
    QTimer idleMoveTimer_;
};

} // namespace character
