// Makes a microphone's voice profile from its recordings in the background, and keeps it only if it helps.
#include "ProfileBuilder.h"
#include "AudioFrontEnd.h"
#include "Grammar.h"
#include "SpokenWords.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSet>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace voice {

namespace {
QStringList wordsOf(const QString& text)
{
    const std::vector<QStringList> forms = SpokenForms(text);
    return forms.empty() ? QStringList() : forms.front();
}

int wordErrors(const QStringList& heard, const QStringList& said)
{
    std::vector<int> row(size_t(said.size()) + 1);
    for (int j = 0; j <= said.size(); ++j)
        row[size_t(j)] = j;
    for (int i = 1; i <= heard.size(); ++i) {
        int diagonal = row[0];
        row[0] = i;
        for (int j = 1; j <= said.size(); ++j) {
            const int up = row[size_t(j)];
            row[size_t(j)] = std::min({up + 1, row[size_t(j) - 1] + 1, diagonal + (heard[i - 1] == said[j - 1] ? 0 : 1)});
            diagonal = up;
        }
    }
    return row.back();
}

// The room most of the recordings were made in, and how far the voice stood above it there.
Room roomOf(const std::vector<StoredRecording>& recordings)
{
    int quiet = 0;
    for (const auto& r : recordings)
        quiet += r.room.quiet;
    Room room;
    room.quiet = 2 * quiet >= int(recordings.size());
    std::vector<float> levels;
    for (const auto& r : recordings)
        if (r.room.quiet == room.quiet)
            levels.push_back(r.room.voiceOverRoomDb);
    room.voiceOverRoomDb = Median(std::move(levels));
    return room;
}
} // namespace

ProfileBuilder::ProfileBuilder(ProfileStore& store, DecoderSettings decoder, AdaptationSetup setup)
    : store_(store), decoder_(std::move(decoder)), setup_(std::move(setup))
{
}

ProfileBuilder::~ProfileBuilder()
{
    cancel();
    join();
    replies_.discard();
}

void ProfileBuilder::join()
{
    if (worker_.joinable())
        worker_.join();
}

void ProfileBuilder::cancel()
{
    cancelled_ = true;
}

void ProfileBuilder::build(const QString& microphone)
{
    if (busy())
        return;
    join();
    cancelled_ = false;
    done_ = false;
    worker_ = std::thread([this, microphone] {
        // The character's animation comes first: this thread and the tools it starts give way.
        setpriority(PRIO_PROCESS, pid_t(syscall(SYS_gettid)), setup_.nice);
        const BuildReport report = buildNow(store_, microphone, decoder_, setup_, &cancelled_);
        replies_.post([this, microphone, report] {
            done_ = true;
            join();
            emit finished(microphone, report);
        });
    });
}

BuildReport ProfileBuilder::buildNow(ProfileStore& store, const QString& microphone, const DecoderSettings& decoder,
                                     const AdaptationSetup& setup, const std::atomic<bool>* cancelled)
{
    QElapsedTimer clock;
    clock.start();
    BuildReport report;
    const std::vector<StoredRecording> all = store.recordings(microphone);
    std::vector<StoredRecording> train, held;
    for (size_t i = 0; i < all.size(); ++i)
        (i % HoldAsideEvery == HoldAsideEvery - 1 ? held : train).push_back(all[i]);
    report.recordings = int(train.size());
    report.checked = int(held.size());
    if (train.size() < 4 || held.empty()) {
        report.why = QStringLiteral("there are too few recordings");
        return report;
    }
    std::vector<AdaptationInput> inputs;
    for (const auto& r : train)
        inputs.push_back({r.path, wordsOf(r.text)});
    const QString folder = store.folderFor(microphone);
    const QString made = folder + QStringLiteral("/profile.new");
    QDir(made).removeRecursively();
    Adaptation adaptation(setup, cancelled);
    if (auto r = adaptation.run(inputs, folder + QStringLiteral("/work"), made); !r) {
        QDir(made).removeRecursively();
        report.why = r.why();
        return report;
    }
    VoiceProfile profile;
    profile.folder = made;
    profile.kind = ProfileKind::Full;
    profile.room = roomOf(train);
    profile.made = QDateTime::currentDateTime();
    profile.recordings = report.recordings;
    profile.checked = report.checked;

    // The held-aside recordings heard as free words of everything said: how many words each model gets wrong.
    auto opened = Decoder::Open(decoder);
    if (!opened) {
        report.why = opened.why();
        return report;
    }
    Decoder& d = **opened;
    // Common words too: commands alone are few enough words for any model to tell them apart.
    QStringList vocabulary = CommonWords().mid(0, 150);
    for (const auto& r : all)
        vocabulary << wordsOf(r.text);
    vocabulary.removeDuplicates();
    std::vector<std::vector<short>> sounds;
    for (const auto& r : held)
        sounds.push_back(ReadSound(r.path));
    auto errorsWith = [&](ProfileKind kind) {
        int errors = 0;
        for (size_t i = 0; i < held.size(); ++i) {
            if (cancelled && cancelled->load())
                return 0;
            const QString heard = d.recognise(sounds[i], vocabulary, kind);
            errors += wordErrors(heard.split(u' ', Qt::SkipEmptyParts), wordsOf(held[i].text));
        }
        return errors;
    };
    for (const auto& r : held)
        report.words += int(wordsOf(r.text).size());
    report.stockErrors = errorsWith(ProfileKind::None);
    const auto current = store.profile(microphone, decoder.model);
    int currentErrors = report.stockErrors + 1;
    if (current && current->usable() && d.setProfile(*current))
        currentErrors = errorsWith(current->kind);
    if (auto r = d.setProfile(profile); !r) {
        report.why = r.why();
        return report;
    }
    const int full = errorsWith(ProfileKind::Full);
    const int transform = full < report.stockErrors ? full : errorsWith(ProfileKind::Transform);
    if (cancelled && cancelled->load()) {
        report.why = QStringLiteral("cancelled");
        QDir(made).removeRecursively();
        return report;
    }
    report.made = true;
    profile.stockErrors = report.stockErrors;
    // Only better than the stock model will do. The whole profile where it is: in the room it was made
    // in it has done best, or within a point of best, for every voice measured, and a few sentences held
    // aside cannot tell the two kinds apart more surely than that; the room rule keeps it out of others.
    const bool whole = full < report.stockErrors;
    const int best = whole ? full : transform;
    if (best >= report.stockErrors && currentErrors >= report.stockErrors) {
        report.errors = report.stockErrors;
        store.dropProfile(microphone);
    } else if (currentErrors <= best) {
        report.kept = true;
        report.kind = current->kind;
        report.errors = currentErrors;
        report.room = current->room;
    } else {
        profile.kind = whole ? ProfileKind::Full : ProfileKind::Transform;
        profile.errors = report.errors = best;
        if (profile.kind == ProfileKind::Transform) {
            QFile::remove(profile.meansPath());
            QFile::remove(profile.variancesPath());
        }
        if (auto r = profile.save(); !r) {
            report.why = r.why();
            return report;
        }
        if (auto r = store.install(microphone, made); !r) {
            report.made = false;
            report.why = r.why();
            return report;
        }
        report.kind = profile.kind;
        report.room = profile.room;
    }
    QDir(made).removeRecursively();
    store.markAdapted(microphone);
    const QString in = folder + QStringLiteral("/profile");
    for (const QFileInfo& f : QDir(in).entryInfoList(QDir::Files))
        report.bytes += f.size();
    report.seconds = double(clock.elapsed()) / 1000;
    return report;
}

} // namespace voice
