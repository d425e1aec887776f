// Voice profiles: what is kept and for how long, damaged files, which model a room gets.
#include "voice/CommandLearning.h"
#include "SpeechClips.h"
#include "voice/Decoder.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

static const QString model = voice::DecoderSettings{}.model;

// Only with consent; an undone command (said again, or cancelled) is not kept; bounded in number;
// every so many the profile is due again. (Forget: RealMicrophone.TeachingGenie...)
TEST(CommandLearning, KeepsWhatWasNotUndoneWithinBounds)
{
    QTemporaryDir dir;
    voice::ProfileStore store(dir.path() + "/voice");
    voice::CommandLearning learning(store);
    int due = 0;
    QObject::connect(&learning, &voice::CommandLearning::enoughToAdapt, [&] { ++due; });
    const std::vector<short> sound(8000, 100);
    auto say = [&](const QString& command) {
        learning.offer("mic", command, command, {}, sound);
        learning.heard(command);
    };
    say("Time");
    say("Date"); // keeps the one before, had consent been given
    EXPECT_TRUE(store.recordings("mic").empty());
    store.setLearning("mic", true);
    say("Time");
    say("Time"); // said again at once: the first did not do what was meant
    say("Alarm");
    learning.heard("Cancel"); // the dialog it opened, cancelled
    say("Date");
    say("Now");
    const auto first = store.recordings("mic");
    ASSERT_EQ(first.size(), 2u);
    EXPECT_EQ(first[0].text + first[1].text, "TimeDate");
    for (int i = 0; i < voice::ProfileStore::MaxCommands + 5; ++i)
        say(i % 2 ? "Date" : "Now");
    const auto kept = store.recordings("mic");
    EXPECT_EQ(int(kept.size()), voice::ProfileStore::MaxCommands);
    EXPECT_EQ(kept.front().text, "Now"); // the oldest went
    EXPECT_EQ(QDir(store.folderFor("mic") + "/commands").entryList({"*.raw"}).size(), voice::ProfileStore::MaxCommands);
    EXPECT_GT(due, 0);
    store.markAdapted("mic");
    EXPECT_EQ(store.keptSinceAdaptation("mic"), 0);
}

// A profile whose files are damaged is refused, never handed to the recogniser's library; a whole one
// is heard with all of it in its room, with its transform in a noisier one, with none in a quieter.
TEST(VoiceProfile, DamagedFilesAreRefusedAndTheRoomChoosesTheModel)
{
    QTemporaryDir dir;
    const QString folder = dir.path() + "/profile";
    QDir().mkpath(folder);
    voice::VoiceProfile p;
    p.folder = folder;
    EXPECT_EQ(voice::VoiceProfile::load(folder, model)->kind, voice::ProfileKind::None);
    p.kind = voice::ProfileKind::Full;
    p.room = {false, 10};
    ASSERT_TRUE(p.save());
    QFile transform(p.transformPath());
    ASSERT_TRUE(transform.open(QIODevice::WriteOnly));
    transform.write("1\n3\n");
    for (int s = 0; s < 3; ++s) {
        transform.write("13\n");
        for (int i = 0; i < 13; ++i)
            for (int j = 0; j < 13; ++j)
                transform.write(i == j ? "1 " : "0 ");
        transform.write(QByteArray("0 ").repeated(13) + QByteArray("1 ").repeated(13) + "\n");
    }
    transform.close();
    ASSERT_TRUE(QFile::copy(model + "/means", p.meansPath()));
    ASSERT_TRUE(QFile::copy(model + "/variances", p.variancesPath()));
    const auto loaded = voice::VoiceProfile::load(folder, model);
    ASSERT_TRUE(loaded) << qPrintable(loaded.why());

    const auto owned = voicetest::OpenDecoder();
    voice::Decoder& d = *owned;
    ASSERT_TRUE(d.setProfile(*loaded));
    EXPECT_EQ(d.modelFor({false, 12}), voice::ProfileKind::Full);
    EXPECT_EQ(d.modelFor({false, 25}), voice::ProfileKind::Transform);
    EXPECT_EQ(d.modelFor({true, 45}), voice::ProfileKind::None);

    // A value that is no number, then a short means file, then a short transform.
    QFile means(p.meansPath());
    ASSERT_TRUE(means.open(QIODevice::ReadWrite) && means.seek(5000) && means.write("\x7f\x7f\x7f\x7f") == 4);
    means.close();
    EXPECT_FALSE(voice::VoiceProfile::load(folder, model));
    for (const auto& [path, size] : {std::pair{p.meansPath(), 4000}, {p.transformPath(), 100}}) {
        ASSERT_TRUE(QFile::resize(path, size));
        EXPECT_FALSE(voice::VoiceProfile::load(folder, model)) << qPrintable(path);
    }
}
