// Teaching the recogniser its user's voice, learning on from their commands, and forgetting it all.
#include "VoiceCoach.h"
#include "desktop/Monitors.h"
#include "platform/UserReport.h"
#include "voice/TrainingSentences.h"

#include <QMenu>
#include <QMessageBox>
#include <QRandomGenerator>

namespace training {

namespace {
QString lowerFirst(QString s)
{
    if (!s.isEmpty())
        s[0] = s[0].toLower();
    return s;
}
} // namespace

VoiceCoach::VoiceCoach(voice::SphinxVoiceInput& input, const QString& root, const QString& cache,
                       platform::UserReport& report, Hooks hooks)
    : input_(input), store_(root), setup_{decoder_.model, decoder_.dictionary, QStringLiteral("/usr/lib/sphinxtrain"), cache},
      builder_(store_, decoder_, setup_), learning_(store_), report_(report), hooks_(std::move(hooks))
{
    input_.setProfileStore(root);
    input_.setLearning(true);
    connect(&input_, &voice::SphinxVoiceInput::keepable, &learning_, &voice::CommandLearning::offer);
    connect(&input_, &voice::VoiceInput::heard, &learning_, [this](const QString& command) { learning_.heard(command); });
    connect(&learning_, &voice::CommandLearning::enoughToAdapt, this, [this](const QString& microphone) {
        if (!builder_.busy() && !window_)
            builder_.build(microphone);
    });
    connect(&builder_, &voice::ProfileBuilder::finished, this, &VoiceCoach::built);
    connect(&input_, &voice::SphinxVoiceInput::profileInUse, this,
            [this](const QString&, voice::ProfileKind kind) { lastKind_ = kind; });
    connect(&input_, &voice::SphinxVoiceInput::profileFailed, this,
            [this](const QString& why) { report_.problem(QStringLiteral("Voice profile not used"), why); });
}

void VoiceCoach::addMenuEntries(QMenu* menu)
{
    if (input_.usable())
        connect(menu->addAction(QStringLiteral("Teach Genie your voice…")), &QAction::triggered, this, &VoiceCoach::teach);
    // Also without a microphone: what is kept of the user's voice can always be deleted.
    if (!store_.empty())
        connect(menu->addAction(QStringLiteral("Forget my voice")), &QAction::triggered, this, &VoiceCoach::forget);
}

void VoiceCoach::teach()
{
    if (window_) {
        window_->raise();
        window_->activateWindow();
        return;
    }
    if (const QStringList missing = voice::Adaptation::missingPackages(setup_); !missing.isEmpty()) {
        report_.problem(QStringLiteral("Genie cannot learn your voice"),
                        QStringLiteral("Learning a voice needs the Debian packages %1; install them and try again.")
                            .arg(missing.join(QStringLiteral(" and "))));
        return;
    }
    // A session starts anywhere in the list, so a second one reads other sentences first.
    const QStringList& all = voice::TrainingSentences();
    const int from = int(QRandomGenerator::global()->bounded(quint32(all.size())));
    QStringList sentences;
    for (int i = 0; i < all.size(); ++i)
        sentences << all[(from + i) % all.size()];
    learning_.dropPending();
    auto* w = new TrainingWindow(sentences, SessionSentences, false);
    window_ = w;
    connect(w, &TrainingWindow::sentenceShown, &input_, [this](const QString& s) { input_.readSentence(s); });
    connect(w, &TrainingWindow::readRequested, &input_, &voice::VoiceInput::listenForPhrase);
    connect(&input_, &voice::SphinxVoiceInput::readingHeard, w, &TrainingWindow::heard);
    connect(&input_, &voice::VoiceInput::listeningChanged, w, &TrainingWindow::setListening);
    connect(w, &TrainingWindow::cancelled, &input_, [this] { input_.readSentence({}); });
    connect(w, &TrainingWindow::finished, this, &VoiceCoach::sessionDone);
    emit windowShown(w);
    w->begin();
    w->adjustSize();
    if (hooks_.figure)
        w->move(desktop::Monitors::current().beside(hooks_.figure(), w->frameGeometry().size(), 8));
    w->show();
    w->raise();
    w->activateWindow();
}

void VoiceCoach::sessionDone(const QStringList& sentences, const std::vector<voice::Reading>& readings, bool learning)
{
    input_.readSentence({});
    const QString microphone = readings.empty() ? QString() : readings.back().microphone;
    std::vector<voice::StoredRecording> kept;
    std::vector<std::vector<short>> sounds;
    for (size_t i = 0; i < readings.size(); ++i) {
        kept.push_back({{}, sentences[qsizetype(i)], readings[i].room, false});
        sounds.push_back(readings[i].sound);
    }
    if (auto saved = store_.saveReadings(microphone, kept, sounds); !saved) {
        report_.problem(QStringLiteral("Genie cannot learn your voice"),
                        QStringLiteral("Your readings could not be kept: %1.").arg(saved.why()));
        return;
    }
    store_.setLearning(microphone, learning);
    fromTraining_ = true;
    if (builder_.busy())
        builder_.cancel(); // its result would be older than these readings; they are made again below
    else
        builder_.build(microphone);
    if (hooks_.say)
        hooks_.say(QStringLiteral("Thank you. I am learning your voice now; it takes a few seconds."));
}

QString VoiceCoach::summary(const voice::BuildReport& r) const
{
    if (!r.made)
        return QStringLiteral("I could not learn your voice: %1.").arg(r.why);
    if (r.kept)
        return QStringLiteral("I listened again, but what I had learnt of your voice before still does better, so I keep it.");
    if (r.kind == voice::ProfileKind::None)
        return QStringLiteral("I listened to your reading, but it did not help me understand you better, so I go on as "
                              "before. On the sentences I kept aside I missed %1 words of %2 either way.")
            .arg(r.stockErrors)
            .arg(r.words);
    return QStringLiteral("I have learnt your voice. On the sentences I kept aside to check, I now miss %1 words of %2, "
                          "where I missed %3 before.")
        .arg(r.errors)
        .arg(r.words)
        .arg(r.stockErrors);
}

void VoiceCoach::built(const QString& microphone, const voice::BuildReport& report)
{
    if (forgetting_) {
        eraseAll();
        return;
    }
    if (fromTraining_ && report.why == QLatin1String("cancelled")) {
        builder_.build(microphone); // stopped for a newer session's readings
        return;
    }
    input_.reloadProfile();
    emit adapted(microphone, report);
    const bool told = std::exchange(fromTraining_, false);
    if (!report.made && report.why != QLatin1String("cancelled"))
        report_.problem(QStringLiteral("Genie could not learn your voice"), summary(report));
    // After learning from commands, Genie speaks up only when what it uses changes.
    if (hooks_.say && (told || (report.made && !report.kept && report.kind != lastKind_)))
        hooks_.say(told ? summary(report)
                        : QStringLiteral("From your commands, %1").arg(lowerFirst(summary(report))));
}

void VoiceCoach::forget()
{
    const auto answer = QMessageBox::question(
        nullptr, QStringLiteral("Forget my voice"),
        QStringLiteral("Delete what Genie has learnt of your voice, and every recording kept for it?"),
        QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    if (answer != QMessageBox::Yes)
        return;
    if (window_)
        window_->close();
    learning_.dropPending();
    if (builder_.busy()) {
        forgetting_ = true;
        builder_.cancel();
        return;
    }
    eraseAll();
}

void VoiceCoach::eraseAll()
{
    forgetting_ = false;
    fromTraining_ = false;
    input_.reloadProfile();
    if (auto gone = store_.forget(); !gone)
        report_.problem(QStringLiteral("Genie could not forget your voice"), gone.why() + u'.');
    emit forgotten();
    if (hooks_.say)
        hooks_.say(QStringLiteral("I have forgotten your voice, and deleted every recording of it."));
}

} // namespace training
