// Voice commands through a real sound server: the microphone as a user's desktop gives it.
#include "DesktopTest.h"
#include "PulseServer.h"
#include "SpeechClips.h"
#include "voice/Microphone.h"

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
        ASSERT_TRUE(pulse.ok()) << pulse.error().toStdString();
        ASSERT_TRUE(synth.ready());
        desktop->setSoundServer(pulse.address());
    }
    void TearDown() override
    {
        desktop->setSoundServer({});
        desktop->xdotool({"keyup", "Pause", "mouseup", "2"}); // after a failure half way
    }

    // The phrase as a quiet microphone gives it, or one behind a noise suppressor, ending as the voice does.
    std::vector<short> clip(const QString& phrase, bool suppressed = false)
    {
        using Room = voicetest::Condition;
        auto samples = voicetest::SpeechClip(synth, phrase, "en-us", seed++,
                                             suppressed ? Room{"digital silence", Room::Kind::DigitalSilence, 0}
                                                        : Room{"faint", Room::Kind::Faint, 0});
        samples.resize(samples.size() - voicetest::Condition::afterSamples);
        return samples;
    }
    // Presses, says `sound` into the microphone, lets go `lateMs` after it has ended, and waits for `then`.
    std::optional<QRegularExpressionMatch> talk(Varrow& v, const QStringList& press, const std::vector<short>& sound,
                                                const QString& then, int lateMs = 0)
    {
        QThread::msleep(100); // a press right after a release is the key repeating
        desktop->xdotool(press);
        if (!v.waitFor("voice listening"))
            return std::nullopt;
        pulse.say(sound);
        pulse.waitUntilSaid();
        QThread::msleep(lateMs);
        desktop->xdotool(press.contains("Pause") ? QStringList{"keyup", "Pause"} : QStringList{"mouseup", "2"});
        return v.waitFor(then);
    }

    voicetest::Synthesiser synth;
    uint32_t seed = 5;
    PulseServer pulse;
    const QStringList pause{"keydown", "Pause"};
};

TEST_F(RealMicrophone, EveryWayToTalkIsHeardAndAMicrophoneThatGoesIsToldOnce)
{
    Varrow v(*desktop, home.path());
    const QRect character = start(v);
    const QStringList middle{"mousemove", QString::number(character.center().x()),
                             QString::number(character.center().y()), "mousedown", "2"};

    // The key let go as the voice ends leaves the last syllable in the server; and half a second later.
    ASSERT_TRUE(talk(v, pause, clip("Time"), "voice heard sayTime \\(Time\\)")) << v.trace().toStdString();
    ASSERT_TRUE(talk(v, pause, clip("Date"), "voice heard sayDate \\(Date\\)", 500)) << v.trace().toStdString();

    // Five in a row, every way to talk. "Listen" stops the time being said, and stops by itself when the
    // user has finished, in a steady noise 20 dB under the voice: the room never goes quiet.
    ASSERT_TRUE(talk(v, middle, clip("Now", true), "voice heard sayNow \\(Now\\)")) << v.trace().toStdString();
    pulse.setNoise(300);
    ASSERT_TRUE(v.waitFor("started Speak Now is .*", 10000)) << v.trace().toStdString(); // after the date
    ASSERT_TRUE(v.pick(character.center(), "Listen"));
    ASSERT_TRUE(v.waitFor("voice listening"));
    // At once, though espeak-ng takes most of a second to let go of the sound server.
    ASSERT_TRUE(v.waitFor("finished Speak Now is .*", 500)) << v.trace().toStdString();
    pulse.say(clip("Clipboard"));
    ASSERT_TRUE(v.waitFor("voice stopped", 8000)) << v.trace().toStdString();
    ASSERT_TRUE(v.waitFor("window hidden Listening\\S* .*")) << v.trace().toStdString();
    ASSERT_TRUE(v.waitFor("voice heard readClip \\(Clipboard\\)")) << v.trace().toStdString();
    pulse.setNoise(0);
    ASSERT_TRUE(talk(v, pause, clip("Time"), "voice heard sayTime \\(Time\\)")) << v.trace().toStdString();
    ASSERT_TRUE(talk(v, middle, clip("Date"), "voice heard sayDate \\(Date\\)")) << v.trace().toStdString();
    ASSERT_TRUE(talk(v, pause, clip("Now"), "voice heard sayNow \\(Now\\)", 200)) << v.trace().toStdString();
    // A near miss is asked again, not taken for the phrase it nearly is; a dialog's own phrases answer in it.
    ASSERT_TRUE(talk(v, pause, clip("Alarming"), "voice not understood")) << v.trace().toStdString();
    ASSERT_TRUE(talk(v, middle, clip("Calendar", true), "window shown Calendar .*")) << v.trace().toStdString();
    ASSERT_TRUE(talk(v, pause, clip("Okay"), "voice heard OK \\(Okay\\)")) << v.trace().toStdString();
    ASSERT_TRUE(v.waitFor("window hidden Calendar .*"));

    // The microphone unplugged while the user talks: listening ends, the user is told once, and the
    // next press says voice is off instead of listening to nothing. Then the whole sound server goes.
    for (const bool serverGoes : {false, true}) {
        desktop->xdotool(pause);
        ASSERT_TRUE(v.waitFor("voice listening"));
        // The recording opens on the listening thread, which a slow build may have kept busy.
        ASSERT_TRUE(WaitUntil([&] { return pulse.recording(); }, 5000, 20));
        pulse.say(clip("Alarm"));
        QThread::msleep(300);
        if (serverGoes)
            pulse.stop();
        else
            ASSERT_TRUE(pulse.removeMicrophone("mic"));
        ASSERT_TRUE(serverGoes || v.waitFor("voice stopped"));
        ASSERT_TRUE(v.waitFor("voice off The microphone went away .*")) << v.trace().toStdString();
        desktop->xdotool({"keyup", "Pause"});
        QThread::msleep(100);
        desktop->xdotool(pause);
        ASSERT_TRUE(v.waitFor(serverGoes ? "voice refused No sound server answered .*" : "voice refused .*"))
            << v.trace().toStdString();
        desktop->xdotool({"keyup", "Pause"});
        // A headset plugged in becomes the default input: the next press hears it, and not the rest
        // of what was said to the microphone unplugged.
        if (!serverGoes) {
            pulse.waitUntilSaid();
            ASSERT_TRUE(pulse.addMicrophone("headset"));
            ASSERT_TRUE(talk(v, pause, clip("Time"), "voice heard sayTime \\(Time\\)")) << v.trace().toStdString();
        }
    }
    EXPECT_FALSE(v.traced("voice heard setAlarm"));
    EXPECT_EQ(v.errors().count("The microphone went away"), 2) << v.errors().toStdString();
    ASSERT_TRUE(v.pick(character.center(), "Say the time"));
    ASSERT_TRUE(v.waitFor("started Speak The time is now .*")) << v.trace().toStdString();
}

// The user reads the sentences in a noisy room; readings that cannot be used are asked again; the
// profile made in the background is used for the next command, and Forget deletes it all.
TEST_F(RealMicrophone, TeachingGenieMakesAProfileThatIsUsedAndForgetDeletesIt)
{
    Varrow v(*desktop, home.path());
    const QRect character = start(v);
    // A voice at RMS 3000 over a steady noise 10 dB under it.
    pulse.setNoise(950);
    auto reading = [&](const QString& text) {
        return voicetest::Condition{"voice", voicetest::Condition::Kind::DigitalSilence, 0}.apply(
            voicetest::Say(synth, text, "en+f2"), seed++);
    };
    ASSERT_TRUE(v.pick(character.center(), "Teach Genie your voice…"));
    auto shown = v.waitFor("training sentence 1/20 (.*)");
    ASSERT_TRUE(shown) << v.trace().toStdString();
    ASSERT_TRUE(talk(v, pause, reading({}), "training again Genie heard nothing.*")) << v.trace().toStdString();
    ASSERT_TRUE(talk(v, pause, reading("Where did I put my glasses"), "training again That did not sound like the sentence.*"))
        << v.trace().toStdString();
    // A sentence the user cannot say is swapped for another.
    QString sentence = shown->captured(1);
    int swapped = 0;
    auto another = [&](int n) {
        const auto other = v.keyTo("Teach Genie your voice", "alt+a")
                               ? v.waitFor(QString("training sentence %1/20 (.*)").arg(n)) : std::nullopt;
        const bool changed = other && other->captured(1) != std::exchange(sentence, other ? other->captured(1) : sentence);
        return changed && ++swapped < 4;
    };
    ASSERT_TRUE(another(1)) << v.trace().toStdString();
    for (int n = 1; n <= 20; ++n)
        for (int attempt = 1;; ++attempt) { // a reading in noise is now and then asked again
            const auto next = talk(v, pause, reading(sentence), n < 20 ? QString("training (sentence %1/20 (.*)|again .*)").arg(n + 1)
                                                                     : QString("training (read|again .*)"));
            ASSERT_TRUE(next) << v.trace().toStdString();
            if (!next->captured(1).startsWith("again")) {
                sentence = next->captured(2);
                break;
            }
            if (attempt % 2 == 0) { // as a user would, after two tries
                ASSERT_TRUE(another(n)) << v.trace().toStdString();
            }
        }
    ASSERT_TRUE(v.waitFor("voice profile made for mic: mllr.*", 180000)) << v.trace().toStdString();
    ASSERT_TRUE(v.waitFor("started Speak I have learnt your voice.*")) << v.trace().toStdString();
    EXPECT_TRUE(QFile::exists(home.path() + "/data/Varrow/voice/mic/profile/mllr_matrix"));
    ASSERT_TRUE(talk(v, pause, reading("Time"), "voice profile for mic: mllr.*")) << v.trace().toStdString();
    ASSERT_TRUE(v.waitFor("voice heard sayTime \\(Time\\)")) << v.trace().toStdString();
    // A profile belongs to its microphone: a headset made the default has none yet (and hears no noise).
    pulse.setNoise(0);
    ASSERT_TRUE(pulse.addMicrophone("headset"));
    ASSERT_TRUE(talk(v, pause, clip("Date"), "voice profile for headset: none")) << v.trace().toStdString();
    ASSERT_TRUE(v.waitFor("voice heard sayDate \\(Date\\)")) << v.trace().toStdString();

    ASSERT_TRUE(v.pick(character.center(), "Forget my voice"));
    ASSERT_TRUE(v.keyTo("Forget my voice", "alt+y")) << v.trace().toStdString() << v.errors().toStdString();
    ASSERT_TRUE(v.waitFor("voice forgotten")) << v.trace().toStdString();
    EXPECT_FALSE(QDir(home.path() + "/data/Varrow/voice").exists());
}

// A microphone named in the settings is the one heard, not the default input, and is told of when missing.
TEST_F(RealMicrophone, TheMicrophoneNamedInTheSettingsIsHeard)
{
    seedSettings("Microphone", "headset");
    Varrow v(*desktop, home.path());
    start(v);
    desktop->xdotool({"keydown", "Pause"});
    ASSERT_TRUE(v.waitFor("voice off The sound server has no microphone named headset.*")) << v.trace().toStdString();
    desktop->xdotool({"keyup", "Pause"});
    ASSERT_TRUE(pulse.addMicrophone("headset"));
    ASSERT_TRUE(pulse.pactl({"set-default-source", "mic"}));
    ASSERT_TRUE(talk(v, pause, clip("Time"), "voice profile for headset: none")) << v.trace().toStdString();
    ASSERT_TRUE(v.waitFor("voice heard sayTime \\(Time\\)")) << v.trace().toStdString();
}

// A reader left behind by a busy machine still gets all that was said before the key went up.
TEST_F(RealMicrophone, AllThatWasSaidIsKeptWhenTheReaderFellBehind)
{
    qputenv("PULSE_SERVER", pulse.address().toUtf8());
    voice::Microphone mic;
    ASSERT_TRUE(mic.start());
    pulse.say(std::vector<short>(16000 * 2, 3000)); // two seconds, read by no one until the key goes up
    pulse.waitUntilSaid();
    EXPECT_GT(mic.stop().size(), 16000u * 3 / 2);
}

} // namespace
