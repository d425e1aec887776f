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

namespace {

const auto msBetween = [](auto a, auto b) { return duration<double, std::milli>(b - a).count(); };

const QString Sentence = "The quick brown fox jumps over the lazy dog. It runs to the river, and sleeps there.";

class SpeechDispatcher : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::signal(SIGPIPE, SIG_IGN);
        ASSERT_EQ(pulse.error() + daemon.error + monitor.error, "");
        qputenv("PULSE_SERVER", pulse.address().toUtf8());
        qputenv("SPEECHD_ADDRESS", daemon.address().toUtf8());
        ASSERT_TRUE(agent.Characters().Load("Genie", "Genie.acs"));
        genie = agent.Characters().Item("Genie");
        genie->Show(true);
        speaker = dynamic_cast<speech::SpeechDispatcherSpeaker*>(&server.speech());
        ASSERT_TRUE(speaker) << "speech-dispatcher was not chosen";
        // Each word reached: the unit, the balloon then, and when.
        QObject::connect(speaker, &speech::SpeechEngine::unitReached, [this](int unit) {
            reached.push_back({unit, testsupport::BalloonText(), steady_clock::now()});
        });
        say("Yes"); // the daemon warmed up, and its sound over
        ASSERT_TRUE(testsupport::waitUntil([&] { return monitor.sound(steady_clock::now() - milliseconds(300)).empty(); }));
        reached.clear();
    }
    // Says `text` and waits until it has been said; returns when it was asked.
    steady_clock::time_point say(const QString& text)
    {
        const auto at = steady_clock::now();
        genie->Speak(text);
        EXPECT_TRUE(testsupport::waitUntilStill(genie->stage(), 30000));
        return at;
    }
    // How soon after `asked` the speaker sounded.
    double heardAfter(steady_clock::time_point asked) { return msBetween(asked, monitor.sound(asked).at(0)); }

    e2e::PulseServer pulse;
    e2e::SpeechDaemon daemon{pulse.address()};
    e2e::SinkMonitor monitor{pulse.address()};
    testsupport::TestPlatform t;
    character::CharacterServer server{[this] {
        character::ServerOptions o;
        o.stage.report = &t.report;
        o.searchPath = {testsupport::sourceDir() + "/assets"};
        return o;
    }()};
    character::Agent agent{server};
    character::Character* genie = nullptr;
    speech::SpeechDispatcherSpeaker* speaker = nullptr;
    std::vector<std::tuple<int, QString, steady_clock::time_point>> reached;
};

TEST_F(SpeechDispatcher, IsHeardShowsEachWordAtItsMarkAndIsCutShortAtOnce)
{
    const auto asked = say(Sentence);
    EXPECT_LE(heardAfter(asked), 300);
    // Every word's mark came, in order, and the balloon grew with each, in step with the voice.
    ASSERT_EQ(reached.size(), 17u);
    for (size_t i = 0; i < reached.size(); ++i) {
        const auto& [unit, balloon, at] = reached[i];
        EXPECT_EQ(unit, int(i));
        EXPECT_TRUE(i == 0 || balloon.size() > std::get<1>(reached[i - 1]).size()) << balloon.toStdString();
    }
    EXPECT_EQ(std::get<1>(reached.back()), Sentence);
    const auto sound = monitor.sound(asked);
    EXPECT_LE(msBetween(sound.front(), std::get<2>(reached.front())), 100);
    EXPECT_GE(msBetween(sound.front(), std::get<2>(reached.back())), msBetween(sound.front(), sound.back()) / 2);

    // The talk key cuts a long text short: silence within 100 ms, and the next text is heard.
    genie->Speak(Sentence + " " + Sentence + " " + Sentence);
    ASSERT_TRUE(testsupport::waitUntil([&] { return reached.size() > 17 + 5; }, 5000));
    const auto cut = steady_clock::now();
    genie->stage().setListening(true);
    testsupport::pump(600);
    EXPECT_FALSE(monitor.sound(cut - milliseconds(300), cut).empty()) << "it was not speaking";
    for (const auto at : monitor.sound(cut))
        EXPECT_LE(msBetween(cut, at), 100);
    genie->stage().setListening(false);
    EXPECT_LE(heardAfter(say("Yes Sir!")), 300);
    EXPECT_TRUE(t.notifier.shown.isEmpty()) << t.notifier.shown.join("\n").toStdString();
}

TEST_F(SpeechDispatcher, ADaemonKilledMidSentenceLeavesTheRestToEspeakNg)
{
    // What a user can choose from, without a display. (Under a sanitizer libspeechd takes minutes to
    // read the module's 13 000 voices.)
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(name);
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
    const e2e::Ran listed = e2e::RunToEnd(env, e2e::ProgramPath(), {"--voices"}, 30000);
    EXPECT_TRUE(listed.ok() && listed.out.startsWith("MODULE\tVOICE\tLANGUAGE\n")) << listed.err.toStdString();
    EXPECT_TRUE(listed.out.contains("\nespeak-ng\tEnglish (America)\ten-US\n")) << listed.out.left(300).toStdString();
#endif

    genie->Speak(Sentence + " " + Sentence);
    ASSERT_TRUE(testsupport::waitUntil([&] { return reached.size() > 5; }, 5000));
    const auto killed = steady_clock::now();
    daemon.kill();
    ASSERT_TRUE(testsupport::waitUntilStill(genie->stage(), 30000));
    EXPECT_EQ(t.notifier.shown, QStringList("Genie speaks with espeak-ng|Speech-dispatcher went away, so Genie speaks "
                                            "with espeak-ng's own voice."));
    // The rest of the text, from the word marked last, was heard from espeak-ng and shown to the end.
    EXPECT_LE(heardAfter(killed + milliseconds(50)), 500);
    for (size_t i = 1; i < reached.size(); ++i)
        EXPECT_TRUE(std::get<0>(reached[i]) - std::get<0>(reached[i - 1]) == 1 ||
                    std::get<0>(reached[i]) == std::get<0>(reached[i - 1])) << i;
    EXPECT_EQ(std::get<1>(reached.back()), Sentence + " " + Sentence);
    const e2e::Ran none = e2e::RunToEnd(env, e2e::ProgramPath(), {"--voices"}, 30000);
    EXPECT_TRUE(none.code == 1 && none.err.contains("speech-dispatcher could not be reached")) << none.err.toStdString();

    // The next text looks for a daemon again; one whose sound goes nowhere holds nothing up.
    daemon.start(pulse.address() + "-gone");
    EXPECT_LE(heardAfter(say("Yes Sir!")), 500);
    EXPECT_TRUE(testsupport::waitUntil([&] { return !t.notifier.shown.filter("did not answer").isEmpty(); }, 15000))
        << t.notifier.shown.join("\n").toStdString();
    EXPECT_LE(heardAfter(say("Yes Sir!")), 500);
}

} // namespace
