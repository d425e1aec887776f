// Says a text through the speech engine and shows it word by word in the balloon.
// The mouth moves meanwhile; the listening and "?" cues show in the same balloon.
#pragma once
#include "speech/SpeechMarkup.h"

#include <QFutureWatcher>
#include <QObject>
#include <QRect>
#include <QTimer>
#include <functional>
#include <memory>

namespace speech {
class SpeechEngine;
}
namespace character {

class AnimationPlayer;
class Balloon;

class SpeechPresenter : public QObject {
    Q_OBJECT
public:
    // `figure` is where the figure stands now, or an empty rectangle while it is off screen.
    SpeechPresenter(speech::SpeechEngine& engine, AnimationPlayer& player, std::function<QRect()> figure,
                    int balloonLingerMs, double timeScale);
    ~SpeechPresenter() override;

    // `done` runs when the whole text has been said, not when it is cut short.
    void speak(const QString& text, std::function<void()> done);
    void cut();
    bool speaking() const { return bool(done_); }

    void setListening(bool listening);
    void showCue(const QString& cue);
    // The figure moved, appeared or went away.
    void figureChanged();

    Balloon& balloon() const { return *balloon_; }

signals:
    void balloonClicked();

private:
    void start(std::shared_ptr<const speech::SpeechText> text);
    void unitReached(int unit);
    void finished();
    void lingerThenHide(int ms);

    speech::SpeechEngine& engine_;
    AnimationPlayer& player_;
    std::function<QRect()> figure_;
    int balloonLingerMs_;
    double timeScale_;
    std::unique_ptr<Balloon> balloon_;

    std::function<void()> done_;              // set while a text is being said (or parsed)
    std::shared_ptr<const speech::SpeechText> text_;  // what is being said, once parsed
    int shownEnd_ = 0;
    bool listening_ = false;
    QTimer mouthTimer_, lingerTimer_;
    QFutureWatcher<std::shared_ptr<const speech::SpeechText>> parsing_;
};

} // namespace character
