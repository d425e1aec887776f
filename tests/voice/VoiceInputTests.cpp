#include "support/CharacterTestSupport.h"
#include "SharedSource.h"
#include "SpeechClips.h"
#include "character/Agent.h"
#include "character/voice/SpeechEnd.h"
#include "character/voice/SphinxVoiceInput.h"

#include <cmath>
#include <gtest/gtest.h>

using namespace testsupport;

// Held, spoken, released: the command of the character arrives; a disabled one never does.
TEST(SphinxVoiceInput, SpokenCommandReachesTheCharacter)
{
    QString error;
    ASSERT_TRUE(voicetest::StartSynthesis(&error)) << qPrintable(error);
    FastCharacterServer server;
    character::Agent agent(server);
    ASSERT_TRUE(agent.Characters().Load("Genie", "Genie.acs").ok());
    character::Character* genie = agent.Characters().Item("Genie");
    genie->Commands().Add("sayTime", "Say the time", "Time");
    genie->Commands().Add("calendar", "Calendar", "Calendar", false);
    genie->Show(true);

    voice::SampleSource clip;
    auto input = std::make_unique<voice::SphinxVoiceInput>(std::make_unique<voicetest::SharedSource>(&clip));
    ASSERT_TRUE(input->available()) << qPrintable(input->unavailableReason());
    voice::SphinxVoiceInput* in = input.get();
    int missed = 0;
    QObject::connect(in, &character::VoiceInput::notUnderstood, [&] { ++missed; });
    server.setVoiceInput(std::move(input));

    QStringList got;
    QObject::connect(genie, &character::Character::Command,
                     [&](const character::UserInput& u) { got << u.Name; });
    pump(50);

    clip.setSamples(voicetest::SpeechClip("Time", "en-us", 11));
    in->startListening();
    EXPECT_TRUE(in->listening());
    pump(30);
    in->stopListening();
    EXPECT_TRUE(waitUntil([&] { return !got.isEmpty() || missed > 0; }, 10000));
    EXPECT_EQ(got, QStringList{"sayTime"});

    clip.setSamples(voicetest::SpeechClip("Calendar", "en-us", 12));
    in->startListening();
    in->stopListening();
    EXPECT_TRUE(waitUntil([&] { return got.size() > 1 || missed > 0; }, 10000));
    EXPECT_EQ(got, QStringList{"sayTime"});

    server.setVoiceInput(nullptr);
}

// Speech then quiet ends an utterance; a click is not speech; a silent room gives up.
TEST(SpeechEndDetector, EndsAfterSpeechAndGivesUpOnSilence)
{
    using State = voice::SpeechEndDetector::State;
    std::vector<short> room(16000 * 6);
    uint32_t x = 1;
    for (short& s : room) {
        x = x * 1664525u + 1013904223u;
        s = short(int(x >> 24) - 128);
    }
    voice::SpeechEndDetector quiet;
    EXPECT_EQ(quiet.feed(room.data(), 16000 * 4), State::Waiting);
    EXPECT_EQ(quiet.feed(room.data(), room.size()), State::GaveUp);

    std::vector<short> talk(room.begin(), room.begin() + 8000);
    for (int i = 0; i < 800; ++i) // a 50 ms click
        talk.push_back(short(i % 2 ? 9000 : -9000));
    talk.insert(talk.end(), room.begin(), room.begin() + 8000);
    for (int i = 0; i < 8000; ++i) // half a second of a loud vowel
        talk.push_back(short(8000 * std::sin(i * 0.07)));
    voice::SpeechEndDetector d;
    EXPECT_EQ(d.feed(talk.data(), 16000 + 800), State::Waiting);
    EXPECT_EQ(d.feed(talk.data() + 16800, talk.size() - 16800), State::Speaking);
    EXPECT_EQ(d.feed(room.data(), 16000 / 2), State::Speaking); // a pause between words
    EXPECT_EQ(d.feed(room.data(), 16000 / 2), State::Ended);
}

// Listening without a key ends when the user has spoken and stopped, and hears what was said.
TEST(SphinxVoiceInput, ListeningForAPhraseEndsByItself)
{
    QString error;
    ASSERT_TRUE(voicetest::StartSynthesis(&error)) << qPrintable(error);
    voice::SphinxVoiceInput in(std::make_unique<voice::SampleSource>(voicetest::SpeechClip("Date", "en-us", 5), true));
    in.setPhrases({{"sayTime", "Time"}, {"sayDate", "Date"}, {"calendar", "Calendar"}});
    QStringList heard;
    QList<bool> listening;
    QObject::connect(&in, &character::VoiceInput::heard, [&](const QString& c, const QString&) { heard << c; });
    QObject::connect(&in, &character::VoiceInput::notUnderstood, [&] { heard << "?"; });
    QObject::connect(&in, &character::VoiceInput::listeningChanged, [&](bool on) { listening << on; });
    in.listenForPhrase();
    EXPECT_TRUE(waitUntil([&] { return !heard.isEmpty(); }, 8000));
    EXPECT_EQ(heard, QStringList{"sayDate"});
    EXPECT_EQ(listening, (QList<bool>{true, false}));
    EXPECT_FALSE(in.listening());
}

// With no sound source the input is off and says why, and listening does nothing.
TEST(SphinxVoiceInput, OffWithoutASource)
{
    voice::SphinxVoiceInput in(nullptr);
    EXPECT_FALSE(in.available());
    EXPECT_TRUE(in.unavailableReason().contains("microphone"));
    in.startListening();
    EXPECT_FALSE(in.listening());
    voice::DecoderSettings missing;
    missing.model = "/nonexistent/model";
    voice::SphinxVoiceInput noModel(std::make_unique<voice::SampleSource>(), missing);
    EXPECT_FALSE(noModel.available());
    EXPECT_TRUE(noModel.unavailableReason().contains("/nonexistent/model"));
}
