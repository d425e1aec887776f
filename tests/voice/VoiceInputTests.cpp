#include "support/CharacterTestSupport.h"
#include "SpeechClips.h"
#include "character/Agent.h"
#include "character/voice/SphinxVoiceInput.h"

#include <gtest/gtest.h>

using namespace testsupport;

namespace {
// Lets the test swap what the "microphone" hears after the input owns the source.
class SharedClip : public voice::AudioSource {
public:
    explicit SharedClip(voice::SampleSource* s) : s_(s) {}
    bool start() override { return s_->start(); }
    long read(short* b, size_t max) override { return s_->read(b, max); }
    void stop() override { s_->stop(); }

private:
    voice::SampleSource* s_;
};
} // namespace

// Held, spoken, released: the command of the character arrives; a disabled one never does.
TEST(SphinxVoiceInput, SpokenCommandReachesTheCharacter)
{
    QString error;
    ASSERT_TRUE(voicetest::StartSynthesis(&error)) << qPrintable(error);
    useFastCharacterServer();
    character::Agent agent;
    ASSERT_TRUE(agent.Characters().Load("Genie", "Genie.acs").ok);
    character::Character* genie = agent.Characters().Item("Genie");
    genie->Commands().Add("sayTime", "Say the time", "Time");
    genie->Commands().Add("calendar", "Calendar", "Calendar", false);
    genie->Show(true);

    voice::SampleSource clip;
    auto input = std::make_unique<voice::SphinxVoiceInput>(std::make_unique<SharedClip>(&clip));
    ASSERT_TRUE(input->available()) << qPrintable(input->unavailableReason());
    voice::SphinxVoiceInput* in = input.get();
    int missed = 0;
    QObject::connect(in, &character::VoiceInput::notUnderstood, [&] { ++missed; });
    character::CharacterServer::instance().setVoiceInput(std::move(input));

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

    character::CharacterServer::instance().setVoiceInput(nullptr);
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
