// Genie speaking through a real speech-dispatcher and sound server: heard, shown in step with the
// daemon's marks, cut short at once, and carried on by espeak-ng when the daemon dies.
#include "e2e/Desktop.h"
#include "e2e/PulseServer.h"
#include "e2e/SinkMonitor.h"
#include "e2e/SpeechDaemon.h"
#include "speech/SpeechDispatcherSpeaker.h"
#include "support/CharacterTestSupport.h"

#include <csignal>

using namespace std::chrono;
using Clock = steady_clock;

namespace {

double msBetween(Clock::time_point a, Clock::time_point b)
{
    return duration<double, std::milli>(b - a).count();
}

const QString Sentence = "The quick brown fox jumps over the lazy dog. It runs to the river, and sleeps there.";

class SpeechDispatcher : public ::testing::Test {
protected:
    struct Reached {
        int unit;
        QString balloon;
        double sinceMarkMs;
    };
    void SetUp() override
    {
        std::signal(SIGPIPE, SIG_IGN);
        ASSERT_TRUE(pulse.ok()) << pulse.error().toStdString();
        ASSERT_TRUE(daemon.ok()) << daemon.error().toStdString();
        ASSERT_TRUE(monitor.ok()) << monitor.error().toStdString();
        qputenv("PULSE_SERVER", pulse.address().toUtf8());
        qputenv("SPEECHD_ADDRESS", daemon.address().toUtf8());
        ASSERT_TRUE(agent.Characters().Load("Genie", "Genie.acs"));
        genie = agent.Characters().Item("Genie");
        genie->Show(true);
        speaker = dynamic_cast<speech::SpeechDispatcherSpeaker*>(&server.speech());
        ASSERT_TRUE(speaker) << "speech-dispatcher was not chosen";
        ASSERT_TRUE(testsupport::waitUntil([&] { return speaker->ready(); }, 10000)) << t.notifier.shown.join("\n").toStdString();
        QObject::connect(speaker, &speech::SpeechEngine::unitReached, [this](int unit) {
            reached.push_back({unit, genie->stage().balloonText(), msBetween(speaker->lastMarkAt(), Clock::now())});
        });
    }
    // Says `text` and waits until it has been said; returns when it was asked.
    Clock::time_point say(const QString& text)
    {
        const auto at = Clock::now();
        genie->Speak(text);
        EXPECT_TRUE(testsupport::waitUntilStill(genie->stage(), 30000));
        return at;
    }

    e2e::PulseServer pulse;
    e2e::SpeechDaemon daemon{pulse.address()};
    e2e::SinkMonitor monitor{pulse.address()};
    testsupport::TestPlatform t;
    character::CharacterServer server{[this] {
        character::ServerOptions o;
        o.stage.report = &t.report;
        o.stage.balloonLingerMs = 20;
        o.searchPath = {testsupport::sourceDir() + "/assets"};
        return o;
    }()};
    character::Agent agent{server};
    character::Character* genie = nullptr;
    speech::SpeechDispatcherSpeaker* speaker = nullptr;
    std::vector<Reached> reached;
};

TEST_F(SpeechDispatcher, IsHeardShowsEachWordAtItsMarkAndIsCutShortAtOnce)
{
    const auto asked = say(Sentence);
    const auto heard = monitor.firstSound(asked);
    ASSERT_TRUE(heard) << "nothing was heard";
    EXPECT_LE(msBetween(asked, *heard), 300);
    // Every word's mark came, in order, and the balloon grew with each within 100 ms of it.
    ASSERT_EQ(reached.size(), 17u);
    for (size_t i = 0; i < reached.size(); ++i) {
        EXPECT_EQ(reached[i].unit, int(i));
        EXPECT_LE(reached[i].sinceMarkMs, 100) << i;
        if (i > 0) {
            EXPECT_TRUE(reached[i].balloon.startsWith(reached[i - 1].balloon) && reached[i].balloon.size() >
                        reached[i - 1].balloon.size()) << reached[i].balloon.toStdString();
        }
    }
    EXPECT_EQ(reached.back().balloon, Sentence);

    // The talk key cuts a long text short: silence within 100 ms, and the next text is heard.
    genie->Speak(Sentence + " " + Sentence + " " + Sentence);
    ASSERT_TRUE(testsupport::waitUntil([&] { return reached.size() > 17 + 5; }, 5000));
    const auto cut = Clock::now();
    genie->stage().setListening(true);
    testsupport::pump(600);
    EXPECT_TRUE(monitor.firstSound(cut - milliseconds(300), cut)) << "it was not speaking";
    if (const auto last = monitor.lastSound(cut)) {
        EXPECT_LE(msBetween(cut, *last), 100);
    }
    genie->stage().setListening(false);
    const auto again = say("Yes Sir!");
    ASSERT_TRUE(monitor.firstSound(again));
    EXPECT_LE(msBetween(again, *monitor.firstSound(again)), 300);
    EXPECT_TRUE(t.notifier.shown.isEmpty()) << t.notifier.shown.join("\n").toStdString();
}

TEST_F(SpeechDispatcher, ADaemonKilledMidSentenceLeavesTheRestToEspeakNg)
{
    // What a user can choose from, without a display.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(name);
    const e2e::Ran listed = e2e::RunToEnd(env, e2e::ProgramPath(), {"--voices"}, 30000);
    EXPECT_TRUE(listed.ok()) << listed.err.toStdString();
    EXPECT_TRUE(listed.out.startsWith("MODULE\tVOICE\tLANGUAGE\n"));
    EXPECT_TRUE(listed.out.contains(QRegularExpression("\nespeak-ng\tEnglish \\(America\\)\ten-US\n"))) << listed.out.left(300).toStdString();

    genie->Speak(Sentence + " " + Sentence);
    ASSERT_TRUE(testsupport::waitUntil([&] { return reached.size() > 5; }, 5000));
    const auto killed = Clock::now();
    daemon.kill();
    ASSERT_TRUE(testsupport::waitUntilStill(genie->stage(), 30000));
    EXPECT_EQ(t.notifier.shown.filter(QRegularExpression("^Genie speaks with espeak-ng\\|speech-dispatcher went away",
                                                                   QRegularExpression::CaseInsensitiveOption)).size(), 1)
        << t.notifier.shown.join("\n").toStdString();
    // The rest of the text, from the word marked last, was heard from espeak-ng and shown to the end.
    EXPECT_TRUE(monitor.firstSound(killed + milliseconds(100)));
    for (size_t i = 1; i < reached.size(); ++i)
        EXPECT_TRUE(reached[i].unit - reached[i - 1].unit <= 1 && reached[i].unit >= reached[i - 1].unit) << i;
    EXPECT_EQ(reached.back().balloon, Sentence + " " + Sentence);

    const e2e::Ran none = e2e::RunToEnd(env, e2e::ProgramPath(), {"--voices"}, 30000);
    EXPECT_EQ(none.code, 1);
    EXPECT_TRUE(none.err.contains("speech-dispatcher could not be reached")) << none.err.toStdString();

    // The next text looks for a daemon again; one whose sound goes nowhere holds nothing up.
    daemon.start(pulse.address() + "-gone");
    const auto later = say("Yes Sir!");
    EXPECT_TRUE(monitor.firstSound(later));
    EXPECT_TRUE(testsupport::waitUntil([&] { return !t.notifier.shown.filter("did not answer").isEmpty(); }, 15000));
    const auto last = say("Yes Sir!");
    EXPECT_TRUE(monitor.firstSound(last));
    EXPECT_FALSE(speaker->ready());
}

} // namespace
