// Voice profiles made as the program makes them, for one synthetic voice in one room.
#include "ProfileMaker.h"
#include "SpeechClips.h"
#include "voice/TrainingSentences.h"

#include <QCryptographicHash>
#include <QDir>

namespace voicebench {

namespace {
const char* const problems[] = {"none", "empty", "too quiet", "clipped", "not the sentence"};

QString storeName(const QString& folder, const QString& voice, const QString& room, const char* kind)
{
    const QByteArray key = QCryptographicHash::hash((voice + u'\n' + room).toUtf8(), QCryptographicHash::Md5).toHex();
    return folder + u'/' + QString::fromLatin1(key.left(12)) + u'-' + QLatin1String(kind);
}
} // namespace

QStringList ProfileMaker::sessionOf(int voiceIndex)
{
    const QStringList& all = voice::TrainingSentences();
    QStringList session;
    for (int i = 0; i < all.size(); ++i)
        session << all[(voiceIndex * 7 + i) % all.size()];
    return session;
}

MadeProfile ProfileMaker::build(const QString& store) const
{
    MadeProfile made;
    voice::ProfileStore profiles(store);
    made.report = voice::ProfileBuilder::buildNow(profiles, QStringLiteral("mic"), settings_, voice::AdaptationSetup{
        settings_.model, settings_.dictionary, QStringLiteral("/usr/lib/sphinxtrain"), folder_ + QStringLiteral("/base")});
    if (made.report.made && made.report.kind != voice::ProfileKind::None) {
        const auto p = profiles.profile(QStringLiteral("mic"), settings_.model);
        if (p && p->usable())
            made.profile = *p;
    }
    return made;
}

MadeProfile ProfileMaker::fromSentences(const QString& voice, int voiceIndex, const voicetest::Condition& room,
                                        uint32_t seed) const
{
    const QString store = storeName(folder_, voice, room.name, "sentences");
    QDir(store).removeRecursively();
    const auto owned = voicetest::OpenDecoder(settings_);
    voice::Decoder& decoder = *owned;
    std::vector<voice::StoredRecording> readings;
    std::vector<std::vector<short>> sounds;
    int offered = 0;
    QMap<QString, int> refused;
    for (const QString& sentence : sessionOf(voiceIndex)) {
        if (int(readings.size()) >= Sentences)
            break;
        ++offered;
        decoder.begin();
        const auto clip = room.apply(voices_.clean(voice, sentence), seed++);
        decoder.feed(clip.data(), clip.size());
        const voice::Reading reading = decoder.endReading(sentence);
        if (reading.problem != voice::Reading::Problem::None) {
            ++refused[QLatin1String(problems[int(reading.problem)])];
            continue;
        }
        readings.push_back({{}, sentence, reading.room, false});
        sounds.push_back(reading.sound);
    }
    voice::ProfileStore(store).saveReadings(QStringLiteral("mic"), readings, sounds);
    MadeProfile made = build(store);
    made.offered = offered;
    made.refused = refused;
    return made;
}

MadeProfile ProfileMaker::fromCommands(const QString& voice, const voicetest::Condition& room,
                                       const std::vector<voicetest::CommandSet>& sets, uint32_t seed) const
{
    const QString store = storeName(folder_, voice, room.name, "commands");
    QDir(store).removeRecursively();
    voice::ProfileStore profiles(store);
    const auto owned = voicetest::OpenDecoder(settings_);
    voice::Decoder& decoder = *owned;
    MadeProfile made;
    // Commands come as a user gives them: a few from one window, then another's.
    for (int turn = 0; made.kept < Commands && turn < Commands * 5; ++turn) {
        const voicetest::CommandSet& set = sets[size_t(turn / 4) % sets.size()];
        const auto& phrase = set.phrases[size_t(turn * 3 + turn / 4) % set.phrases.size()];
        decoder.setPhrases(set.phrases);
        const voice::Outcome o = decoder.decode(room.apply(voices_.clean(voice, phrase.phrase), seed++));
        ++made.offered;
        if (!accepted_(o) || o.margin < settings_.rejection.keepMargin)
            continue;
        ++made.kept;
        made.keptWrong += o.heard.command != phrase.command;
        profiles.keepCommand(QStringLiteral("mic"), o.heard.phrase, voice::Room{o.rawSound, o.voiceOverRoomDb},
                             decoder.heardSound());
    }
    MadeProfile built = build(store);
    built.offered = made.offered;
    built.kept = made.kept;
    built.keptWrong = made.keptWrong;
    return built;
}

} // namespace voicebench
