#include "CharacterStage.h"

#include "Character.h"
#include "CharacterWindow.h"
#include "SpeechEngine.h"
#include "platform/Platform.h"

#include <QGuiApplication>
#include <QMenu>
#include <QRandomGenerator>
#include <QScreen>
#include <QWindow>
#include <thread>

namespace character {

namespace {
// Texts longer than this are split up away from the user-interface thread.
constexpr qsizetype parseInBackgroundFrom = 64 * 1024;
} // namespace

CharacterStage::CharacterStage(QString id, std::shared_ptr<const CharacterData> data, SpeechEngine& speech,
                               StageOptions options)
    : id_(std::move(id)), data_(std::move(data)), renderer_(*data_), speech_(speech), options_(options),
      window_(std::make_unique<CharacterWindow>(data_->name)), balloon_(std::make_unique<Balloon>())
{
    pose_ = data_->poses[size_t(data_->pose(QStringLiteral("rest")))];
    frameTimer_.setSingleShot(true);
    QObject::connect(&frameTimer_, &QTimer::timeout, this, [this] {
        if (!animation_)
            return;
        const Frame& f = animation_->frames[frame_];
        const int duration = scaled(f.durationMs);
        const qint64 elapsed = frameClock_.elapsed();
        if (f.tween && elapsed < duration) {
            pose_ = Renderer::blend(tweenFrom_, data_->poses[size_t(f.pose)], float(elapsed) / float(duration));
            render();
            // Rendering may outlast the frame; a negative interval would never fire and freeze the queue.
            const qint64 left = std::max<qint64>(0, duration - frameClock_.elapsed());
            frameTimer_.start(int(std::min<qint64>(options_.tweenStepMs, left)));
            return;
        }
        if (f.tween) {
            pose_ = data_->poses[size_t(f.pose)];
            render();
        }
        ++frame_;
        enterFrame();
    });
    mouthTimer_.setSingleShot(true);
    QObject::connect(&mouthTimer_, &QTimer::timeout, this, [this] {
        mouthOpen_ = false;
        render();
    });
    idleTimer_.setSingleShot(true);
    QObject::connect(&idleTimer_, &QTimer::timeout, this, &CharacterStage::goIdle);
    QObject::connect(&idleMoveTimer_, &QTimer::timeout, this, &CharacterStage::idleMove);

    QObject::connect(&speech_, &SpeechEngine::unitReached, this, [this](int unit) {
        if (!speaking_ || unit < 0 || size_t(unit) >= speaking_->units.size())
            return;
        shownEnd_ = std::max(shownEnd_, speaking_->units[size_t(unit)].shownEnd);
        if (onScreen_) {
            balloon_->showText(speaking_->shown.left(shownEnd_), QRect(position_, size()));
            mouthOpen_ = true;
            render();
            mouthTimer_.start(scaled(110));
        }
    });
    QObject::connect(&speech_, &SpeechEngine::finished, this, [this] {
        if (!speaking_)
            return;
        if (onScreen_)
            balloon_->showText(speaking_->shown, QRect(position_, size()));
        speaking_.reset();
        const int generation = ++speechGeneration_;
        QTimer::singleShot(options_.balloonLingerMs, this, [this, generation] {
            if (generation == speechGeneration_ && !speaking_ && !listening_)
                balloon_->hide();
        });
        finishRunning();
    });

    QObject::connect(window_.get(), &CharacterWindow::dragged, this, [this](const QPoint& p) {
        position_ = p;
        window_->move(p);
        balloon_->follow(QRect(position_, size()));
    });
    // What is kept is where the window system put the window, which a window manager may have refused
    // to move: its answer to the last move comes a moment after the button goes up.
    QObject::connect(window_.get(), &CharacterWindow::dragFinished, this, [this] {
        QTimer::singleShot(100, this, [this] {
            const QWindow* w = window_->windowHandle();
            moveTo(w ? w->position() : position_, UserMoved, 0);
        });
    });
    QObject::connect(window_.get(), &CharacterWindow::menuRequested, this, &CharacterStage::popupMenu);
    QObject::connect(window_.get(), &CharacterWindow::listenPressed, this, &CharacterStage::listenRequested);
    // A click on the balloon cuts a long speech short.
    QObject::connect(balloon_.get(), &Balloon::clicked, this, [this] {
        if (running_ && running_->kind == Request::Kind::Speak)
            stopAll(running_->owner, StopSpeak);
        else
            balloon_->hide();
    });
    window_->move(position_);
    render();
}

CharacterStage::~CharacterStage()
{
    speech_.stop();
}

Character* CharacterStage::connect(const std::shared_ptr<CharacterStage>& stage)
{
    auto* c = new Character(stage, stage->nextConnection_++);
    stage->attach(c);
    return c;
}

void CharacterStage::attach(Character* c)
{
    connections_.push_back(c);
    emit commandsInEffectChanged();
}

void CharacterStage::detach(Character* c)
{
    std::erase(connections_, c);
    std::erase(shownOrder_, c->connection());
    if (c->visible_) {
        bool anyShown = false;
        for (Character* o : connections_)
            anyShown |= o->visible_;
        Request r{Request::Kind::Hide, c->connection(), {}, {}, true, anyShown};
        request(r);
    }
    emit commandsInEffectChanged();
}

template <typename F> void CharacterStage::toEveryConnection(F f)
{
    for (Character* c : connections_)
        QMetaObject::invokeMethod(c, [c, f] { f(c); }, Qt::QueuedConnection);
}

Character* CharacterStage::inEffect() const
{
    auto byConnection = [this](int id) -> Character* {
        for (Character* c : connections_)
            if (c->connection() == id)
                return c;
        return nullptr;
    };
    for (auto it = shownOrder_.rbegin(); it != shownOrder_.rend(); ++it)
        if (Character* c = byConnection(*it); c && c->visible_)
            return c;
    if (!shownOrder_.empty())
        return byConnection(shownOrder_.back());
    return connections_.empty() ? nullptr : connections_.front();
}

std::vector<VoicePhrase> CharacterStage::voicePhrasesInEffect() const
{
    std::vector<VoicePhrase> phrases;
    if (const Character* c = inEffect())
        for (const auto& cmd : c->Commands().all())
            if (cmd->Enabled() && !cmd->Voice().trimmed().isEmpty())
                phrases.push_back({cmd->Name(), cmd->Voice()});
    return phrases;
}

bool CharacterStage::deliverCommand(const QString& name, const QString& heardPhrase)
{
    Character* c = inEffect();
    if (!c)
        return false;
    const CharacterCommand* cmd = c->Commands().Item(name);
    if (!cmd || !cmd->Enabled())
        return false;
    const UserInput input{name, id_, heardPhrase, !heardPhrase.isEmpty()};
    QMetaObject::invokeMethod(c, [c, input] { emit c->Command(input); }, Qt::QueuedConnection);
    return true;
}

void CharacterStage::popupMenu(const QPoint& globalPos)
{
    Character* c = inEffect();
    if (!c)
        return;
    auto* menu = new QMenu;
    menu->setAttribute(Qt::WA_DeleteOnClose);
    const QPointer<Character> target(c);
    for (const auto& cmd : c->Commands().all()) {
        if (!cmd->listed())
            continue;
        QAction* a = menu->addAction(cmd->Caption());
        a->setEnabled(cmd->Enabled());
        QObject::connect(a, &QAction::triggered, this, [this, target, name = cmd->Name()] {
            // The pick goes to the connection whose menu this was, if it still offers the command.
            if (!target)
                return;
            const CharacterCommand* now = target->Commands().Item(name);
            if (!now || !now->Enabled())
                return;
            Character* t = target.data();
            const UserInput input{name, id_, {}, false};
            QMetaObject::invokeMethod(t, [t, input] { emit t->Command(input); }, Qt::QueuedConnection);
        });
    }
    emit menuAboutToShow(menu);
    if (menu->isEmpty()) {
        delete menu;
        return;
    }
    menu->popup(globalPos);
}

QString CharacterStage::balloonText() const
{
    return balloon_->isVisible() ? balloon_->text() : QString();
}

void CharacterStage::setListening(bool listening)
{
    if (listening_ == listening)
        return;
    listening_ = listening;
    // The user is talking: the character falls silent, so that neither the user nor the
    // microphone hears it, and what is queued waits until the user has finished.
    if (listening && running_ && running_->kind == Request::Kind::Speak)
        cutSpeech();
    if (!listening)
        schedule();
    render();
    if (listening && onScreen_)
        balloon_->showCue(QStringLiteral("Listening\u2026"), QRect(position_, size()));
    else if (!listening && !speaking_)
        balloon_->hide();
}

void CharacterStage::showCue(const QString& cue)
{
    if (!onScreen_ || speaking_)
        return;
    balloon_->showCue(cue, QRect(position_, size()));
    const int generation = ++speechGeneration_;
    QTimer::singleShot(1200, this, [this, generation] {
        if (generation == speechGeneration_ && !speaking_ && !listening_)
            balloon_->hide();
    });
}

// ---- requests ----

void CharacterStage::setShown(Character* c, bool shown, bool fast)
{
    c->visible_ = shown;
    if (shown) {
        std::erase(shownOrder_, c->connection());
        shownOrder_.push_back(c->connection());
    }
    bool anyShown = false;
    for (Character* o : connections_)
        anyShown |= o->visible_;
    request(Request{shown ? Request::Kind::Show : Request::Kind::Hide, c->connection(), {}, {}, fast, anyShown});
    emit commandsInEffectChanged();
}

void CharacterStage::request(Request r)
{
    leaveIdle();
    queue_.push(std::move(r));
    schedule();
}

void CharacterStage::schedule()
{
    if (runScheduled_)
        return;
    runScheduled_ = true;
    QTimer::singleShot(0, this, [this] {
        runScheduled_ = false;
        runQueue();
    });
}

void CharacterStage::runQueue()
{
    while (!running_ && !queue_.empty() && !listening_)
        execute(*queue_.pop());
    applyVisibility();
    if (!running_ && queue_.empty() && !idle_ && !idleTimer_.isActive())
        idleTimer_.start(options_.idleDelayMs);
}

void CharacterStage::stopAll(int owner, unsigned kinds)
{
    queue_.stopAll(owner, kinds);
    if (!running_ || running_->owner != owner || !StoppedBy(*running_, kinds))
        return;
    if (running_->kind == Request::Kind::Speak) {
        cutSpeech();
        return;
    }
    stopAnimation();
    pose_ = data_->poses[size_t(data_->pose(QStringLiteral("rest")))];
    render();
    finishRunning();
}

void CharacterStage::cutSpeech()
{
    speech_.stop();
    speaking_.reset();
    ++speechGeneration_;
    if (!listening_)
        balloon_->hide();
    finishRunning();
}

void CharacterStage::execute(const Request& r)
{
    running_ = r;
    emit requestStarted(r);
    switch (r.kind) {
    case Request::Kind::Show:
        wantOnScreen_ = r.figureShownAfter;
        if (!wantOnScreen_ || onScreen_)
            break;
        if (!checkedOnScreen_)
            keepOnScreen();
        onScreen_ = true;
        if (const Animation* a = data_->animation(QStringLiteral("Show")); a && !r.fast) {
            playAnimation(a, true);
            applyVisibility();
            return;
        }
        pose_ = data_->poses[size_t(data_->pose(QStringLiteral("rest")))];
        render();
        break;
    case Request::Kind::Hide:
        wantOnScreen_ = r.figureShownAfter;
        if (wantOnScreen_ || !onScreen_)
            break;
        if (const Animation* a = data_->animation(QStringLiteral("Hide")); a && !r.fast) {
            playAnimation(a, true);
            animationDone_ = [this] {
                if (!wantOnScreen_)
                    onScreen_ = false;
                pose_ = data_->poses[size_t(data_->pose(QStringLiteral("rest")))];
                applyVisibility();
                render();
                finishRunning();
            };
            return;
        }
        onScreen_ = false;
        break;
    case Request::Kind::Play:
    case Request::Kind::Gesture: {
        if (!onScreen_)
            break;
        QString name = r.name;
        if (r.kind == Request::Kind::Gesture) {
            const QPoint centre = QRect(position_, size()).center();
            const int dx = r.at.x() - centre.x(), dy = r.at.y() - centre.y();
            name = QString::fromUtf16(std::abs(dx) >= std::abs(dy) ? (dx < 0 ? u"GestureLeft" : u"GestureRight")
                                                                   : (dy < 0 ? u"GestureUp" : u"GestureDown"));
        }
        const Animation* a = data_->animation(name);
        if (!a) {
            platform::ReportProblem(QStringLiteral("the character \"%1\" has no animation \"%2\".").arg(id_, name));
            break;
        }
        playAnimation(a, true);
        return;
    }
    case Request::Kind::Speak:
        if (r.name.size() < parseInBackgroundFrom) {
            speakNow(r, std::make_shared<const SpeechText>(ParseSpeech(r.name)));
        } else {
            // Splitting megabytes of text takes a moment: the program stays responsive meanwhile.
            const QPointer<CharacterStage> self(this);
            const QString text = r.name;
            std::thread([self, text] {
                auto parsed = std::make_shared<const SpeechText>(ParseSpeech(text));
                QMetaObject::invokeMethod(qApp, [self, parsed] {
                    if (self && self->running_ && self->running_->kind == Request::Kind::Speak && !self->speaking_)
                        self->speakNow(*self->running_, parsed);
                }, Qt::QueuedConnection);
            }).detach();
        }
        return;
    }
    finishRunning();
}

void CharacterStage::speakNow(const Request&, std::shared_ptr<const SpeechText> text)
{
    speaking_ = text;
    shownEnd_ = 0;
    ++speechGeneration_;
    speech_.speak(std::move(text));
}

void CharacterStage::finishRunning()
{
    if (!running_)
        return;
    const Request done = *running_;
    running_.reset();
    emit requestFinished(done);
    schedule();
}

void CharacterStage::applyVisibility()
{
    if (window_->isVisible() != onScreen_)
        window_->setVisible(onScreen_);
    if (!onScreen_ && balloon_->isVisible())
        balloon_->hide();
}

// ---- animation ----

void CharacterStage::playAnimation(const Animation* a, bool asRequest)
{
    stopAnimation();
    animation_ = a;
    animationIsRequest_ = asRequest;
    animationDone_ = [this, asRequest] {
        if (asRequest)
            finishRunning();
    };
    frame_ = 0;
    enterFrame();
}

void CharacterStage::enterFrame()
{
    if (!animation_)
        return;
    if (frame_ >= animation_->frames.size()) {
        animation_ = nullptr;
        auto done = std::move(animationDone_);
        animationDone_ = nullptr;
        if (done)
            done();
        return;
    }
    const Frame& f = animation_->frames[frame_];
    if (f.tween) {
        tweenFrom_ = pose_;
        frameClock_.restart();
        frameTimer_.start(0);
        return;
    }
    pose_ = data_->poses[size_t(f.pose)];
    render();
    frameTimer_.start(scaled(f.durationMs));
}

void CharacterStage::stopAnimation()
{
    frameTimer_.stop();
    animation_ = nullptr;
    animationDone_ = nullptr;
}

void CharacterStage::render()
{
    Pose p = pose_;
    if (mouthOpen_)
        if (const Overlay* o = data_->overlay(QStringLiteral("talk")))
            renderer_.applyOverlay(p, *o);
    if (listening_)
        if (const Overlay* o = data_->overlay(QStringLiteral("listen")))
            renderer_.applyOverlay(p, *o);
    window_->setFrame(renderer_.render(p));
}

// ---- idling ----

void CharacterStage::goIdle()
{
    if (running_ || !queue_.empty())
        return;
    idle_ = true;
    const QString id = id_;
    toEveryConnection([id](Character* c) { emit c->IdleStart(id); });
    idleMoveTimer_.start(options_.idleMoveEveryMs);
}

void CharacterStage::idleMove()
{
    if (!idle_ || running_ || !onScreen_ || animation_)
        return;
    std::vector<const Animation*> moves;
    for (const Animation& a : data_->animations)
        if (a.name.startsWith(u"Idle", Qt::CaseInsensitive))
            moves.push_back(&a);
    if (moves.empty())
        return;
    playAnimation(moves[QRandomGenerator::global()->bounded(int(moves.size()))], false);
}

void CharacterStage::leaveIdle()
{
    idleTimer_.stop();
    if (!idle_)
        return;
    idle_ = false;
    idleMoveTimer_.stop();
    if (animation_ && !animationIsRequest_) {
        stopAnimation();
        pose_ = data_->poses[size_t(data_->pose(QStringLiteral("rest")))];
        render();
    }
    const QString id = id_;
    toEveryConnection([id](Character* c) { emit c->IdleComplete(id); });
}

// ---- position ----

void CharacterStage::moveTo(QPoint p, int cause, int mover)
{
    position_ = p;
    window_->move(p);
    balloon_->follow(QRect(position_, size()));
    lastCause_ = cause;
    lastMover_ = mover;
    const QString id = id_;
    toEveryConnection([id, p](Character* c) { emit c->Move(id, p.x(), p.y(), c->MoveCause()); });
}

int CharacterStage::moveCauseFor(int connection) const
{
    if (lastCause_ == ProgramMoved && connection != lastMover_)
        return OtherClientMoved;
    return lastCause_;
}

void CharacterStage::keepOnScreen()
{
    // A position saved on a screen that is gone would leave the character out of reach.
    checkedOnScreen_ = true;
    const QRect figure(position_, size());
    const QList<QScreen*> screens = QGuiApplication::screens();
    for (const QScreen* s : screens) {
        const QRect common = s->geometry().intersected(figure);
        if (common.width() >= 32 && common.height() >= 32)
            return;
    }
    const QScreen* primary = QGuiApplication::primaryScreen();
    if (!primary)
        return;
    const QRect avail = primary->availableGeometry();
    const QPoint inside(std::clamp(position_.x(), avail.left(), std::max(avail.left(), avail.right() - figure.width())),
                        std::clamp(position_.y(), avail.top(), std::max(avail.top(), avail.bottom() - figure.height())));
    moveTo(inside, ServerMoved, 0);
}

void CharacterStage::commandsChanged(Character* c)
{
    if (c == inEffect())
        emit commandsInEffectChanged();
}

} // namespace character
