// The one figure of a character on the desktop, and what its connections share.
#include "CharacterStage.h"

#include "Balloon.h"
#include "Character.h"
#include "desktop/Monitors.h"
#include "platform/Platform.h"

#include <QGuiApplication>
#include <QMenu>
#include <QRandomGenerator>
#include <QScreen>
#include <QWindow>

namespace character {

CharacterStage::CharacterStage(QString id, std::shared_ptr<const CharacterData> data, speech::SpeechEngine& speech,
                               StageOptions options)
    : id_(std::move(id)), data_(std::move(data)), options_(options),
      window_(std::make_unique<CharacterWindow>(data_->name)),
      player_(*data_, *window_, options.timeScale, options.tweenStepMs),
      presenter_(speech, player_, [this] { return onScreen_ ? QRect(position_, size()) : QRect(); },
                 options.balloonLingerMs, options.timeScale),
      scheduler_(options.idleDelayMs, [this](const Request& r) { execute(r); })
{
    wireScheduler();
    wireWindow();
}

void CharacterStage::wireScheduler()
{
    QObject::connect(&scheduler_, &RequestScheduler::started, this, &CharacterStage::requestStarted);
    QObject::connect(&scheduler_, &RequestScheduler::finished, this, &CharacterStage::requestFinished);
    QObject::connect(&scheduler_, &RequestScheduler::idleStarted, this, [this] {
        const QString id = id_;
        toEveryConnection([id](Character* c) { emit c->IdleStart(id); });
        idleMoveTimer_.start(options_.idleMoveEveryMs);
    });
    QObject::connect(&scheduler_, &RequestScheduler::idleEnded, this, [this] {
        idleMoveTimer_.stop();
        if (idleMoving_) {
            idleMoving_ = false;
            player_.rest();
        }
        const QString id = id_;
        toEveryConnection([id](Character* c) { emit c->IdleComplete(id); });
    });
    QObject::connect(&idleMoveTimer_, &QTimer::timeout, this, &CharacterStage::idleMove);
    // One connection hidden and another shown in the same pass is no flicker: the window follows
    // only where the pass left the figure.
    QObject::connect(&scheduler_, &RequestScheduler::passEnded, this, [this] {
        if (window_->isVisible() != onScreen_)
            window_->setVisible(onScreen_);
    });
    scheduler_.setIdleAllowed(false);
}

void CharacterStage::wireWindow()
{
    QObject::connect(window_.get(), &CharacterWindow::dragged, this, [this](const QPoint& p) {
        position_ = p;
        window_->move(p);
        presenter_.figureChanged();
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
    // A click on the balloon or on the figure stops what is being said.
    QObject::connect(window_.get(), &CharacterWindow::clicked, this, &CharacterStage::stopSpeaking);
    QObject::connect(&presenter_, &SpeechPresenter::balloonClicked, this, [this] {
        if (presenter_.speaking())
            stopSpeaking();
        else
            presenter_.balloon().hide();
    });
    window_->move(position_);
    // A monitor unplugged under the figure would leave it out of reach.
    QObject::connect(qGuiApp, &QGuiApplication::screenRemoved, this,
                     [this] { keepOnScreen(); }, Qt::QueuedConnection);
}

CharacterStage::~CharacterStage() = default;

Character* CharacterStage::connect(const std::shared_ptr<CharacterStage>& stage)
{
    auto* c = new Character(stage, stage->nextConnection_++);
    stage->attach(c);
    return c;
}

void CharacterStage::attach(Character* c)
{
    registry_.attach(c);
    emit commandsInEffectChanged();
}

void CharacterStage::detach(Character* c)
{
    // A connection that ends takes its waiting requests with it: a closed dialog says nothing more.
    endRequestsOf(c->connection());
    registry_.detach(c);
    if (c->visible_)
        request(Request{Request::Kind::Hide, c->connection(), {}, {}, true, registry_.anyShown()});
    emit commandsInEffectChanged();
}

void CharacterStage::endRequestsOf(int connection)
{
    stopAll(connection, StopEverything);
}

template <typename F> void CharacterStage::toEveryConnection(F f)
{
    for (Character* c : registry_.all())
        QMetaObject::invokeMethod(c, [c, f] { f(c); }, Qt::QueuedConnection);
}

bool CharacterStage::deliverCommand(const QString& name, const QString& heardPhrase)
{
    return registry_.deliverCommand(id_, name, heardPhrase);
}

void CharacterStage::popupMenu(const QPoint& globalPos)
{
    auto* menu = new QMenu;
    menu->setAttribute(Qt::WA_DeleteOnClose);
    registry_.fillMenu(*menu, id_);
    emit menuAboutToShow(menu);
    if (menu->isEmpty()) {
        delete menu;
        return;
    }
    menu->popup(globalPos);
}

void CharacterStage::setListening(bool listening)
{
    if (listening_ == listening)
        return;
    listening_ = listening;
    // Neither the user nor the microphone should hear the character while the user talks.
    const auto& running = scheduler_.running();
    if (listening && running && running->kind == Request::Kind::Speak)
        cutRunning();
    scheduler_.hold(listening);
    presenter_.setListening(listening);
    const QString id = id_;
    if (listening)
        toEveryConnection([id](Character* c) { emit c->ListenStart(id); });
    else
        toEveryConnection([id](Character* c) { emit c->ListenComplete(id); });
}

void CharacterStage::showCue(const QString& cue)
{
    presenter_.showCue(cue);
}

// ---- requests ----

void CharacterStage::setShown(Character* c, bool shown, bool fast)
{
    // Where the figure will stand is known as soon as it is asked to show: whoever places a window
    // beside it right after asking sees the place it will show at.
    if (shown && !checkedOnScreen_)
        keepOnScreen();
    c->visible_ = shown;
    if (shown)
        registry_.shownLast(c);
    request(Request{shown ? Request::Kind::Show : Request::Kind::Hide, c->connection(), {}, {}, fast,
                    registry_.anyShown()});
    emit commandsInEffectChanged();
}

void CharacterStage::request(Request r)
{
    if (urgent_) {
        r.urgent = true;
        // Showing and hiding take a moment and cut would leave the figure half way: they finish first.
        const auto& running = scheduler_.running();
        if (running && !running->urgent && running->kind != Request::Kind::Show && running->kind != Request::Kind::Hide)
            cutRunning();
    }
    scheduler_.push(std::move(r));
}

void CharacterStage::stopAll(int owner, unsigned kinds)
{
    if (scheduler_.dropWaiting(owner, kinds))
        cutRunning();
}

void CharacterStage::cutRunning()
{
    const auto& running = scheduler_.running();
    if (!running)
        return;
    if (running->kind == Request::Kind::Speak)
        presenter_.cut();
    else
        player_.rest();
    scheduler_.finish();
}

// Only the text being said is dropped: what was asked after it goes on.
void CharacterStage::stopSpeaking()
{
    const auto& running = scheduler_.running();
    if (running && running->kind == Request::Kind::Speak)
        cutRunning();
}

void CharacterStage::execute(const Request& r)
{
    switch (r.kind) {
    case Request::Kind::Show:
        show(r);
        return;
    case Request::Kind::Hide:
        hide(r);
        return;
    case Request::Kind::Play:
    case Request::Kind::Gesture:
        play(r);
        return;
    case Request::Kind::Speak:
        presenter_.speak(r.name, [this] { scheduler_.finish(); });
        return;
    }
    scheduler_.finish();
}

void CharacterStage::show(const Request& r)
{
    wantOnScreen_ = r.figureShownAfter;
    if (!wantOnScreen_ || onScreen_) {
        scheduler_.finish();
        return;
    }
    idleMoving_ = false;
    const Animation* a = data_->animation(QStringLiteral("Show"));
    if (a && !r.fast) {
        player_.play(*a, [this] { scheduler_.finish(); });
        setOnScreen(true);
        return;
    }
    player_.rest();
    setOnScreen(true);
    scheduler_.finish();
}

void CharacterStage::hide(const Request& r)
{
    wantOnScreen_ = r.figureShownAfter;
    if (wantOnScreen_ || !onScreen_) {
        scheduler_.finish();
        return;
    }
    const Animation* a = data_->animation(QStringLiteral("Hide"));
    if (a && !r.fast) {
        player_.play(*a, [this] {
            player_.rest();
            if (!wantOnScreen_)
                setOnScreen(false);
            scheduler_.finish();
        });
        return;
    }
    setOnScreen(false);
    scheduler_.finish();
}

void CharacterStage::play(const Request& r)
{
    if (!onScreen_) {
        scheduler_.finish();
        return;
    }
    QString name = r.name;
    if (r.kind == Request::Kind::Gesture) {
        const QPoint centre = QRect(position_, size()).center();
        const int dx = r.at.x() - centre.x(), dy = r.at.y() - centre.y();
        name = QString::fromUtf16(std::abs(dx) >= std::abs(dy) ? (dx < 0 ? u"GestureLeft" : u"GestureRight")
                                                               : (dy < 0 ? u"GestureUp" : u"GestureDown"));
    }
    const Animation* a = data_->animation(name);
    if (!a) {
        if (options_.report)
            options_.report->problem(QStringLiteral("Character file incomplete"),
                                     QStringLiteral("the character \"%1\" has no animation \"%2\".").arg(id_, name));
        scheduler_.finish();
        return;
    }
    idleMoving_ = false;
    player_.play(*a, [this] { scheduler_.finish(); });
}

void CharacterStage::setOnScreen(bool onScreen)
{
    onScreen_ = onScreen;
    presenter_.figureChanged();
    scheduler_.setIdleAllowed(onScreen_);
}

// ---- idling ----

void CharacterStage::idleMove()
{
    if (!scheduler_.idle() || busy() || !onScreen_ || player_.current())
        return;
    std::vector<const Animation*> moves;
    for (const Animation& a : data_->animations)
        if (a.name.startsWith(u"Idle", Qt::CaseInsensitive))
            moves.push_back(&a);
    if (moves.empty())
        return;
    idleMoving_ = true;
    player_.play(*moves[size_t(QRandomGenerator::global()->bounded(int(moves.size())))], [this] { idleMoving_ = false; });
}

// ---- position ----

void CharacterStage::moveTo(QPoint p, int cause, int mover)
{
    position_ = p;
    window_->move(p);
    presenter_.figureChanged();
    lastCause_ = cause;
    lastMover_ = mover;
    const QString id = id_;
    // Told later, but as it was: a move made after this one in the same pass must not change the
    // cause its handler reads.
    toEveryConnection([this, id, p, cause, mover](Character* c) {
        const int seen = causeSeenBy(cause, mover, c->connection());
        reporting_ = seen;
        emit c->Move(id, p.x(), p.y(), seen);
        reporting_.reset();
    });
}

int CharacterStage::causeSeenBy(int cause, int mover, int connection)
{
    return cause == ProgramMoved && connection != mover ? int(OtherClientMoved) : cause;
}

int CharacterStage::moveCauseFor(int connection) const
{
    return reporting_ ? *reporting_ : causeSeenBy(lastCause_, lastMover_, connection);
}

void CharacterStage::keepOnScreen()
{
    // A place saved on a monitor that is gone, or mostly off the desktop, would leave the character
    // out of reach.
    checkedOnScreen_ = true;
    const QRect figure(position_, size());
    const QPoint inside = desktop::Monitors::current().keepOn(figure);
    if (inside != position_)
        moveTo(inside, ServerMoved, 0);
}

void CharacterStage::commandsChanged(const Character* c)
{
    if (c == inEffect())
        emit commandsInEffectChanged();
}

} // namespace character
