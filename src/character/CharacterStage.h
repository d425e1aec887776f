#pragma once
#include "CharacterFile.h"
#include "Renderer.h"
#include "RequestQueue.h"
#include "SpeechMarkup.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <memory>
#include <vector>


class QMenu;

namespace platform {
class UserReport;
}

namespace character {
class Balloon;
class Character;
class CharacterWindow;
class SpeechEngine;
struct UserInput;

struct StageOptions {
    int idleDelayMs = 6000;       // queue empty this long: the character is idling
    int idleMoveEveryMs = 14000;  // while idling, a small idle move this often
    int balloonLingerMs = 1600;   // the balloon stays this long after the last word
    int tweenStepMs = 40;
    double timeScale = 1.0;       // animations run this much slower (tests run them faster)
    platform::UserReport* report = nullptr; // where the user hears of a broken character file
};

// A voice phrase of the commands in effect, for the recogniser.
struct VoicePhrase {
    QString command;
    QString phrase;
};

// The one figure of a character on the desktop and everything its connections share: position,
// window, balloon, request queue, and which connection's commands are in effect.
class CharacterStage : public QObject, public std::enable_shared_from_this<CharacterStage> {
    Q_OBJECT
public:
    CharacterStage(QString id, std::shared_ptr<const CharacterData> data, SpeechEngine& speech, StageOptions options);
    ~CharacterStage() override;

    static Character* connect(const std::shared_ptr<CharacterStage>& stage);

    const QString& id() const { return id_; }
    const CharacterData& data() const { return *data_; }
    QPoint position() const { return position_; }
    QSize size() const { return data_->size; }

    // The connection whose commands the menu and the voice phrases offer: the one shown last.
    Character* inEffect() const;
    std::vector<VoicePhrase> voicePhrasesInEffect() const;
    // Raises Command on the connection in effect, as a pick from the menu or a phrase heard would.
    bool deliverCommand(const QString& name, const QString& heardPhrase = {});

    // What the user sees and hears now, for tests and the end-to-end checks.
    bool figureOnScreen() const { return onScreen_; }
    bool busy() const { return running_.has_value(); }
    bool idle() const { return idle_; }
    QString currentAnimation() const { return animation_ ? animation_->name : QString(); }
    QString balloonText() const;
    size_t queued() const { return queue_.size(); }
    CharacterWindow* window() const { return window_.get(); }
    Balloon* balloon() const { return balloon_.get(); }

    // The voice input's cues.
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
    friend class Character;
    void attach(Character* c);
    void detach(Character* c);
    void request(Request r);
    void stopAll(int owner, unsigned kinds);
    void setShown(Character* c, bool shown, bool fast);
    void moveTo(QPoint p, int cause, int mover);
    int moveCauseFor(int connection) const;
    void commandsChanged(Character* c);

    void schedule();
    void runQueue();
    void execute(const Request& r);
    void finishRunning();
    void cutSpeech(); // the speech running now ends here, and its request with it
    void playAnimation(const Animation* a, bool asRequest);
    void enterFrame();
    void stopAnimation();
    void speakNow(const Request& r, std::shared_ptr<const SpeechText> text);
    void applyVisibility();
    int scaled(int ms) const { return int(ms * options_.timeScale); }
    void render();
    void goIdle();
    void idleMove();
    void leaveIdle();
    void keepOnScreen();
    template <typename F> void toEveryConnection(F f);

    QString id_;
    std::shared_ptr<const CharacterData> data_;
    Renderer renderer_;
    SpeechEngine& speech_;
    StageOptions options_;
    std::unique_ptr<CharacterWindow> window_;
    std::unique_ptr<Balloon> balloon_;

    std::vector<Character*> connections_;
    std::vector<int> shownOrder_; // connections, most recently shown last
    int nextConnection_ = 1;

    QPoint position_;
    int lastCause_ = 0; // NeverMoved
    int lastMover_ = 0;

    RequestQueue queue_;
    std::optional<Request> running_;
    bool runScheduled_ = false;
    bool onScreen_ = false;
    bool wantOnScreen_ = false;
    bool checkedOnScreen_ = false;

    const Animation* animation_ = nullptr;
    bool animationIsRequest_ = false;
    size_t frame_ = 0;
    Pose pose_, tweenFrom_;
    QElapsedTimer frameClock_;
    QTimer frameTimer_;
    std::function<void()> animationDone_;

    std::shared_ptr<const SpeechText> speaking_;
    int shownEnd_ = 0;
    bool mouthOpen_ = false;
    bool listening_ = false;
    QTimer mouthTimer_;
    int speechGeneration_ = 0;

    bool idle_ = false;
    QTimer idleTimer_, idleMoveTimer_;
};

} // namespace character
