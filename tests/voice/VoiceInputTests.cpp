// The voice input from sound to command: holding the key, listening that ends by itself, no source.
#include "support/CharacterTestSupport.h"
#include "SampleSource.h"
#include "SpeechClips.h"
#include "character/Agent.h"
#include "voice/SpeechEnd.h"
#include "voice/SphinxVoiceInput.h"
#include "voice/TrainingSentences.h"

#include <gtest/gtest.h>

using namespace testsupport;

// Voice then quiet ends an utterance; a click is not speech, nor a pause between words its end; a
// silent room gives up; noise the voice decision takes for voice, far below the speaker or in bursts
// too short to be speech, is quiet; but a short last syllable is still waited for.
TEST(SpeechEndDetector, EndsAfterSpeechAndGivesUpOnSilence)
{
    using State = voice::SpeechEndDetector::State;
    auto run = [](voice::SpeechEndDetector& d, bool voice, int frames, float level = 60) {
        for (int i = 0; i < frames; ++i)
            d.frame(voice, level);
        return d.state();
    };
    voice::SpeechEndDetector quiet;
    EXPECT_EQ(run(quiet, false, 400), State::Waiting);
    EXPECT_EQ(run(quiet, false, 100), State::GaveUp);

    voice::SpeechEndDetector d;
    run(d, false, 50);
    EXPECT_EQ(run(d, true, 5), State::Waiting); // a click
    run(d, false, 50);
    EXPECT_EQ(run(d, true, 8), State::Waiting);
    d.frame(false, 60); // a short gap inside a word
    EXPECT_EQ(run(d, true, 4), State::Speaking);
    EXPECT_EQ(run(d, false, 40), State::Speaking); // between words
    run(d, true, 20);
    EXPECT_EQ(run(d, false, 69), State::Speaking);
    EXPECT_EQ(run(d, false, 1), State::Ended);

    voice::SpeechEndDetector noisy;
    run(noisy, true, 30, 50);
    EXPECT_EQ(run(noisy, true, 30, 75), State::Speaking); // louder as the phrase goes on
    EXPECT_EQ(run(noisy, true, 60, 62), State::Speaking); // a quiet last word is still the speaker
    EXPECT_EQ(run(noisy, true, 69, 55), State::Speaking);
    EXPECT_EQ(run(noisy, true, 1, 55), State::Ended);

    voice::SpeechEndDetector bursts;
    run(bursts, true, 30);
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(run(bursts, false, 10), State::Speaking);
        run(bursts, true, 3);
    }
    EXPECT_EQ(run(bursts, false, 10), State::Ended);

    voice::SpeechEndDetector lastSyllable;
    run(lastSyllable, true, 30);
    run(lastSyllable, false, 20);
    run(lastSyllable, true, 8);
    EXPECT_EQ(run(lastSyllable, false, 69), State::Speaking);
    EXPECT_EQ(run(lastSyllable, false, 1), State::Ended);
}

// Speech to say, and the character service with Genie shown to hear it.
class SphinxVoiceInput : public MainCharacterTest {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(synth.ready()) << qPrintable(synth.error());
        MainCharacterTest::SetUp();
    }
    voicetest::Synthesiser synth;
};

// Held, spoken, released: a reading for training is checked, not taken for a command; then commands
// reach the character again, and a disabled one never does. With no sound source or model the input is
// off and says why, and listening does nothing. (Listening that ends by itself: RealMicrophone.)
TEST_F(SphinxVoiceInput, ReadingsAreCheckedCommandsReachTheCharacterAndWithoutASourceItIsOff)
{
    character::Character* genie = mainAgentA;
    genie->Commands().Add("sayTime", "Say the time", "Time");
    genie->Commands().Add("calendar", "Calendar", "Calendar", false);
    auto source = std::make_unique<voicetest::SampleSource>();
    voicetest::SampleSource& clip = *source;
    auto input = std::make_unique<voice::SphinxVoiceInput>(std::move(source));
    ASSERT_TRUE(input->usable()) << qPrintable(input->usable().why());
    voice::SphinxVoiceInput& in = *input;
    server.setVoiceInput(std::move(input));

    QList<voice::Reading::Problem> readings;
    QStringList heard;
    QObject::connect(&in, &voice::SphinxVoiceInput::readingHeard, [&](const voice::Reading& r) { readings << r.problem; });
    QObject::connect(genie, &character::Character::Command, [&](const character::UserInput& u) { heard << u.Name; });
    QObject::connect(&in, &voice::VoiceInput::notUnderstood, [&] { heard << "?"; });
    uint32_t seed = 7;
    auto say = [&](const QString& text, voicetest::Condition room = {"faint", voicetest::Condition::Kind::Faint, 0}) {
        const qsizetype before = readings.size() + heard.size();
        clip.setSamples(room.apply(voicetest::Say(synth, text, "en-us"), seed++));
        in.startListening();
        in.stopListening();
        EXPECT_TRUE(waitUntil([&] { return readings.size() + heard.size() > before; }, 10000)) << qPrintable(text);
    };
    using P = voice::Reading::Problem;
    const QString sentence = voice::TrainingSentences().front();
    in.readSentence(sentence);
    say(sentence);
    // Another sentence, or none: RealMicrophone.TeachingGenie...
    say(sentence, {"noise", voicetest::Condition::Kind::White, 2});
    say(sentence, {"loud", voicetest::Condition::Kind::Level, 18});
    EXPECT_EQ(readings, (QList<P>{P::None, P::TooQuiet, P::Clipped}));
    in.readSentence({});
    say("Time");
    say("Calendar");
    EXPECT_EQ(heard, (QStringList{"sayTime", "?"}));
    server.setVoiceInput(nullptr);

    voice::SphinxVoiceInput none(nullptr);
    EXPECT_TRUE(none.usable().why().contains("microphone"));
    none.startListening();
    EXPECT_FALSE(none.listening());
    voice::DecoderSettings missing;
    missing.model = "/nonexistent/model";
    EXPECT_TRUE(voice::SphinxVoiceInput(std::make_unique<voicetest::SampleSource>(), missing).usable().why().contains(
        "/nonexistent/model"));
}
