// The character service: requests in order, connections sharing one figure, idling, dragging, listening.
#include "character/Agent.h"
#include "support/CharacterTestSupport.h"

#include <QMenu>
#include <gtest/gtest.h>

using namespace character;
using testsupport::StageRecorder;

namespace {
struct Connection {
    Agent agent;
    Character* c = nullptr;
    explicit Connection(CharacterServer& server, const QString& file = "Genie.acs") : agent(server)
    {
        const auto r = agent.Characters().Load("Genie", file);
        EXPECT_TRUE(r) << r.why().toStdString();
        c = agent.Characters().Item("Genie");
    }
};

class StageTest : public ::testing::Test {
protected:
    testsupport::FastCharacterServer server;
};
} // namespace

TEST_F(StageTest, RequestsRunInCallOrderAfterTheCallerReturns)
{
    Connection a(server);
    StageRecorder rec(a.c->stage());
    a.c->Show();
    a.c->Play("Acknowledge");
    a.c->Speak("Hello there");
    a.c->GestureAt(0, 0);
    a.c->Play("Decline");
    EXPECT_TRUE(rec.started.isEmpty()); // nothing happens inside the caller's handler
    ASSERT_TRUE(testsupport::waitUntilStill(a.c->stage()));
    EXPECT_EQ(rec.started, QStringList({"Show", "Play:Acknowledge", "Speak:Hello there", "Gesture:0,0", "Play:Decline"}));
    EXPECT_EQ(rec.finished, rec.started);
    EXPECT_TRUE(a.c->stage().figureOnScreen());
}

TEST_F(StageTest, StopAllPlayDropsAnimationsButNotSpeech)
{
    Connection a(server), other(server);
    StageRecorder rec(a.c->stage());
    a.c->Show(true);
    other.c->Play("Congratulate"); // another connection's animation is not this one's to stop
    a.c->Play("Reading");
    a.c->Speak("clip text");
    a.c->StopAll("Play");
    ASSERT_TRUE(testsupport::waitUntilStill(a.c->stage()));
    EXPECT_EQ(rec.started, QStringList({"Show:fast", "Play:Congratulate", "Speak:clip text"}));

    // A running animation is cut short; what follows still runs.
    rec.started.clear();
    a.c->Play("Domagic2");
    a.c->Speak("after");
    ASSERT_TRUE(testsupport::waitUntil([&] { return a.c->stage().currentAnimation() == "Domagic2"; }));
    a.c->StopAll("Play");
    EXPECT_EQ(a.c->stage().currentAnimation(), "");
    ASSERT_TRUE(testsupport::waitUntilStill(a.c->stage()));
    EXPECT_EQ(rec.started, QStringList({"Play:Domagic2", "Speak:after"}));

    // StopAll with no kind drops everything waiting, speech included; Show/Hide are never dropped.
    rec.started.clear();
    a.c->Speak("one");
    a.c->Hide(true);
    a.c->Play("Read");
    a.c->StopAll();
    ASSERT_TRUE(testsupport::waitUntilStill(a.c->stage()));
    EXPECT_EQ(rec.started, QStringList({"Hide:fast"}));
}

TEST_F(StageTest, ConnectionsShareOnePlaceAndTheLastShownIsInEffect)
{
    Connection main(server), dialog(server);
    ASSERT_EQ(&main.c->stage(), &dialog.c->stage());
    main.c->Commands().Add("sayTime", "Say the time", "Time");
    main.c->Commands().Add("sayDate", " Say the date", "Date", true, false);
    dialog.c->Commands().Add("OK", "OK", "Okay");
    dialog.c->Commands().Add("nextDay", "", "Next Day", true, false);
    dialog.c->Commands().Add("off", "Off", "Off", false, true);

    main.c->setLeft(40);
    main.c->setTop(70);
    EXPECT_EQ(dialog.c->Left(), 40);
    EXPECT_EQ(dialog.c->Top(), 70);
    EXPECT_EQ(main.c->MoveCause(), ProgramMoved);
    EXPECT_EQ(dialog.c->MoveCause(), OtherClientMoved);
    // Each Move is told with the cause of its own move, however many followed before it was delivered.
    QList<int> causes;
    QObject::connect(dialog.c, &Character::Move, [&] { causes << dialog.c->MoveCause(); });
    dialog.c->setLeft(41);
    main.c->setLeft(40);
    testsupport::pump();
    EXPECT_EQ(causes, QList<int>({OtherClientMoved, OtherClientMoved, ProgramMoved, OtherClientMoved}));

    main.c->Show(true);
    EXPECT_EQ(main.c->stage().inEffect(), main.c);
    main.c->Hide(true);
    dialog.c->Show(true);
    CharacterStage& stage = main.c->stage();
    EXPECT_EQ(stage.inEffect(), dialog.c);
    std::vector<QString> phrases;
    for (const auto& p : stage.voicePhrasesInEffect())
        phrases.push_back(p.phrase);
    EXPECT_EQ(phrases, (std::vector<QString>{"Okay", "Next Day"})); // hidden answers, disabled does not

    QStringList got;
    QObject::connect(dialog.c, &Character::Command, [&](const UserInput& in) { got << "dialog:" + in.Name; });
    QObject::connect(main.c, &Character::Command, [&](const UserInput& in) { got << "main:" + in.Name; });
    EXPECT_TRUE(stage.deliverCommand("nextDay", "Next Day"));
    EXPECT_FALSE(stage.deliverCommand("off"));     // disabled
    EXPECT_FALSE(stage.deliverCommand("sayTime")); // belongs to the hidden connection
    testsupport::pump();
    EXPECT_EQ(got, QStringList({"dialog:nextDay"}));

    // The figure stayed on screen the whole time: hiding one and showing the other is seamless.
    ASSERT_TRUE(testsupport::waitUntilStill(stage));
    EXPECT_TRUE(stage.figureOnScreen());
    EXPECT_TRUE(stage.window()->isVisible());

    main.c->Show(true);
    dialog.c->Hide(true);
    EXPECT_EQ(stage.inEffect(), main.c);
    EXPECT_TRUE(stage.deliverCommand("sayDate"));
    testsupport::pump();
    EXPECT_EQ(got.last(), "main:sayDate");
}

TEST_F(StageTest, IdleStartsWhenTheQueueRunsDryAndEndsWithTheNextRequest)
{
    Connection a(server);
    QStringList events;
    QObject::connect(a.c, &Character::IdleStart, [&](const QString& id) { events << "start:" + id; });
    QObject::connect(a.c, &Character::IdleComplete, [&](const QString& id) { events << "complete:" + id; });
    a.c->Show(true);
    ASSERT_TRUE(testsupport::waitUntil([&] { return events.size() == 1; }));
    EXPECT_EQ(events, QStringList({"start:Genie"}));
    EXPECT_TRUE(a.c->stage().idle());
    a.c->Play("Acknowledge");
    EXPECT_FALSE(a.c->stage().idle());
    ASSERT_TRUE(testsupport::waitUntil([&] { return events.size() == 3; }));
    EXPECT_EQ(events, QStringList({"start:Genie", "complete:Genie", "start:Genie"}));
}

TEST_F(StageTest, HiddenFigureSkipsAnimationsAndSpeaksWithoutBalloon)
{
    Connection a(server);
    a.c->Show(true);
    a.c->Hide();
    a.c->Play("Acknowledge");
    a.c->Speak("nobody sees this");
    ASSERT_TRUE(testsupport::waitUntilStill(a.c->stage()));
    EXPECT_FALSE(a.c->stage().figureOnScreen());
    EXPECT_FALSE(a.c->stage().window()->isVisible());
    EXPECT_EQ(a.c->stage().balloonText(), "");
}

TEST_F(StageTest, BalloonShowsTheWordsAsTheyAreSpoken)
{
    Connection a(server);
    a.c->Show(true);
    a.c->Speak("\\map=\"Hollin Company\"=\"Hollin Co.\"\\ says \\Emp\\hello");
    QStringList seen;
    ASSERT_TRUE(testsupport::waitUntil([&] {
        const QString t = a.c->stage().balloonText();
        if (!t.isEmpty() && (seen.isEmpty() || seen.last() != t))
            seen << t;
        return !a.c->stage().busy() && a.c->stage().queued() == 0;
    }));
    EXPECT_EQ(seen.first(), "Hollin Co.");
    EXPECT_EQ(seen.last(), "Hollin Co. says hello");
}

// Drags and the window's shape are the e2e runs' to check.
TEST_F(StageTest, TheMenuListsTheCommandsInEffect)
{
    Connection a(server);
    a.c->Commands().Add("first", "First", "First");
    a.c->Commands().Add("voiceOnly", "Voice only", "Voice", true, false);
    a.c->Commands().Add("noCaption", "", "None");
    a.c->Commands().Add("second", "Second", "Second", false, true);
    a.c->Show(true);
    ASSERT_TRUE(testsupport::waitUntilStill(a.c->stage()));

    QMenu* shown = nullptr;
    QObject::connect(&a.c->stage(), &CharacterStage::menuAboutToShow, [&](QMenu* m) { shown = m; });
    a.c->stage().popupMenu(QPoint(5, 5));
    ASSERT_NE(shown, nullptr);
    QStringList captions;
    for (QAction* act : shown->actions())
        captions << act->text() + (act->isEnabled() ? "" : "(off)");
    EXPECT_EQ(captions, QStringList({"First", "Second(off)"}));
    QStringList picked;
    QObject::connect(a.c, &Character::Command, [&](const UserInput& in) { picked << in.Name; });
    shown->actions().first()->trigger();
    testsupport::pump();
    EXPECT_EQ(picked, QStringList({"first"}));
    shown->close();
}

TEST_F(StageTest, CommandsRefuseDuplicatesAndReportChanges)
{
    int changes = 0;
    Commands commands([&] { ++changes; });
    EXPECT_TRUE(commands.Add("a", "A", "Alpha"));
    EXPECT_FALSE(commands.Add("a", "A2", "Alpha2"));
    EXPECT_FALSE(commands.Add("", "x", "x"));
    EXPECT_EQ(commands.Count(), 1);
    commands.Item("a")->setVoice("Close");
    commands.Item("a")->setVoice("Close");
    EXPECT_EQ(changes, 2);
    EXPECT_FALSE(commands.Remove("b"));
    EXPECT_TRUE(commands.Remove("a"));
    EXPECT_EQ(commands.Item("a"), nullptr);
}

TEST_F(StageTest, ListeningSilencesTheCharacterAndHoldsTheQueueUntilTheUserIsDone)
{
    Connection a(server);
    StageRecorder rec(a.c->stage());
    CharacterStage& stage = a.c->stage();
    a.c->Show(true);
    a.c->Speak("a long sentence that the user does not wait for before talking");
    ASSERT_TRUE(testsupport::waitUntil([&] { return !stage.balloonText().isEmpty(); }));
    stage.setListening(true);
    EXPECT_FALSE(stage.busy());
    EXPECT_EQ(stage.balloonText(), QStringLiteral("Listening\u2026"));
    a.c->Play("Acknowledge");
    testsupport::pump(50);
    EXPECT_FALSE(rec.started.contains("Play:Acknowledge"));
    EXPECT_EQ(stage.balloonText(), QStringLiteral("Listening\u2026"));
    stage.setListening(false);
    ASSERT_TRUE(testsupport::waitUntilStill(stage));
    EXPECT_EQ(rec.started.last(), "Play:Acknowledge");
    EXPECT_EQ(rec.finished.filter("Speak:").size(), 1);
}
