#include "Trace.h"

#include "character/CharacterServer.h"
#include "character/RequestQueue.h"
#include "character/VoiceInput.h"
#include "platform/UserReport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <QMenu>
#include <QSet>
#include <QWidget>

namespace {

QFile* traceFile = nullptr;
QElapsedTimer sinceStart;

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
void traceMenu(QMenu* menu)
{
    TraceLine(QStringLiteral("menu shown %1,%2 %3x%4").arg(menu->x()).arg(menu->y()).arg(menu->width()).arg(menu->height()));
    for (QAction* a : menu->actions()) {
        if (a->isSeparator() || !a->isVisible())
            continue;
        const QRect r = menu->actionGeometry(a).translated(menu->pos());
        TraceLine(QStringLiteral("menu item %1,%2 %3x%4 %5")
                      .arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height()).arg(a->text()));
    }
}

// Top-level windows appearing and going: the character, its balloon, the clock and the dialogs.
class WindowWatcher : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* o, QEvent* e) override
    {
        if (e->type() == QEvent::Paint && o->isWidgetType() && static_cast<QWidget*>(o)->isWindow() &&
            !painted_.contains(o)) {
            // The first paint is when a user first sees the window: start-up is measured to here.
            painted_.insert(o);
            connect(o, &QObject::destroyed, this, [this, o] { painted_.remove(o); });
            TraceLine(QStringLiteral("window painted ") + titleOf(static_cast<QWidget*>(o)));
        }
        if ((e->type() == QEvent::Show || e->type() == QEvent::Hide) && o->isWidgetType()) {
            auto* w = static_cast<QWidget*>(o);
            if (w->isWindow() && !w->inherits("QMenu") && !w->inherits("QToolTip"))
                TraceLine(QStringLiteral("window %1 %2 %3,%4 %5x%6")
                              .arg(e->type() == QEvent::Show ? QStringLiteral("shown") : QStringLiteral("hidden"),
                                   titleOf(w))
                              .arg(w->x()).arg(w->y()).arg(w->width()).arg(w->height()));
            else if (w->inherits("QMenu") && e->type() == QEvent::Show)
                traceMenu(static_cast<QMenu*>(w));
        }
        return false;
    }

private:
    QSet<QObject*> painted_;
};

} // namespace

void TraceLine(const QString& line)
{
    if (!traceFile)
        return;
    traceFile->write(QStringLiteral("%1 %2\n").arg(sinceStart.elapsed()).arg(line).toUtf8());
    traceFile->flush();
}

bool StartTrace(const QString& path, QString* error)
{
    auto* file = new QFile(path, qApp);
    if (!file->open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
        *error = QStringLiteral("cannot write the trace file %1: %2").arg(path, file->errorString());
        delete file;
        return false;
    }
    traceFile = file;
    sinceStart.start();
    qApp->installEventFilter(new WindowWatcher(qApp));
    auto& server = character::CharacterServer::instance();
    QObject::connect(&server, &character::CharacterServer::stageCreated, qApp, [](character::CharacterStage* stage) {
        TraceLine(QStringLiteral("character %1 loaded").arg(stage->id()));
        QObject::connect(stage, &character::CharacterStage::requestStarted, qApp,
                         [](const character::Request& r) { TraceLine(QStringLiteral("started ") + describe(r)); });
        QObject::connect(stage, &character::CharacterStage::requestFinished, qApp,
                         [](const character::Request& r) { TraceLine(QStringLiteral("finished ") + describe(r)); });
    });
    return true;
}

void TraceVoice(character::VoiceInput* voice)
{
    using character::VoiceInput;
    QObject::connect(voice, &VoiceInput::listeningChanged, qApp, [](bool on) {
        TraceLine(on ? QStringLiteral("voice listening") : QStringLiteral("voice stopped"));
    });
    QObject::connect(voice, &VoiceInput::heard, qApp, [](const QString& command, const QString& phrase) {
        TraceLine(QStringLiteral("voice heard %1 (%2)").arg(command, phrase));
    });
    QObject::connect(voice, &VoiceInput::notUnderstood, qApp,
                     [] { TraceLine(QStringLiteral("voice not understood")); });
}

void TraceProblems(platform::UserReport& report)
{
    QObject::connect(&report, &platform::UserReport::reported, qApp,
                     [](const QString& summary, const QString&) { TraceLine(QStringLiteral("problem ") + summary); });
}
