// The run's trace for end-to-end checks: one line per thing the user sees happen.
#include "Trace.h"

#include "character/CharacterServer.h"
#include "character/RequestQueue.h"
#include "training/VoiceCoach.h"
#include "voice/SphinxVoiceInput.h"
#include "platform/UserReport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <QMenu>
#include <QSet>
#include <QWidget>

namespace {

QString kindName(character::Request::Kind k)
{
    using K = character::Request::Kind;
    switch (k) {
    case K::Show: return QStringLiteral("Show");
    case K::Hide: return QStringLiteral("Hide");
    case K::Play: return QStringLiteral("Play");
    case K::Speak: return QStringLiteral("Speak");
    case K::Gesture: return QStringLiteral("Gesture");
    }
    return {};
}

QString describe(const character::Request& r)
{
    QString text = kindName(r.kind);
    if (r.kind == character::Request::Kind::Gesture)
        return text + QStringLiteral(" %1,%2").arg(r.at.x()).arg(r.at.y());
    if (!r.name.isEmpty())
        text += u' ' + QString(r.name).replace(u'\n', u' ').left(200);
    return text;
}

// A window's title as one word of a trace line.
QString titleOf(const QWidget* w)
{
    return w->windowTitle().left(80).replace(u' ', u'_');
}

// Where each entry is, so a run can click it like a user.
void traceMenu(Trace& trace, QMenu* menu)
{
    trace.line(QStringLiteral("menu shown %1,%2 %3x%4").arg(menu->x()).arg(menu->y()).arg(menu->width()).arg(menu->height()));
    for (QAction* a : menu->actions()) {
        if (a->isSeparator() || !a->isVisible())
            continue;
        const QRect r = menu->actionGeometry(a).translated(menu->pos());
        trace.line(QStringLiteral("menu item %1,%2 %3x%4 %5")
                      .arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height()).arg(a->text()));
    }
}

// Top-level windows appearing and going: the character, its balloon, the clock and the dialogs.
class WindowWatcher : public QObject {
public:
    WindowWatcher(Trace& trace) : QObject(&trace), trace_(trace) {}
    bool eventFilter(QObject* o, QEvent* e) override
    {
        // Every event of the program passes here: anything but a window's is let by at once.
        if (!o->isWidgetType() || !static_cast<QWidget*>(o)->isWindow())
            return false;
        auto* w = static_cast<QWidget*>(o);
        switch (e->type()) {
        case QEvent::Paint:
            // The first paint is when a user first sees the window: start-up is measured to here.
            if (!painted_.contains(o)) {
                painted_.insert(o);
                connect(o, &QObject::destroyed, this, [this, o] { painted_.remove(o); });
                trace_.line(QStringLiteral("window painted ") + titleOf(w));
            }
            break;
        // Keys reach a window once it is active here, not when the window manager has focused it.
        case QEvent::WindowActivate:
        case QEvent::WindowDeactivate:
            if (!w->inherits("QMenu"))
                trace_.line(QStringLiteral("window %1 ").arg(e->type() == QEvent::WindowActivate ? "active" : "inactive")
                            + titleOf(w));
            break;
        case QEvent::Show:
        case QEvent::Hide:
            if (!w->inherits("QMenu") && !w->inherits("QToolTip"))
                trace_.line(QStringLiteral("window %1 %2 %3,%4 %5x%6")
                              .arg(e->type() == QEvent::Show ? QStringLiteral("shown") : QStringLiteral("hidden"),
                                   titleOf(w))
                              .arg(w->x()).arg(w->y()).arg(w->width()).arg(w->height()));
            else if (w->inherits("QMenu") && e->type() == QEvent::Show)
                traceMenu(trace_, static_cast<QMenu*>(w));
            break;
        default:
            break;
        }
        return false;
    }

private:
    Trace& trace_;
    QSet<QObject*> painted_;
};

} // namespace

platform::Result<> Trace::open(const QString& path)
{
    file_.setFileName(path);
    if (!file_.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text))
        return platform::Fail(QStringLiteral("cannot write the trace file %1: %2").arg(path, file_.errorString()));
    sinceStart_.start();
    qApp->installEventFilter(new WindowWatcher(*this));
    return {};
}

void Trace::line(const QString& text)
{
    if (!file_.isOpen())
        return;
    file_.write(QStringLiteral("%1 %2\n").arg(sinceStart_.elapsed()).arg(text).toUtf8());
    file_.flush();
}

void Trace::watch(character::CharacterServer& server)
{
    if (!file_.isOpen())
        return;
    connect(&server, &character::CharacterServer::stageCreated, this, [this](character::CharacterStage* stage) {
        line(QStringLiteral("character %1 loaded").arg(stage->id()));
        connect(stage, &character::CharacterStage::requestStarted, this,
                [this](const character::Request& r) { line(QStringLiteral("started ") + describe(r)); });
        connect(stage, &character::CharacterStage::requestFinished, this,
                [this](const character::Request& r) { line(QStringLiteral("finished ") + describe(r)); });
    });
}

void Trace::watch(voice::VoiceInput& voice)
{
    if (!file_.isOpen())
        return;
    using voice::VoiceInput;
    connect(&voice, &voice::VoiceInput::listeningChanged, this,
            [this](bool on) { line(on ? QStringLiteral("voice listening") : QStringLiteral("voice stopped")); });
    connect(&voice, &voice::VoiceInput::heard, this, [this](const QString& command, const QString& phrase) {
        line(QStringLiteral("voice heard %1 (%2)").arg(command, phrase));
    });
    connect(&voice, &voice::VoiceInput::notUnderstood, this, [this] { line(QStringLiteral("voice not understood")); });
    connect(&voice, &voice::VoiceInput::turnedOff, this, [this](const QString& why) { line("voice off " + why); });
    connect(&voice, &voice::VoiceInput::refused, this, [this](const QString& why) { line("voice refused " + why); });
    if (auto* sphinx = qobject_cast<voice::SphinxVoiceInput*>(&voice))
        connect(sphinx, &voice::SphinxVoiceInput::profileInUse, this, [this](const QString& mic, voice::ProfileKind kind) {
            line(QStringLiteral("voice profile for %1: %2").arg(mic, voice::KindName(kind)));
        });
}

void Trace::watch(training::VoiceCoach& coach)
{
    if (!file_.isOpen())
        return;
    connect(&coach, &training::VoiceCoach::windowShown, this, [this](training::TrainingWindow* w) {
        connect(w, &training::TrainingWindow::sentenceShown, this, [this](const QString& s, int n, int of) {
            line(QStringLiteral("training sentence %1/%2 %3").arg(n).arg(of).arg(s));
        });
        connect(w, &training::TrainingWindow::readingRefused, this,
                [this](const QString& why) { line(QStringLiteral("training again ") + why); });
        connect(w, &training::TrainingWindow::cancelled, this, [this] { line(QStringLiteral("training cancelled")); });
        connect(w, &training::TrainingWindow::finished, this, [this] { line(QStringLiteral("training read")); });
    });
    connect(&coach, &training::VoiceCoach::adapted, this, [this](const QString& mic, const voice::BuildReport& r) {
        line(QStringLiteral("voice profile %1 for %2: %3 (%4 > %5 words wrong of %6, %7 s)")
                 .arg(r.made ? QStringLiteral("made") : QStringLiteral("failed"), mic, voice::KindName(r.kind))
                 .arg(r.stockErrors)
                 .arg(r.errors)
                 .arg(r.words)
                 .arg(r.seconds, 0, 'f', 1));
    });
    connect(&coach, &training::VoiceCoach::forgotten, this, [this] { line(QStringLiteral("voice forgotten")); });
}

void Trace::watch(platform::UserReport& report)
{
    if (!file_.isOpen())
        return;
    connect(&report, &platform::UserReport::reported, this,
            [this](const QString& summary, const QString&) { line(QStringLiteral("problem ") + summary); });
}
