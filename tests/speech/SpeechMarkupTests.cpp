// The speech tags, the markup and chunks espeak-ng is given, and espeak-ng through a sound server.
#include "e2e/PulseServer.h"
#include "speech/EspeakSpeaker.h"
#include "speech/SpeechMarkup.h"
#include "speech/SpeechSsml.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <optional>

using namespace speech;

TEST(SpeechMarkup, TagsShowOneTextAndSpeakAnother)
{
    const SpeechText t = ParseSpeech("\\map=\"Hollin Company\"=\"Hollin Co.\"\\ proudly present to you. Hi");
    EXPECT_EQ(t.shown, "Hollin Co. proudly present to you. Hi");
    EXPECT_EQ(t.spokenUnit(t.units[0]), "Hollin Company");
    // The balloon growing with the units: StageTest.IdlingEnds... and SpeechDispatcher.IsHeard...

    const SpeechText mail = ParseSpeech("report to \\Ctx=\"E-mail\"\\support@hollin.example");
    EXPECT_EQ(mail.shown, "report to support@hollin.example");
    EXPECT_EQ(mail.spokenUnit(mail.units.back()), "support at hollin dot example");
    const SpeechText emp = ParseSpeech("Sorry, there's \\Emp\\no such file !");
    for (const auto& u : emp.units)
        EXPECT_EQ(bool(u.style & SpeechText::Emphasis), emp.spokenUnit(u) == "no") << emp.spokenUnit(u).toStdString();
    // With marks, a style across a sentence's end closes and opens again with the sentence.
    const SpeechText flat = ParseSpeech("\\Chr=\"monotone\"\\One. Two");
    EXPECT_EQ(SsmlWithMarks(flat, 0, 2), "<speak><s><prosody range=\"x-low\"><mark name=\"0\"/>One. </prosody></s>"
                                         "<s><prosody range=\"x-low\"><mark name=\"1\"/>Two </prosody></s></speak>");

    for (const QString& text : {QString("\\map=\"only one\"\\ rest"), QString("\\map=\"unterminated"), QString("\\"),
                                QString("\\\\\\"), QString("\\Emp"), QString("\\Pau=99999999999\\ after"), QString()}) {
        const SpeechText m = ParseSpeech(text);
        EXPECT_LE(m.shown.size(), text.size()) << text.toStdString();
        for (const auto& u : m.units) {
            EXPECT_LE(u.shownEnd, m.shown.size());
            EXPECT_LE(u.spokenBegin + u.spokenLength, m.spoken.size());
            EXPECT_LE(u.pauseBeforeMs, 10000);
        }
    }
    EXPECT_EQ(ParseSpeech("C:\\Program Files\\x").shown, "C:\\Program Files\\x");
    EXPECT_EQ(ParseSpeech("\\Unknown=\"x\"\\visible").shown, "visible");

    // The SSML espeak-ng is given is escaped, and the positions it reports point at each word.
    const SpeechText odd = ParseSpeech(QString::fromUtf8("a <b> & \xf0\x9f\x98\x80 \\Emp\\caf\xc3\xa9 \"q\""));
    std::vector<int> offsets;
    const QByteArray ssml = SsmlFor(odd, 0, odd.units.size(), &offsets);
    ASSERT_EQ(offsets.size(), odd.units.size());
    // espeak-ng reports 1-based code-point positions into the SSML text.
    const QList<uint> points = QString::fromUtf8(ssml).toUcs4();
    const QStringList words = {"a", "&lt;b&gt;", "&amp;", QString::fromUtf8("\xf0\x9f\x98\x80"),
                               QString::fromUtf8("caf\xc3\xa9"), "&quot;q&quot;"};
    for (size_t i = 0; i < offsets.size(); ++i) {
        const QList<uint> word = words[int(i)].toUcs4();
        ASSERT_LE(offsets[i] - 1 + word.size(), points.size());
        EXPECT_EQ(points.mid(offsets[i] - 1, word.size()), word) << i;
    }

    // Long texts go in chunks that end with a sentence, or anywhere when there is none.
    const SpeechText text = ParseSpeech(QStringLiteral("Sentence number seven is here. ").repeated(400));
    int chunks = 0;
    for (size_t first = 0, end; first < text.units.size(); first = end, ++chunks) {
        end = ChunkEnd(text, first);
        ASSERT_GT(end, first);
        EXPECT_TRUE(end == text.units.size() || text.spokenUnit(text.units[end - 1]).endsWith('.'));
    }
    EXPECT_GT(chunks, 10);
    const SpeechText words5000 = ParseSpeech(QString("word ").repeated(5000));
    EXPECT_LT(ChunkEnd(words5000, 0), words5000.units.size());
}

// Words come from espeak-ng's own thread, also after the speaker is gone; the library is one per process.
TEST(EspeakSpeaker, ReportsEachWordCanGoMidSentenceAndIsOnePerProcess)
{
    // The ThreadSanitizer run hands over a sound server started outside: a process started from here
    // (Qt forks with the memory shared until exec) would scramble the checker's view of our locks.
    std::optional<e2e::PulseServer> pulse;
    if (qEnvironmentVariableIsEmpty("VARROW_TEST_PULSE_SERVER")) {
        ASSERT_EQ(pulse.emplace().error(), "");
    }
    qputenv("PULSE_SERVER", pulse ? pulse->address().toUtf8() : qgetenv("VARROW_TEST_PULSE_SERVER"));
    const QString eight = QStringLiteral("one two three four five six seven eight");
    auto speaker = std::make_unique<EspeakSpeaker>();
    std::vector<int> units;
    bool finished = false;
    QObject::connect(speaker.get(), &SpeechEngine::unitReached, [&](int u) { units.push_back(u); });
    QObject::connect(speaker.get(), &SpeechEngine::finished, [&] { finished = true; });
    speaker->speak(std::make_shared<const SpeechText>(ParseSpeech(eight)));
    ASSERT_TRUE(testsupport::waitUntil([&] { return finished; }, 30000));
    ASSERT_FALSE(units.empty());
    EXPECT_EQ(units.back(), 7);
    EXPECT_TRUE(std::is_sorted(units.begin(), units.end()));
    {
        EspeakSpeaker second; // shows its text and leaves the first alone
        QString told;
        bool shown = false;
        QObject::connect(&second, &SpeechEngine::problem, [&](const QString& why) { told = why; });
        QObject::connect(&second, &SpeechEngine::finished, [&] { shown = true; });
        second.speak(std::make_shared<const SpeechText>(ParseSpeech(eight)));
        EXPECT_TRUE(told.startsWith("espeak-ng is already speaking")) << told.toStdString();
        EXPECT_TRUE(testsupport::waitUntil([&] { return shown; }, 10000));
    }
    // Gone while espeak's thread is still sending words: nothing reaches it afterwards.
    units.clear();
    speaker->speak(std::make_shared<const SpeechText>(ParseSpeech(eight.repeated(40))));
    ASSERT_TRUE(testsupport::waitUntil([&] { return !units.empty(); }, 20000));
    speaker.reset();
    testsupport::pump();
    qunsetenv("PULSE_SERVER");
}
