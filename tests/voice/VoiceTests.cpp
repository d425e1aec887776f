// The recogniser's parts: spoken forms, grammar, pronunciations, recognition in every room, room tone.
#include "SpeechClips.h"
#include "../../bench/voice/CommandSets.h" // the benchmark's phrases and other speech
#include "voice/AudioFrontEnd.h"
#include "voice/Decoder.h"
#include "voice/Grammar.h"
#include "voice/RoomTone.h"
#include "voice/SpeechEnd.h"
#include "voice/SpeechSpan.h"
#include "voice/Pronunciation.h"
#include "voice/SpokenWords.h"

#include <QTemporaryDir>
#include <algorithm>
#include <atomic>
#include <thread>
#include <gtest/gtest.h>

using namespace voicetest;

// Phrases become dictionary words; one that cannot be said is left out, and garbage or a competitor is
// never a command. Pronunciations are the dictionary's first, and phone edits count them apart.
TEST(Grammar, PhrasesInDictionaryWordsUnsayableLeftOutAndGarbageNeverACommand)
{
    EXPECT_EQ(voice::NumberWords(59), "fifty nine");
    EXPECT_EQ(voice::SpokenForms("AM"), (std::vector<QStringList>{{"a.", "m."}}));
    EXPECT_EQ(voice::SpokenForms("Okay"), (std::vector<QStringList>{{"okay"}, {"ok"}}));
    EXPECT_TRUE(voice::SpokenForms("  ").empty());

    const std::vector<voice::VoicePhrase> phrases{{"a", "Time"}, {"b", "Xqzt"}, {"c", "Time"}};
    const auto g = voice::BuildGrammar(phrases, [](const QString& w) { return w != "xqzt"; }, 0.5);
    EXPECT_EQ(g.lookup("time").command, "a"); // the first of two with one phrase
    EXPECT_EQ(g.unsayable, QStringList{"Xqzt"});
    EXPECT_TRUE(g.lookup("time garbage_aa").command.isEmpty());
    // Competitors stand alone beside the phrases, never the phrases' own words, and are no command.
    const auto c = voice::BuildGrammar({{"a", "Next Day"}}, [](const QString&) { return true; }, 0, {"the", "day", "of"});
    EXPECT_TRUE(c.jsgf.contains("( next day ) | the | of;")) << c.jsgf.constData();
    EXPECT_TRUE(c.lookup("next day the").command.isEmpty());
    EXPECT_EQ(c.lookup("next day").command, "a");

    QTemporaryDir dir;
    QFile f(dir.filePath("words.dict"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("read R IY D\nread(2) R EH D\n  \nbroken\ntime  T AY M\r\nzoo Z UW\n");
    f.close();
    const auto found = voice::FirstPronunciations(f.fileName(), {"read", "time", "broken", "absent"});
    EXPECT_EQ(found, (QHash<QString, QString>{{"read", "R IY D"}, {"time", "T AY M"}}));
    EXPECT_EQ(voice::PhoneDistance({"T", "AY", "M"}, {"D", "AY", "M", "Z"}), 2);
}

class Recognition : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(synth.ready()) << qPrintable(synth.error()); }
    Synthesiser synth;
};

// A slice of the benchmark: phrases of three command sets in two voices, each in a room of its own
// (digital silence, noise at 10 and 20 dB, quiet, clipped, a click first), then other speech and near
// misses of the set's phrases. Wrong commands are what the floors guard most.
TEST_F(Recognition, PhrasesUnderstoodInEveryRoomAndOtherSpeechTurnedAway)
{
    const auto decoder = voicetest::OpenDecoder();
    using P = std::vector<voice::VoicePhrase>;
    const auto live = LiveCommandSets();
    const P sets[] = {live[0].phrases, live[2].phrases, live[4].phrases}; // main, calendar, alarm's hour box
    // Each voice says its own other speech, and its own near misses (the phrase, and what is said instead):
    // from the benchmark's lists, by place, every sixth sentence and every other near miss.
    QStringList sentences[2];
    std::vector<NearMiss> nearMisses[2];
    for (size_t i = 0; i < OutOfGrammarSentences().size(); i += 3)
        sentences[i / 3 % 2] << OutOfGrammarSentences()[i];
    for (size_t i = 0; i < NearMisses().size(); ++i)
        nearMisses[i % 2].push_back(NearMisses()[i]);
    using K = Condition::Kind;
    const Condition slice[] = {{"clean", K::DigitalSilence, 0}, {"white 20 dB", K::White, 20}, {"white 10 dB", K::White, 10},
                               {"pink 20 dB", K::Pink, 20},     {"pink 10 dB", K::Pink, 10},   {"brown 20 dB", K::Brown, 20},
                               {"brown 10 dB", K::Brown, 10},   {"-20 dB", K::Level, -20},     {"clipped +12 dB", K::Level, 12},
                               {"click before", K::Click, 0}};
    int right = 0, wrong = 0, total = 0, away = 0, others = 0;
    QStringList missed;
    uint32_t seed = 7;
    // What `voice` heard of `text` in the next room, noted where it is not `command`.
    auto hear = [&](const QString& voice, const QString& text, const QString& command) {
        const Condition& room = slice[seed % std::size(slice)];
        const QString heard = decoder->decode(SpeechClip(synth, text, voice, seed++, room)).heard.command;
        if (heard != command)
            missed << QStringLiteral("%1 in %2: %3 -> %4").arg(voice, room.name, text, heard);
        return heard;
    };
    for (int v = 0; v < 2; ++v) {
        const QString voice = v == 0 ? "en-us" : "en+f2";
        for (const P& set : sets) {
            decoder->setPhrases(set);
            QStringList phrases, other = sentences[v];
            for (const auto& p : set) {
                phrases << p.phrase;
                const QString heard = hear(voice, p.phrase, p.command);
                right += heard == p.command;
                wrong += heard != p.command && !heard.isEmpty();
                ++total;
            }
            for (const auto& [phrase, said] : nearMisses[v])
                if (phrases.contains(phrase))
                    other << said;
            for (const QString& text : other) {
                away += hear(voice, text, {}).isEmpty();
                ++others;
            }
        }
    }
    const QString detail = QString::asprintf("%d right, %d wrong of %d; %d of %d other turned away\n", right, wrong,
                                             total, away, others) + missed.join(u'\n');
    EXPECT_GE(double(right) / total, 0.80) << qPrintable(detail);
    EXPECT_LE(double(wrong) / total, 0.02) << qPrintable(detail);
    EXPECT_GE(double(away) / others, 0.65) << qPrintable(detail);
}

// Phrases changed in the middle of an utterance: it finishes with the grammar it began with, and the
// next one listens with the new; removed commands never answer. Cleaning is for noise: in a quiet room
// it distorts the voice, and the microphone's sound is heard.
TEST_F(Recognition, GrammarChangeDuringUtteranceIsSafeAndAQuietRoomIsHeardUncleaned)
{
    const auto decoder = voicetest::OpenDecoder();
    decoder->setPhrases({{"sayTime", "Time"}, {"calendar", "Calendar"}});
    const auto clip = SpeechClip(synth, "Time", "en-us", 3);
    decoder->begin();
    decoder->feed(clip.data(), clip.size() / 2);
    decoder->setPhrases({{"nextMonth", "Next Month"}, {"nextDay", "Next Day"}});
    decoder->feed(clip.data() + clip.size() / 2, clip.size() - clip.size() / 2);
    EXPECT_EQ(decoder->end().heard.command, "sayTime");
    EXPECT_NE(decoder->decode(clip).heard.command, "sayTime");
    EXPECT_EQ(decoder->decode(SpeechClip(synth, "Next Month", "en-us", 4)).heard.command, "nextMonth");
    decoder->setPhrases({});
    EXPECT_TRUE(decoder->decode(clip).heard.command.isEmpty());

    decoder->setPhrases({{"sayTime", "Time"}, {"sayDate", "Date"}, {"calendar", "Calendar"}});
    const auto quiet = decoder->decode(SpeechClip(synth, "Calendar", "en-us", 5));
    EXPECT_TRUE(quiet.rawSound) << quiet.voiceOverRoomDb;
    EXPECT_EQ(quiet.heard.command, "calendar");
    for (const Condition& noisy : {Condition{"pink 10 dB", Condition::Kind::Pink, 10},
                                   Condition{"white 20 dB", Condition::Kind::White, 20}}) {
        const auto out = decoder->decode(SpeechClip(synth, "Calendar", "en-us", 6, noisy));
        EXPECT_FALSE(out.rawSound) << qPrintable(noisy.name) << " " << out.voiceOverRoomDb;
        EXPECT_EQ(out.heard.command, "calendar") << qPrintable(noisy.name);
    }
}

// Decoders made and used on several threads at once (the bench's workers, a test beside the
// listening thread): the library's process-wide log once hung two of them.
TEST_F(Recognition, DecodersOnSeveralThreadsAtOnce)
{
    const auto clip = SpeechClip(synth, "Calendar", "en-us", 5);
    std::vector<std::thread> threads;
    std::atomic<int> heard{0};
    for (int t = 0; t < 3; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 3; ++i) {
                const auto d = voicetest::OpenDecoder();
                d->setPhrases({{"calendar", "Calendar"}, {"sayDate", "Date"}});
                heard += d->decode(clip).heard.command == "calendar";
            }
        });
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(heard, 9);
}

// The voice is found, and "Listen" stops within a second of its end, whatever surrounds it: digital
// silence, steady low or broad noise, a knock first, or a room that goes quieter while the key is
// held. Where nobody speaks, it gives up.
TEST_F(Recognition, VoiceFoundAndItsEndHeardInEveryRoom)
{
    const auto clean = Say(synth, "Previous Month", "en-us");
    ASSERT_FALSE(clean.empty());
    const int start = int(Condition::beforeSamples / voice::AudioFrontEnd::FrameSamples);
    using K = Condition::Kind;
    for (const Condition& room : {Condition{"digital silence", K::DigitalSilence, 0}, Condition{"brown", K::Brown, 10},
                                  Condition{"pink", K::Pink, 10}, Condition{"click", K::Click, 0},
                                  Condition{"quieter after", K::White, 10}}) {
        std::vector<short> clip = room.apply(clean, 9);
        const int end = int((clip.size() - Condition::afterSamples) / voice::AudioFrontEnd::FrameSamples);
        // Then the room goes on; or its noise stops and only a faint hiss is left.
        std::vector<short> after(16000 * 2);
        const auto faint = Condition{"faint", K::Faint, 0}.apply(std::vector<short>(1), 1);
        voice::RoomTone(room.name == "quieter after" ? faint : clip).fill(after.data(), after.size());
        clip.insert(clip.end(), after.begin(), after.end());

        auto made = voice::MakeFrontEnd({});
        ASSERT_TRUE(made) << qPrintable(made.why());
        // Frame by frame through the front end into `detector`: which frames were voice, and where it ended.
        auto listen = [&front = *made](std::vector<short> s, voice::SpeechEndDetector& detector, int& endedAt) {
            constexpr size_t n = voice::AudioFrontEnd::FrameSamples;
            std::vector<bool> voiced;
            for (size_t at = 0; at + n <= s.size(); at += n) {
                const auto heard = front->process(s.data() + at);
                voiced.push_back(heard.voice);
                if (detector.frame(heard.voice, heard.levelDb) == voice::SpeechEndDetector::State::Ended && endedAt < 0)
                    endedAt = int(voiced.size()) - 1;
            }
            front->reset();
            return voiced;
        };
        voice::SpeechEndDetector detector, waiting;
        int endedAt = -1, never = -1;
        const auto span = voice::SpeechSpan::find(listen(clip, detector, endedAt));
        EXPECT_NEAR(span.first, start, 10) << qPrintable(room.name);
        EXPECT_NEAR(span.last, end, 25) << qPrintable(room.name);
        EXPECT_GE(endedAt, end) << qPrintable(room.name);
        EXPECT_LE(endedAt, end + 100) << qPrintable(room.name);

        std::vector<short> nobody(16000 * 6);
        voice::RoomTone(room.apply(std::vector<short>(1), 2)).fill(nobody.data(), nobody.size());
        listen(nobody, waiting, never);
        EXPECT_EQ(waiting.state(), voice::SpeechEndDetector::State::GaveUp) << qPrintable(room.name);
    }
}

// After a recording ends, its own room goes on: as quiet as its quietest part, silent after silence.
TEST(RoomTone, TheRecordingsOwnBackgroundGoesOn)
{
    std::vector<short> recording(16000);
    for (size_t i = 0; i < recording.size(); ++i) // loud, then a quieter stretch, then loud again
        recording[i] = short((i % 2 ? 1 : -1) * (i >= 6000 && i < 11000 ? 100 : 3000));
    voice::RoomTone tone(recording);
    std::vector<short> after(16000 * 3);
    tone.fill(after.data(), after.size());
    EXPECT_EQ(*std::max_element(after.begin(), after.end()), 100);
    EXPECT_EQ(*std::min_element(after.begin(), after.end()), -100);

    voice::RoomTone silence(std::vector<short>(8000, 0));
    std::vector<short> quiet(5000, 7);
    silence.fill(quiet.data(), quiet.size());
    EXPECT_EQ(std::count(quiet.begin(), quiet.end(), 0), 5000);
}
