// Teaching the recogniser its user's voice, learning on from their commands, and forgetting it all.
#pragma once
#include "TrainingWindow.h"
#include "voice/CommandLearning.h"
#include "voice/ProfileBuilder.h"
#include "voice/SphinxVoiceInput.h"

#include <QObject>
#include <QPointer>
#include <QRect>
#include <functional>

class QMenu;

namespace platform {
class UserReport;
}

namespace training {

class VoiceCoach : public QObject {
    Q_OBJECT
public:
    static constexpr int SessionSentences = 20;

    struct Hooks {
        std::function<void(const QString&)> say; // Genie says it
        std::function<QRect()> figure;          // where Genie stands, to put the window beside it
    };
    // Profiles and recordings live under `root`; the tools' copy of the stock model under `cache`.
    VoiceCoach(voice::SphinxVoiceInput& input, const QString& root, const QString& cache, platform::UserReport& report,
               Hooks hooks);

    // "Teach Genie your voice" and, once something is kept, "Forget my voice".
    void addMenuEntries(QMenu* menu);
    void teach();
    void forget();

signals:
    void windowShown(training::TrainingWindow* window);
    void adapted(const QString& microphone, const voice::BuildReport& report);
    void forgotten();

private:
    void sessionDone(const QStringList& sentences, const std::vector<voice::Reading>& readings, bool learning);
    void built(const QString& microphone, const voice::BuildReport& report);
    void eraseAll();
    QString summary(const voice::BuildReport& report) const;

    voice::SphinxVoiceInput& input_;
    voice::ProfileStore store_;
    voice::DecoderSettings decoder_;
    voice::AdaptationSetup setup_;
    voice::ProfileBuilder builder_;
    voice::CommandLearning learning_;
    platform::UserReport& report_;
    Hooks hooks_;
    QPointer<TrainingWindow> window_;
    bool fromTraining_ = false; // the profile being made comes from a session the user waits on
    bool forgetting_ = false;   // to be done once the profile being made has stopped
    voice::ProfileKind lastKind_ = voice::ProfileKind::None;
};

} // namespace training
