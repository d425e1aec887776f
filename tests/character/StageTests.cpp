// The character service: requests in order, connections sharing one figure, idling, the menu, listening.
#include "character/Agent.h"
#include "support/CharacterTestSupport.h"

#include <gtest/gtest.h>

using namespace character;
using testsupport::BalloonText;
using testsupport::StageRecorder;
using testsupport::waitUntilStill;

namespace {
struct Connection {
    Agent agent;
    Character* c = nullptr;
    explicit Connection(CharacterServer& server) : agent(server)
    {
        EXPECT_TRUE(agent.Characters().Load("Genie", "Genie.acs"));
        c = agent.Characters().Item("Genie");
    }
};

class StageTest : public ::testing::Test {
protected:
    testsupport::FastCharacterServer server;
    Connection a{server};
    CharacterStage& stage = a.c->stage();
    StageRecorder rec{stage};
};
} // namespace

// In call order once the caller has returned; StopAll drops the kinds asked for, cutting the running one short.
TEST_F(StageTest, RequestsRunInCallOrderAndStopAllDropsWhatItNames)
{
    Connection other(server);
    a.c->Show();
    a.c->Play("Acknowledge");
    a.c->Speak("Hello there");
    a.c->GestureAt(0, 0); // a gesture is an animation too
    other.c->Play("Congratulate"); // another connection's animation is not this one's to stop
    a.c->Play("Reading");
    a.c->StopAll("Play");
    EXPECT_TRUE(rec.started.isEmpty()); // nothing happens inside the caller's handler
    ASSERT_TRUE(waitUntilStill(stage));
    EXPECT_EQ(rec.started, QStringList({"Show", "Speak:Hello there", "Play:Congratulate"}));
    EXPECT_EQ(rec.finished, rec.started);
    EXPECT_TRUE(stage.window()->isVisible());

    rec.started.clear();
    a.c->Play("Domagic2");
    a.c->Speak("after");
    ASSERT_TRUE(testsupport::waitUntil([&] { return rec.started.contains("Play:Domagic2"); }));
    ASSERT_FALSE(rec.finished.contains("Play:Domagic2"));
    a.c->StopAll("Play");
    EXPECT_TRUE(rec.finished.contains("Play:Domagic2"));
    ASSERT_TRUE(waitUntilStill(stage));
    EXPECT_EQ(rec.started, QStringList({"Play:Domagic2", "Speak:after"}));

    // With no kind everything waiting goes, speech included; Show and Hide never do. Hidden, nothing shows.
    rec.started.clear();
    a.c->Speak("one");
    a.c->Hide(true);
    a.c->Play("Read");
    a.c->StopAll();
    a.c->Speak("nobody sees this");
    ASSERT_TRUE(waitUntilStill(stage));
    EXPECT_EQ(rec.started, QStringList({"Hide:fast", "Speak:nobody sees this"}));
    EXPECT_FALSE(stage.window()->isVisible());
    EXPECT_EQ(BalloonText(), "");
}

TEST_F(StageTest, ConnectionsShareOnePlaceAndTheLastShownIsInEffect)
{
    Connection& main = a;
    Connection dialog(server);
    ASSERT_EQ(&stage, &dialog.c->stage());
    main.c->Commands().Add("sayTime", "Say the time", "Time");
    main.c->Commands().Add("sayDate", " Say the date", "Date", true, false);
    dialog.c->Commands().Add("OK", "OK", "Okay");
    dialog.c->Commands().Add("nextDay", "", "Next Day", true, false);
    dialog.c->Commands().Add("off", "Off", "Off", false, true);

    main.c->setLeft(40);
    main.c->setTop(70);
    EXPECT_EQ(QPoint(dialog.c->Left(), dialog.c->Top()), QPoint(40, 70));
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
    EXPECT_EQ(stage.inEffect(), main.c);
    main.c->Hide(true);
    dialog.c->Show(true);
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
    // The figure stayed on screen the whole time: hiding one and showing the other is seamless.
    ASSERT_TRUE(waitUntilStill(stage));
    EXPECT_TRUE(stage.window()->isVisible());
    // A duplicate name is refused. (The menu of the commands in effect: every pick in the e2e runs.)
    EXPECT_FALSE(dialog.c->Commands().Add("OK", "Again", "Again"));
    main.c->Show(true);
    dialog.c->Hide(true);
    EXPECT_TRUE(stage.deliverCommand("sayDate"));
    testsupport::pump();
    EXPECT_EQ(got, QStringList({"dialog:nextDay", "main:sayDate"}));
}

// Idling starts when the queue runs dry and ends with the next request; listening silences the character
// and holds the queue until the user is done. (The balloon growing word by word: SpeechDispatcher.)
TEST_F(StageTest, IdlingEndsWithTheNextRequestAndListeningSilencesTheCharacter)
{
    QStringList idling;
    QObject::connect(a.c, &Character::IdleStart, [&](const QString& id) { idling << "start:" + id; });
    QObject::connect(a.c, &Character::IdleComplete, [&](const QString& id) { idling << "complete:" + id; });
    a.c->Show(true);
    ASSERT_TRUE(testsupport::waitUntil([&] { return idling.size() == 1; }));
    // The balloon shows the text as written, not as spoken.
    const QString text = "\\map=\"Hollin Company\"=\"Hollin Co.\"\\ says a long sentence the user does not wait for";
    a.c->Speak(text);
    ASSERT_TRUE(testsupport::waitUntil([&] { return BalloonText().startsWith("Hollin Co. says a"); }));
    EXPECT_EQ(idling, QStringList({"start:Genie", "complete:Genie"}));
    // The speech cut and "Listening…" shown: RealMicrophone.EveryWayToTalk...
    stage.setListening(true);
    a.c->Play("Acknowledge");
    testsupport::pump();
    EXPECT_FALSE(rec.started.contains("Play:Acknowledge"));
    stage.setListening(false);
    ASSERT_TRUE(waitUntilStill(stage));
    EXPECT_EQ(rec.started.last(), "Play:Acknowledge");
    EXPECT_EQ(rec.finished.filter("Speak:").size(), 1);
    EXPECT_TRUE(testsupport::waitUntil([&] { return idling.size() >= 3 && idling.last() == "start:Genie"; }));
}
