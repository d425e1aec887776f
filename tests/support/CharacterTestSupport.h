// Test support for the character service: a fast real server, a recorder, and the main side of dialog tests.
#pragma once
#include "TestSupport.h"
#include "character/Agent.h"
#include "character/CharacterServer.h"
#include "character/CharacterStage.h"
#include "desktop/FormActivation.h"
#include "speech/SilentSpeaker.h"

#include <QApplication>
#include <QDialog>
#include <QStringList>
#include <QTimer>
#include <gtest/gtest.h>
#include <utility>

namespace testsupport {

// The real character service, fast and silent, with the character file from the source tree.
// Declare it before anything connected to it.
class FastCharacterServer : public character::CharacterServer {
public:
    explicit FastCharacterServer(int idleDelayMs = 40) : CharacterServer(options(idleDelayMs)) {}

private:
    static character::ServerOptions options(int idleDelayMs)
    {
        character::ServerOptions o;
        o.stage.idleDelayMs = idleDelayMs;
        o.stage.idleMoveEveryMs = 100000;
        o.stage.balloonLingerMs = 20;
        o.stage.tweenStepMs = 5;
        o.stage.timeScale = 0.02;
        o.searchPath = {sourceDir() + "/assets"};
        o.makeSpeech = [] { return std::make_unique<speech::SilentSpeaker>(0.2, 2); };
        return o;
    }
};

// What the figure carried out, in order: "Play:Acknowledge", "Speak:Yes Sir!", "Show", "Hide:fast"...
class StageRecorder : public QObject {
public:
    explicit StageRecorder(character::CharacterStage& stage)
    {
        using S = character::CharacterStage;
        connect(&stage, &S::requestStarted, this, [this](const character::Request& r) { started << describe(r); });
        connect(&stage, &S::requestFinished, this, [this](const character::Request& r) { finished << describe(r); });
    }
    static QString describe(const character::Request& r)
    {
        using K = character::Request::Kind;
        switch (r.kind) {
        case K::Show:
        case K::Hide: return QString(r.kind == K::Show ? "Show" : "Hide") + (r.fast ? ":fast" : "");
        case K::Play: return QStringLiteral("Play:") + r.name;
        case K::Speak: return QStringLiteral("Speak:") + r.name;
        case K::Gesture: return QStringLiteral("Gesture:%1,%2").arg(r.at.x()).arg(r.at.y());
        }
        return {};
    }
    QStringList started, finished;
};

// Runs `act` on the dialog of type D once one is up: for a dialog a form opens with exec().
template <class D> void whenShown(std::function<void(D&)> act)
{
    QTimer::singleShot(5, [act] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* d = dynamic_cast<D*>(w); d && d->isVisible()) {
                act(*d);
                return;
            }
        whenShown<D>(act);
    });
}

// What the character's balloon shows now, as assistive tools read it; empty when it is not up.
inline QString BalloonText()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->inherits("character::Balloon") && w->isVisible())
            return w->windowTitle();
    return {};
}

// Waits until the stage has carried out everything queued.
inline bool waitUntilStill(character::CharacterStage& stage, int timeoutMs = 10000)
{
    return waitUntil([&] { return !stage.busy() && stage.queued() == 0; }, timeoutMs);
}

// A fast character service, test platform services, and what the figure of one stage carried out.
class CharacterTest : public ::testing::Test {
protected:
    void record(character::CharacterStage& s)
    {
        stage_ = &s;
        recorder = std::make_unique<StageRecorder>(s);
    }
    // Runs the queue dry, then returns what the figure carried out since the last call.
    QStringList carriedOut()
    {
        EXPECT_TRUE(waitUntilStill(*stage_));
        return std::exchange(recorder->started, {});
    }
    // The captions of a connection's menu, in order.
    static QStringList listed(const character::Character& c)
    {
        QStringList out;
        for (const auto& cmd : c.Commands().all())
            if (cmd->listed())
                out << cmd->Caption();
        return out;
    }
    template <class Form> static void command(Form& form, const QString& name)
    {
        form.Agent_Command({name, "Genie", {}, false});
    }

    FastCharacterServer server{100000};
    TestPlatform t;
    desktop::FormActivation activation;
    std::unique_ptr<StageRecorder> recorder;

private:
    character::CharacterStage* stage_ = nullptr;
};

// A dialog test's main side: the main form's own connection to the character, shown.
class MainCharacterTest : public CharacterTest {
protected:
    void SetUp() override
    {
        const auto r = mainAgent.Characters().Load(QStringLiteral("Genie"), QStringLiteral("Genie.acs"));
        ASSERT_TRUE(r) << r.why().toStdString();
        mainAgentA = mainAgent.Characters().Item(QStringLiteral("Genie"));
        mainAgentA->Show(true);
        record(mainAgentA->stage());
        carriedOut();
    }
    // Opens a dialog of the main form's afresh; `own` is then the dialog's own connection to the character.
    template <class D, class... More> void openDialog(std::unique_ptr<D>& dialog, platform::Platform& p, More&... more)
    {
        dialog.reset();
        dialog = std::make_unique<D>(p, server, activation, mainAgentA, more...);
        own = mainAgentA->stage().inEffect();
    }

    character::Agent mainAgent{server};
    character::Character* mainAgentA = nullptr;
    character::Character* own = nullptr;
};

} // namespace testsupport
