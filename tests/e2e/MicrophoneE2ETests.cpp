// Voice commands through a real sound server: the microphone as a user's desktop gives it.
#include "DesktopTest.h"
#include "NotificationServer.h"
#include "PulseServer.h"
#include "SpeechClips.h"

#include <QDir>
#include <QThread>
#include <csignal>

using namespace e2e;

namespace {

class RealMicrophone : public DesktopTest {
protected:
    void SetUp() override
    {
        DesktopTest::SetUp();
        std::signal(SIGPIPE, SIG_IGN); // a source unloaded under the feeder
    }
    void TearDown() override
    {
        desktop->setSoundServer({});
        desktop->xdotool({"keyup", "Pause", "mouseup", "2"}); // after a failure half way
    }

    // The phrase as a quiet microphone gives it, ending as the voice does.
    std::vector<short> clip(const QString& phrase)
    {
        auto samples = voicetest::SpeechClip(synth, phrase, "en-us", seed++);
        samples.resize(samples.size() - voicetest::Condition::afterSamples);
        return samples;
    }
    // Presses, says the phrase into the microphone, and lets go `lateMs` after the voice has ended.
    void talk(Varrow& v, const QStringList& press, const QStringList& release, const QString& phrase, int lateMs = 0)
    {
        QThread::msleep(100); // a press right after a release is the key repeating
        desktop->xdotool(press);
        ASSERT_TRUE(v.waitFor("voice listening")) << v.trace().toStdString();
        pulse.say(clip(phrase));
        pulse.waitUntilSaid();
        QThread::msleep(lateMs);
        desktop->xdotool(release);
    }

    voicetest::Synthesiser synth;
    uint32_t seed = 5;
    PulseServer pulse;
    const QStringList pauseDown{"keydown", "Pause"}, pauseUp{"keyup", "Pause"};
};

TEST_F(RealMicrophone, EveryWayToTalkIsHeardAndAMicrophoneThatGoesIsToldOnce)
{
    ASSERT_TRUE(pulse.ok()) << pulse.error().toStdString();
    ASSERT_TRUE(synth.ready());
    desktop->setSoundServer(pulse.address());
    Varrow v(*desktop, home.path());
    const QRect character = startAndWait(v);
    const QString x = QString::number(character.center().x()), y = QString::number(character.center().y());
    const QStringList middleDown{"mousemove", x, y, "mousedown", "2"}, middleUp{"mouseup", "2"};

    // The key let go as the voice ends leaves the last syllable in the server; and half a second later.
    talk(v, pauseDown, pauseUp, "Time");
    ASSERT_TRUE(v.waitFor("voice heard sayTime \\(Time\\)")) << v.trace().toStdString();
    talk(v, pauseDown, pauseUp, "Date", 500);
    ASSERT_TRUE(v.waitFor("voice heard sayDate \\(Date\\)")) << v.trace().toStdString();

    // Five in a row, every way to talk.
    talk(v, middleDown, middleUp, "Now");
    ASSERT_TRUE(v.waitFor("voice heard sayNow \\(Now\\)")) << v.trace().toStdString();
    ASSERT_TRUE(v.pick(character.center(), "Listen"));
    ASSERT_TRUE(v.waitFor("voice listening"));
    pulse.say(voicetest::SpeechClip(synth, "Clipboard", "en-us", seed++));
    ASSERT_TRUE(v.waitFor("voice stopped", 8000)) << v.trace().toStdString();
    ASSERT_TRUE(v.waitFor("voice heard readClip \\(Clipboard\\)")) << v.trace().toStdString();
    talk(v, pauseDown, pauseUp, "Time");
    ASSERT_TRUE(v.waitFor("voice heard sayTime \\(Time\\)")) << v.trace().toStdString();
    talk(v, middleDown, middleUp, "Date");
    ASSERT_TRUE(v.waitFor("voice heard sayDate \\(Date\\)")) << v.trace().toStdString();
    talk(v, pauseDown, pauseUp, "Now", 200);
    ASSERT_TRUE(v.waitFor("voice heard sayNow \\(Now\\)")) << v.trace().toStdString();

    // The microphone unplugged while the user talks: listening ends, the user is told once, and the
    // next press says voice is off instead of listening to nothing.
    desktop->xdotool(pauseDown);
    ASSERT_TRUE(v.waitFor("voice listening"));
    pulse.say(clip("Calendar"));
    QThread::msleep(300);
    ASSERT_TRUE(pulse.removeMicrophone("mic"));
    ASSERT_TRUE(v.waitFor("voice stopped"));
    ASSERT_TRUE(v.waitFor("voice off The microphone went away .*")) << v.trace().toStdString();
    desktop->xdotool(pauseUp);
    talk(v, pauseDown, pauseUp, "Calendar");
    ASSERT_TRUE(v.waitFor("voice refused .*")) << v.trace().toStdString();

    // A headset plugged in becomes the default input: the next press hears it.
    ASSERT_TRUE(pulse.addMicrophone("headset"));
    talk(v, pauseDown, pauseUp, "Time");
    ASSERT_TRUE(v.waitFor("voice heard sayTime \\(Time\\)")) << v.trace().toStdString();

    // The whole sound server gone mid-utterance.
    desktop->xdotool(pauseDown);
    ASSERT_TRUE(v.waitFor("voice listening"));
    pulse.say(clip("Calendar"));
    QThread::msleep(300);
    pulse.stop();
    ASSERT_TRUE(v.waitFor("voice off The microphone went away .*")) << v.trace().toStdString();
    desktop->xdotool(pauseUp);
    QThread::msleep(100);
    desktop->xdotool(pauseDown);
    ASSERT_TRUE(v.waitFor("voice refused No sound server answered .*")) << v.trace().toStdString();
    desktop->xdotool(pauseUp);
    EXPECT_FALSE(v.traced("voice heard setAlarm|voice heard calendar"));
    EXPECT_EQ(v.errors().count("The microphone went away"), 2) << v.errors().toStdString();
    ASSERT_TRUE(v.pick(character.center(), "Say the time"));
    ASSERT_TRUE(v.waitFor("started Speak The time is now .*")) << v.trace().toStdString();
}

// The user reads the sentences in a noisy room; readings that cannot be used are asked again; the
// profile made in the background is used for the next command, and Forget deletes it all.
TEST_F(RealMicrophone, TeachingGenieMakesAProfileThatIsUsedAndForgetDeletesIt)
{
    ASSERT_TRUE(pulse.ok()) << pulse.error().toStdString();
    desktop->setSoundServer(pulse.address());
    Varrow v(*desktop, home.path());
    const QRect character = startAndWait(v);
    // A voice at RMS 3000 over a steady noise 10 dB under it.
    pulse.setNoise(950);
    const voicetest::Condition voiceAlone{"voice", voicetest::Condition::Kind::DigitalSilence, 0};
    auto read = [&](const QString& text) {
        QThread::msleep(100);
        desktop->xdotool(pauseDown);
        ASSERT_TRUE(v.waitFor("voice listening")) << v.trace().toStdString();
        pulse.say(voiceAlone.apply(voicetest::Say(synth, text, "en+f2"), seed++));
        pulse.waitUntilSaid();
        desktop->xdotool(pauseUp);
    };
    ASSERT_TRUE(v.pick(character.center(), "Teach Genie your voice…"));
    auto shown = v.waitFor("training sentence 1/20 (.*)");
    ASSERT_TRUE(shown) << v.trace().toStdString();
    QThread::msleep(300);
    desktop->screenshot(shot("training-window"));
    read(QString()); // the key pressed, and nothing said
    ASSERT_TRUE(v.waitFor("training again Genie heard nothing.*")) << v.trace().toStdString();
    read("Where did I put my glasses");
    ASSERT_TRUE(v.waitFor("training again That did not sound like the sentence.*")) << v.trace().toStdString();
    QString sentence = shown->captured(1);
    for (int n = 1; n <= 20; ++n)
        for (int attempt = 0;; ++attempt) { // a reading in noise is now and then asked again
            read(sentence);
            const auto next = v.waitFor(n < 20 ? QString("training (sentence %1/20 (.*)|again .*)").arg(n + 1)
                                               : QString("training (read|again .*)"), 15000);
            ASSERT_TRUE(next && attempt < 2) << v.trace().toStdString();
            if (!next->captured(1).startsWith("again")) {
                sentence = next->captured(2);
                break;
            }
        }
    ASSERT_TRUE(v.waitFor("voice profile made for mic: mllr.*", 180000)) << v.trace().toStdString();
    ASSERT_TRUE(v.waitFor("started Speak I have learnt your voice.*")) << v.trace().toStdString();
    const QString profile = home.path() + "/data/Varrow/voice/mic/profile";
    EXPECT_TRUE(QFile::exists(profile + "/mllr_matrix"));
    read("Time");
    ASSERT_TRUE(v.waitFor("voice profile for mic: mllr.*")) << v.trace().toStdString();
    ASSERT_TRUE(v.waitFor("voice heard sayTime \\(Time\\)")) << v.trace().toStdString();
    // A profile belongs to its microphone: a headset made the default has none yet (and hears no noise).
    pulse.setNoise(0);
    ASSERT_TRUE(pulse.addMicrophone("headset"));
    talk(v, pauseDown, pauseUp, "Date");
    ASSERT_TRUE(v.waitFor("voice profile for headset: none")) << v.trace().toStdString();
    ASSERT_TRUE(v.waitFor("voice heard sayDate \\(Date\\)")) << v.trace().toStdString();

    ASSERT_TRUE(v.pick(character.center(), "Forget my voice"));
    QThread::msleep(500);
    desktop->xdotool({"key", "alt+y"});
    ASSERT_TRUE(v.waitFor("voice forgotten")) << v.trace().toStdString();
    EXPECT_FALSE(QDir(home.path() + "/data/Varrow/voice").exists());
}

// A microphone named in the settings is the one heard, not the default input, and is told of when missing.
TEST_F(RealMicrophone, TheMicrophoneNamedInTheSettingsIsHeard)
{
    ASSERT_TRUE(pulse.ok()) << pulse.error().toStdString();
    desktop->setSoundServer(pulse.address());
    seedSettings("Microphone", "headset");
    Varrow v(*desktop, home.path());
    startAndWait(v);
    ASSERT_TRUE(WaitUntil([&] { return v.traced("voice off The sound server has no microphone named headset.*"); }, 5000))
        << v.trace().toStdString();
    ASSERT_TRUE(pulse.addMicrophone("headset"));
    ASSERT_TRUE(pulse.pactl({"set-default-source", "mic"}));
    talk(v, pauseDown, pauseUp, "Time");
    ASSERT_TRUE(v.waitFor("voice profile for headset: none")) << v.trace().toStdString();
    ASSERT_TRUE(v.waitFor("voice heard sayTime \\(Time\\)")) << v.trace().toStdString();
}

TEST_F(RealMicrophone, WithNoSoundServerAtStartTheUserIsToldOnceAndAllElseWorks)
{
    NotificationServer server(*desktop, true);
    ASSERT_TRUE(server.ok()) << server.error().toStdString();
    Varrow v(*desktop, home.path());
    const QRect character = startAndWait(v);
    ASSERT_TRUE(WaitUntil([&] { return v.traced("voice off No sound server answered .*"); }, 5000))
        << v.trace().toStdString();
    desktop->xdotool(pauseDown);
    ASSERT_TRUE(v.waitFor("voice refused .*")) << v.trace().toStdString();
    desktop->xdotool(pauseUp);
    ASSERT_TRUE(v.pick(character.center(), "Say the time"));
    ASSERT_TRUE(v.waitFor("started Speak The time is now .*")) << v.trace().toStdString();
    EXPECT_EQ(server.closeAll().filter("|Voice commands are off|").size(), 1);
}

} // namespace
