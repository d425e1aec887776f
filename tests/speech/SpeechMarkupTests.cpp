// The speech tags, and the markup and chunks espeak-ng is given.
#include "speech/SpeechSsml.h"
#include "speech/EspeakSpeaker.h"
#include "support/TestSupport.h"

#include <QStringList>
#include "speech/SpeechMarkup.h"

#include <gtest/gtest.h>

using namespace speech;

namespace {
QStringList spokenUnits(const speech::SpeechText& t)
{
    QStringList out;
    for (const auto& u : t.units)
        out << t.spokenUnit(u);
    return out;
}
} // namespace

TEST(SpeechMarkup, MapShowsOneTextAndSpeaksAnother)
{
    const speech::SpeechText t = speech::ParseSpeech("\\map=\"Hollin Company\"=\"Hollin Co.\"\\ proudly present to you, Varrow. Hi");
    EXPECT_EQ(t.shown, "Hollin Co. proudly present to you, Varrow. Hi");
    const QStringList units = spokenUnits(t);
    ASSERT_GE(units.size(), 2);
    EXPECT_EQ(units[0], "Hollin Company");
    EXPECT_EQ(t.units[0].shownEnd, QString("Hollin Co.").size()); // the whole shown form appears with it
    EXPECT_EQ(units.last(), "Hi");
    EXPECT_EQ(t.units.back().shownEnd, t.shown.size());
}

TEST(SpeechMarkup, EmailContextEmphasisAndMonotone)
{
    const speech::SpeechText mail = speech::ParseSpeech("report to \\Ctx=\"E-mail\"\\support@hollin.example");
    EXPECT_EQ(mail.shown, "report to support@hollin.example");
    EXPECT_EQ(spokenUnits(mail).last(), "support at hollin dot example");

    const speech::SpeechText emp = speech::ParseSpeech("Sorry, there's \\Emp\\no such file !");
    EXPECT_EQ(emp.shown, "Sorry, there's no such file !");
    for (const auto& u : emp.units)
        EXPECT_EQ(bool(u.style & speech::SpeechText::Emphasis), emp.spokenUnit(u) == "no") << emp.spokenUnit(u).toStdString();

    const speech::SpeechText flat = speech::ParseSpeech("\\Chr=\"monotone\"\\Loading ...");
    EXPECT_EQ(flat.shown, "Loading ...");
    ASSERT_EQ(flat.units.size(), 2u);
    for (const auto& u : flat.units)
        EXPECT_TRUE(u.style & speech::SpeechText::Monotone);
    const QByteArray ssml = speech::SsmlFor(flat, 0, flat.units.size(), nullptr);
    EXPECT_TRUE(ssml.contains("<prosody range=\"x-low\">Loading")) << ssml.constData();
    // With marks, a style across a sentence's end closes and opens again with the sentence.
    const speech::SpeechText two = speech::ParseSpeech("\\Chr=\"monotone\"\\One. Two");
    EXPECT_EQ(speech::SsmlWithMarks(two, 0, 2), "<speak><s><prosody range=\"x-low\"><mark name=\"0\"/>One. </prosody></s>"
                                                "<s><prosody range=\"x-low\"><mark name=\"1\"/>Two </prosody></s></speak>");
}

TEST(SpeechMarkup, MalformedTagsStayTextAndNothingBreaks)
{
    for (const QString& text : {QString("C:\\Program Files\\x"), QString("\\map=\"only one\"\\ rest"),
                                QString("\\map=\"unterminated"), QString("\\"), QString("\\\\\\"), QString("\\Emp"),
                                QString("\\Pau=99999999999\\ after"), QString(), QString("   ")}) {
        const speech::SpeechText t = speech::ParseSpeech(text);
        EXPECT_LE(t.shown.size(), text.size()) << text.toStdString();
        for (const auto& u : t.units) {
            EXPECT_LE(u.shownEnd, t.shown.size());
            EXPECT_LE(u.spokenBegin + u.spokenLength, t.spoken.size());
            EXPECT_LE(u.pauseBeforeMs, 10000);
        }
    }
    EXPECT_EQ(speech::ParseSpeech("C:\\Program Files\\x").shown, "C:\\Program Files\\x");
    EXPECT_EQ(speech::ParseSpeech("\\Unknown=\"x\"\\visible").shown, "visible");
}

TEST(SpeechMarkup, SsmlIsEscapedAndPositionsPointAtEachWord)
{
    const speech::SpeechText t = speech::ParseSpeech(QString::fromUtf8("a <b> & \xf0\x9f\x98\x80 \\Emp\\caf\xc3\xa9 \"q\""));
    std::vector<int> offsets;
    const QByteArray ssml = speech::SsmlFor(t, 0, t.units.size(), &offsets);
    EXPECT_FALSE(ssml.contains("<b>"));
    EXPECT_TRUE(ssml.contains("&lt;b&gt;"));
    EXPECT_TRUE(ssml.contains("&amp;"));
    ASSERT_EQ(offsets.size(), t.units.size());
    // espeak-ng reports 1-based code-point positions into the SSML text.
    const QList<uint> points = QString::fromUtf8(ssml).toUcs4();
    const QStringList words = {"a", "&lt;b&gt;", "&amp;", QString::fromUtf8("\xf0\x9f\x98\x80"), QString::fromUtf8("caf\xc3\xa9"),
                               "&quot;q&quot;"};
    for (size_t i = 0; i < offsets.size(); ++i) {
        const QList<uint> word = words[int(i)].toUcs4();
        ASSERT_LE(offsets[i] - 1 + word.size(), points.size());
        EXPECT_EQ(points.mid(offsets[i] - 1, word.size()), word) << i;
    }
}

TEST(SpeechMarkup, LongTextsAreSpokenInSentenceChunks)
{
    QString text;
    for (int i = 0; i < 400; ++i)
        text += QStringLiteral("Sentence number %1 is here. ").arg(i);
    const speech::SpeechText t = speech::ParseSpeech(text);
    size_t first = 0;
    int chunks = 0;
    while (first < t.units.size()) {
        const size_t end = speech::ChunkEnd(t, first);
        ASSERT_GT(end, first);
        EXPECT_TRUE(end == t.units.size() || t.spokenUnit(t.units[end - 1]).endsWith('.'));
        first = end;
        ++chunks;
    }
    EXPECT_GT(chunks, 10);
    // A text without any sentence end still ends each chunk.
    const speech::SpeechText words = speech::ParseSpeech(QString("word ").repeated(5000));
    EXPECT_LT(speech::ChunkEnd(words, 0), words.units.size());
}

// Words come from espeak-ng's own thread, also after the speaker is gone, and with no sound device.
TEST(EspeakSpeaker, ReportsEachWordCanGoMidSentenceAndNeverWaitsForever)
{
    const QString eight = QStringLiteral("one two three four five six seven eight");
    for (const auto output : {speech::EspeakSpeaker::Output::Retrieval, speech::EspeakSpeaker::Output::Playback}) {
        auto speaker = std::make_unique<speech::EspeakSpeaker>(output);
        std::vector<int> units;
        bool finished = false;
        QObject::connect(speaker.get(), &speech::SpeechEngine::unitReached, [&](int u) { units.push_back(u); });
        QObject::connect(speaker.get(), &speech::SpeechEngine::finished, [&] { finished = true; });
        speaker->speak(std::make_shared<const speech::SpeechText>(speech::ParseSpeech(eight)));
        ASSERT_TRUE(testsupport::waitUntil([&] { return finished; }, 30000));
        ASSERT_FALSE(units.empty());
        EXPECT_EQ(units.back(), 7);
        EXPECT_TRUE(std::is_sorted(units.begin(), units.end()));
        if (output == speech::EspeakSpeaker::Output::Playback)
            continue; // a machine with a sound card plays it; this one has none, which the fallback covers
        // The library is one per process: a second speaker shows its text and leaves the first alone.
        {
            speech::EspeakSpeaker second(output);
            QString told;
            bool shown = false;
            QObject::connect(&second, &speech::SpeechEngine::problem, [&](const QString& why) { told = why; });
            QObject::connect(&second, &speech::SpeechEngine::finished, [&] { shown = true; });
            second.speak(std::make_shared<const speech::SpeechText>(speech::ParseSpeech(eight)));
            EXPECT_TRUE(told.startsWith("espeak-ng is already speaking")) << told.toStdString();
            EXPECT_TRUE(testsupport::waitUntil([&] { return shown; }, 10000));
        }
        // Gone while espeak's thread is still sending words: nothing reaches it afterwards.
        units.clear();
        speaker->speak(std::make_shared<const speech::SpeechText>(speech::ParseSpeech(eight.repeated(40))));
        ASSERT_TRUE(testsupport::waitUntil([&] { return !units.empty(); }, 20000));
        speaker.reset();
        testsupport::pump(100);
    }
}
