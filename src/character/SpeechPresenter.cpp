// Says a text through the speech engine and shows it word by word in the balloon.
#include "SpeechPresenter.h"

#include "AnimationPlayer.h"
#include "Balloon.h"
#include "speech/SpeechEngine.h"

#include <QtConcurrent/QtConcurrentRun>

namespace character {

namespace {
// Texts longer than this are split up away from the user-interface thread.
constexpr qsizetype parseInBackgroundFrom = 64 * 1024;
constexpr int cueShownMs = 1200;
constexpr int mouthOpenMs = 110;
} // namespace

SpeechPresenter::SpeechPresenter(speech::SpeechEngine& engine, AnimationPlayer& player, std::function<QRect()> figure,
                                 int balloonLingerMs, double timeScale)
    : engine_(engine), player_(player), figure_(std::move(figure)), balloonLingerMs_(balloonLingerMs),
      timeScale_(timeScale), balloon_(std::make_unique<Balloon>())
{
    mouthTimer_.setSingleShot(true);
    connect(&mouthTimer_, &QTimer::timeout, this, [this] { player_.setMouthOpen(false); });
    lingerTimer_.setSingleShot(true);
    connect(&lingerTimer_, &QTimer::timeout, this, [this] {
        if (!speaking() && !listening_)
            balloon_->hide();
    });
    connect(&engine_, &speech::SpeechEngine::unitReached, this, &SpeechPresenter::unitReached);
    connect(&engine_, &speech::SpeechEngine::finished, this, &SpeechPresenter::finished);
    connect(&parsing_, &QFutureWatcherBase::finished, this, [this] {
        if (done_ && !text_)
            start(parsing_.result());
    });
    connect(balloon_.get(), &Balloon::clicked, this, &SpeechPresenter::balloonClicked);
}

SpeechPresenter::~SpeechPresenter()
{
    engine_.stop();
}

void SpeechPresenter::speak(const QString& text, std::function<void()> done)
{
    done_ = std::move(done);
    text_.reset();
    if (text.size() < parseInBackgroundFrom) {
        start(std::make_shared<const speech::SpeechText>(speech::ParseSpeech(text)));
        return;
    }
    // Splitting megabytes of text takes a moment: the program stays responsive meanwhile.
    parsing_.setFuture(QtConcurrent::run([text] { return std::make_shared<const speech::SpeechText>(speech::ParseSpeech(text)); }));
}

void SpeechPresenter::start(std::shared_ptr<const speech::SpeechText> text)
{
    text_ = std::move(text);
    shownEnd_ = 0;
    lingerTimer_.stop();
    engine_.speak(text_);
}

void SpeechPresenter::cut()
{
    engine_.stop();
    done_ = nullptr;
    text_.reset();
    lingerTimer_.stop();
    if (!listening_)
        balloon_->hide();
}

void SpeechPresenter::unitReached(int unit)
{
    if (!text_ || unit < 0 || size_t(unit) >= text_->units.size())
        return;
    shownEnd_ = std::max(shownEnd_, text_->units[size_t(unit)].shownEnd);
    const QRect figure = figure_();
    if (figure.isEmpty())
        return;
    balloon_->showText(text_->shown.left(shownEnd_), figure);
    player_.setMouthOpen(true);
    mouthTimer_.start(int(mouthOpenMs * timeScale_));
}

void SpeechPresenter::finished()
{
    if (!text_)
        return;
    if (const QRect figure = figure_(); !figure.isEmpty())
        balloon_->showText(text_->shown, figure);
    text_.reset();
    auto done = std::move(done_);
    done_ = nullptr;
    lingerThenHide(balloonLingerMs_);
    if (done)
        done();
}

void SpeechPresenter::lingerThenHide(int ms)
{
    lingerTimer_.start(ms);
}

void SpeechPresenter::setListening(bool listening)
{
    if (listening_ == listening)
        return;
    listening_ = listening;
    player_.setListening(listening);
    const QRect figure = figure_();
    if (listening && !figure.isEmpty())
        balloon_->showCue(QStringLiteral("Listening\u2026"), figure);
    else if (!listening && !speaking())
        balloon_->hide();
}

void SpeechPresenter::showCue(const QString& cue)
{
    const QRect figure = figure_();
    if (figure.isEmpty() || speaking())
        return;
    balloon_->showCue(cue, figure);
    lingerThenHide(cueShownMs);
}

void SpeechPresenter::figureChanged()
{
    const QRect figure = figure_();
    if (figure.isEmpty()) {
        balloon_->hide();
        return;
    }
    if (listening_ && !balloon_->isVisible())
        balloon_->showCue(QStringLiteral("Listening\u2026"), figure);
    else
        balloon_->follow(figure);
}

} // namespace character
