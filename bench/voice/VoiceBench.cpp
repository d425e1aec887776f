// Voice commands across voices, rooms and words they were not tuned on, with and without a profile.
// Phrases right, wrong and refused per voice and room and per command set; other speech and near
// misses turned away; when "Listen" hears the end of speech; decode time and recogniser memory. Each
// voice in each room is heard again with the profiles the program would make: from 20 sentences read
// there, from its first 40 commands there, and from 20 sentences read in another room.
//   varrow-voice-bench [--quick] [--no-profiles] [--voices A,B] [--conditions A,B] [--sets A;B] [--threads N]
//                      [--raw] [--raw-above DB] [--vad 0-3] [--cache DIR] [--seed N]
//                      [--margin M] [--stray F] [--gap G] [--edits PER_PHONE EXTRA]
//                      [--reading] [--no-loop] [--no-inflections] [--drop DB] [--suppression 0-3] [--dump FILE.tsv] [--misses]
//                      [--rooms-each N] [--report FILE.tsv]
// --rooms-each has each voice say each phrase in N of the rooms, in turn, for a shorter run.
// --report prints the tables again from a dump of a run with the same voices, rooms and sets, under
// other limits, without decoding anything.
// The decoder runs with its limits open and they are applied here, so one run serves any limits.
#include "CommandSets.h"
#include "Condition.h"
#include "Rooms.h"
#include "SpeechClips.h"
#include "ProfileMaker.h"
#include "Voices.h"
#include "voice/TrainingSentences.h"
#include "voice/Decoder.h"
#include "voice/RoomTone.h"
#include "voice/SpeechEnd.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QDir>
#include <QThread>
#include <algorithm>
#include <array>
#include <atomic>
#include <cstdio>
#include <map>
#include <set>
#include <tuple>
#include <sys/resource.h>
#include <mutex>

using namespace voicetest;
using voicebench::Voice;

namespace {

enum class Kind { Phrase, Sentence, NearMiss };

// What each utterance is heard with: the stock model, then the profiles.
constexpr int Columns = 4;
const char* const columnNames[Columns] = {"stock", "20 sentences", "40 commands", "other room"};

struct Item {
    int set = 0, voice = 0, condition = 0;
    Kind kind = Kind::Phrase;
    QString text, expected; // expected empty: to be turned away
    bool heldOut = false;
    uint32_t seed = 0;
    std::array<voice::Outcome, Columns> outcomes; // [0] the stock model's
    double ms = 0, audioMs = 0, profileMs = 0;
    int endLag = 0;   // frames from the end of speech to where "Listen" stopped
    int endState = -1; // 0 ended, 1 never heard speech, 2 did not stop
    int speechVoiced = 0, speechFrames = 0, roomVoiced = 0, roomFrames = 0; // the voice decision, frame by frame
};

void add(std::vector<Item>& items, int set, int voice, int condition, Kind kind, const QString& text,
         const QString& expected, bool heldOut, uint32_t seed)
{
    Item& it = items.emplace_back();
    it.set = set, it.voice = voice, it.condition = condition, it.kind = kind;
    it.text = text, it.expected = expected, it.heldOut = heldOut, it.seed = seed;
}

struct Limits {
    double perPhone, extra, gap, margin;
    int stray;
};

bool accepted(const voice::Outcome& o, const Limits& l)
{
    return !o.heard.command.isEmpty() && o.phoneEdits <= l.perPhone * o.phrasePhones + l.extra && o.phoneGap <= l.gap &&
           o.strayFrames <= l.stray && o.margin >= l.margin;
}

double residentMb()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').front().toDouble() / 1024;
    return 0;
}

// Where "Listen" would stop on this clip, followed by its own room for as long as it takes.
void listenEnd(const std::vector<short>& clip, const voice::FrontEndSettings& fs,
               const voice::SpeechEndDetector::Limits& ending, Item* item)
{
    auto made = voice::MakeFrontEnd(fs);
    if (!made) {
        std::fprintf(stderr, "%s\n", qPrintable(made.why()));
        std::exit(1);
    }
    auto front = std::move(*made);
    voice::SpeechEndDetector detector(ending);
    voice::RoomTone room(clip);
    const size_t n = voice::AudioFrontEnd::FrameSamples;
    const int speechEnd = int((clip.size() - Condition::afterSamples) / n);
    const int speechStart = int(Condition::beforeSamples / n);
    short frame[voice::AudioFrontEnd::FrameSamples];
    for (int f = 0; f < 1500; ++f) {
        if (size_t(f + 1) * n <= clip.size())
            std::copy_n(clip.data() + size_t(f) * n, n, frame);
        else
            room.fill(frame, n);
        const auto [voiced, level] = front->process(frame);
        if (f >= speechStart && f < speechEnd)
            item->speechVoiced += voiced, ++item->speechFrames;
        else if (f < speechStart - 5 || (f > speechEnd + 30 && f < speechEnd + 150))
            item->roomVoiced += voiced, ++item->roomFrames; // away from the speech's edges and echo
        const auto state = detector.frame(voiced, level);
        if (state == voice::SpeechEndDetector::State::Ended && item->endState < 0) {
            item->endLag = f - speechEnd;
            item->endState = f >= 999 ? 2 : 0;
        }
        if (state == voice::SpeechEndDetector::State::GaveUp && item->endState < 0)
            item->endState = 1;
        if (item->endState >= 0 && f > speechEnd + 150)
            return;
    }
    if (item->endState < 0)
        item->endState = 2;
}

double percent(int a, int b)
{
    return b ? 100.0 * a / b : 0;
}

double median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    voice::DecoderSettings settings;
    voice::Rejection& rejection = settings.rejection;
    Limits limits{rejection.editsPerPhone, rejection.extraEdits, rejection.maxPhoneGap, rejection.minMargin,
                  rejection.maxStrayFrames};
    voice::SpeechEndDetector::Limits ending;
    rejection.editsPerPhone = rejection.extraEdits = rejection.maxPhoneGap = 1e9;
    rejection.minMargin = -1e9;
    rejection.maxStrayFrames = 1000000;
    QString dump, report, cache = QStringLiteral("voice-clips");
    QStringList sets, onlyVoices, onlyConditions;
    int threads = std::max(1, QThread::idealThreadCount());
    uint32_t firstSeed = 1;
    bool misses = false, quick = false, profiles = true;
    int adaptRuns = 0; // only time this many adaptations, one after another, at the program's priority
    int roomsEach = 0; // rooms each phrase is said in by each voice, in turn; 0: all
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        const bool value = i + 1 < args.size();
        const QString& a = args[i];
        if (a == "--quick")
            quick = true;
        else if (a == "--no-profiles")
            profiles = false;
        else if (a == "--adapt-timing" && value)
            adaptRuns = std::max(1, args[++i].toInt());
        else if (a == "--voices" && value)
            onlyVoices = args[++i].split(u',');
        else if (a == "--conditions" && value)
            onlyConditions = args[++i].split(u',');
        else if (a == "--sets" && value)
            sets = args[++i].split(u';');
        else if (a == "--threads" && value)
            threads = std::max(1, args[++i].toInt());
        else if (a == "--reading")
            rejection.phoneReading = true;
        else if (a == "--no-inflections")
            rejection.inflections = false;
        else if (a == "--suppression" && value)
            settings.frontEnd.suppression = args[++i].toInt();
        else if (a == "--drop" && value)
            ending.dropDb = args[++i].toFloat();
        else if (a == "--no-loop")
            rejection.phonePass = false;
        else if (a == "--raw")
            settings.frontEnd.cleanForDecoder = false;
        else if (a == "--raw-above" && value)
            settings.frontEnd.rawAboveDb = args[++i].toFloat();
        else if (a == "--vad" && value)
            settings.frontEnd.aggressiveness = args[++i].toInt();
        else if (a == "--cache" && value)
            cache = args[++i];
        else if (a == "--seed" && value)
            firstSeed = args[++i].toUInt();
        else if (a == "--margin" && value)
            limits.margin = args[++i].toDouble();
        else if (a == "--stray" && value)
            limits.stray = args[++i].toInt();
        else if (a == "--gap" && value)
            limits.gap = args[++i].toDouble();
        else if (a == "--edits" && i + 2 < args.size()) {
            limits.perPhone = args[++i].toDouble();
            limits.extra = args[++i].toDouble();
        } else if (a == "--dump" && value)
            dump = args[++i];
        else if (a == "--rooms-each" && value)
            roomsEach = std::max(1, args[++i].toInt());
        else if (a == "--report" && value)
            report = args[++i];
        else if (a == "--misses")
            misses = true;
        else {
            const bool help = a == "--help";
            std::fprintf(help ? stdout : stderr, "%s%s\n", help ? "" : qPrintable("unknown option " + a + "\n"),
                         "usage: varrow-voice-bench [--quick] [--no-profiles] [--adapt-timing N] [--voices A,B] [--conditions A,B] [--sets A;B]\n"
                         "       [--threads N] [--raw] [--raw-above DB] [--vad 0-3] [--cache DIR] [--seed N]\n"
                         "       [--margin M] [--stray F] [--gap G] [--edits PER_PHONE EXTRA] [--reading] [--no-loop] [--no-inflections] [--drop DB]\n"
                         "       [--suppression 0-3]\n"
                         "       [--dump FILE.tsv] [--misses] [--rooms-each N] [--report FILE.tsv]");
            return help ? 0 : 2;
        }
    }
    std::vector<Voice> voices;
    for (const Voice& v : Voice::all())
        if ((onlyVoices.isEmpty() && (!quick || v.id == "en-us" || v.id == "kal16" || v.id == "voice_kal_diphone")) ||
            onlyVoices.contains(v.name))
            voices.push_back(v);
    std::vector<Condition> conditions;
    for (const Condition& c : voicebench::Rooms())
        if ((onlyConditions.isEmpty() && (!quick || c.kind == Condition::Kind::DigitalSilence || c.value == 10 ||
                                          c.kind == Condition::Kind::Click)) ||
            onlyConditions.contains(c.name))
            conditions.push_back(c);
    std::vector<CommandSet> commandSets;
    for (const CommandSet& s : LiveCommandSets())
        if (sets.isEmpty() || std::any_of(sets.begin(), sets.end(), [&](const QString& t) { return s.name.startsWith(t); }))
            commandSets.push_back(s);
    if (voices.empty() || conditions.empty() || commandSets.empty()) {
        std::fprintf(stderr, "nothing to measure: no voice, room or command set matches\n");
        return 2;
    }

    // Every text said once by every voice.
    const auto sentences = OutOfGrammarSentences();
    const auto nearMisses = NearMisses();
    QStringList texts;
    for (const CommandSet& s : commandSets)
        for (const auto& p : s.phrases)
            texts << p.phrase;
    for (const QString& s : sentences)
        texts << s;
    for (const NearMiss& m : nearMisses)
        texts << m.said;
    if (profiles)
        texts << voice::TrainingSentences();
    texts.removeDuplicates();
    Synthesiser espeak;
    if (report.isEmpty() && !espeak.ready()) {
        std::fprintf(stderr, "%s\n", qPrintable(espeak.error()));
        return 1;
    }
    QElapsedTimer clock;
    clock.start();
    voicebench::Voices said(espeak, cache);
    QString why;
    if (report.isEmpty() && !said.prepare(voices, texts, &why)) {
        std::fprintf(stderr, "%s\n", qPrintable(why));
        return 1;
    }
    std::fprintf(stderr, "speech of %lld texts in %zu voices ready in %.0f s\n", qlonglong(texts.size()), voices.size(),
                 clock.elapsed() / 1000.0);

    if (adaptRuns > 0) {
        // As the program adapts: the first voice's 20 sentences read in the first room, niced.
        setpriority(PRIO_PROCESS, 0, 10);
        voicebench::ProfileMaker maker(said, settings, cache + QStringLiteral("/profiles"),
                                       [&](const voice::Outcome& o) { return accepted(o, limits); });
        std::vector<double> seconds;
        for (int r = 0; r < adaptRuns; ++r) {
            const auto m = maker.fromSentences(voices[0].name, 0, conditions[0], 50000 + 1000 * uint32_t(r));
            seconds.push_back(m.report.seconds);
            std::printf("adaptation %d: %s, %.1f s (tools and check), %lld KB\n", r + 1,
                        m.report.made ? qPrintable(voice::KindName(m.report.kind)) : qPrintable(m.report.why),
                        m.report.seconds, qlonglong(m.report.bytes / 1024));
        }
        std::printf("adaptation of %s in %s: median %.1f s, worst %.1f s\n", qPrintable(voices[0].name),
                    qPrintable(conditions[0].name), median(seconds), *std::max_element(seconds.begin(), seconds.end()));
        return 0;
    }

    // Phrases in every voice and room; other speech and near misses in three of them each, in turn.
    std::vector<Item> items;
    uint32_t seed = firstSeed;
    const int nv = int(voices.size()), nc = int(conditions.size());
    for (int s = 0; s < int(commandSets.size()); ++s) {
        QSet<QString> phrases;
        for (const auto& p : commandSets[size_t(s)].phrases)
            phrases.insert(p.phrase);
        const auto& setPhrases = commandSets[size_t(s)].phrases;
        for (int v = 0; v < nv; ++v)
            for (int c = 0; c < nc; ++c)
                for (int p = 0; p < int(setPhrases.size()); ++p)
                    if (roomsEach <= 0 || (c - p - v + 1000 * nc) % nc < roomsEach)
                        add(items, s, v, c, Kind::Phrase, setPhrases[size_t(p)].phrase, setPhrases[size_t(p)].command,
                            voices[size_t(v)].engine == Voice::Engine::Festival, seed++);
        int turn = s;
        auto other = [&](Kind kind, const QString& text, bool heldOut) {
            for (int k = 0; k < 3; ++k, ++turn)
                add(items, s, turn % nv, (turn / nv + k) % nc, kind, text, {}, heldOut, seed++);
        };
        for (size_t i = 0; i < sentences.size(); ++i)
            other(Kind::Sentence, sentences[i], HeldOut(i));
        for (size_t i = 0; i < nearMisses.size(); ++i)
            if (phrases.contains(nearMisses[i].phrase))
                other(Kind::NearMiss, nearMisses[i].said, HeldOut(i));
    }

    // The recogniser's own memory: loaded, with the largest set, after hearing each of its phrases.
    double memoryMb = 0, startMs = 0, decodeSeconds = 0, profileSeconds = 0;
    std::map<std::tuple<int, int, bool>, voicebench::MadeProfile> made; // voice, room, from commands
    std::vector<int> otherRoom; // per room, where the other room's profile was made
    std::vector<Condition> rooms; // the rooms measured, then those only profiles were made in
    if (report.isEmpty()) {
        const double before = residentMb();
        QElapsedTimer t;
        t.start();
        voice::DecoderSettings defaults;
        defaults.frontEnd = settings.frontEnd;
        const auto owned = voicetest::OpenDecoder(defaults);
        voice::Decoder& d = *owned;
        const auto all = LiveCommandSets();
        d.setPhrases(all[5].phrases);
        startMs = double(t.nsecsElapsed()) / 1e6;
        for (const auto& p : all[5].phrases)
            d.decode(Condition{"faint", Condition::Kind::Faint, 0}.apply(said.clean(voices[0].name, p.phrase), 1));
        memoryMb = residentMb() - before;
    }

    if (!report.isEmpty()) {
        QFile f(report);
        if (!f.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "cannot read %s\n", qPrintable(report));
            return 1;
        }
        const QList<QByteArray> lines = f.readAll().split('\n');
        const int per = !lines.isEmpty() && lines[0].endsWith("\tcolumn") ? Columns : 1;
        for (size_t i = 0; i < items.size(); ++i)
            for (int col = 0; col < per; ++col) {
                const qsizetype line = qsizetype(i) * per + col + 1;
                const QList<QByteArray> c = line < lines.size() ? lines[line].split('\t') : QList<QByteArray>();
                if (c.size() < 26 || QString::fromUtf8(c[5]) != items[i].text) {
                    std::fprintf(stderr, "%s is not a dump of a run with these voices, rooms and sets\n", qPrintable(report));
                    return 1;
                }
                voice::Outcome& o = items[i].outcomes[size_t(col)];
                o.heard.command = QString::fromUtf8(c[7]);
                o.words = QString::fromUtf8(c[8]);
                o.phoneEdits = c[9].toInt(), o.phrasePhones = c[10].toInt(), o.phoneGap = c[11].toDouble();
                o.strayFrames = c[12].toInt(), o.margin = c[13].toDouble(), o.runnerUp = QString::fromUtf8(c[14]);
                o.voiceFrames = c[15].toInt(), o.wordFrames = c[16].toInt();
                o.voiceBefore = c[20].toInt(), o.voiceAfter = c[21].toInt();
                if (col > 0)
                    continue;
                items[i].ms = c[17].toDouble(), items[i].endLag = c[18].toInt(), items[i].endState = c[19].toInt();
                items[i].speechVoiced = c[22].toInt(), items[i].speechFrames = c[23].toInt();
                items[i].roomVoiced = c[24].toInt(), items[i].roomFrames = c[25].toInt();
                items[i].audioMs = 1;
            }
        profiles = per == Columns;
    } else {
    // The profiles each voice gets in each room, made as the program makes them. The other room's
    // profile is one made where the noise is least alike: in steady noise for a quiet room, in a quiet
    // room for every other.
    rooms = conditions;
    auto roomIndex = [&](const QString& name) {
        for (int r = 0; r < int(rooms.size()); ++r)
            if (rooms[size_t(r)].name == name)
                return r;
        for (const Condition& c : voicebench::Rooms())
            if (c.name == name)
                rooms.push_back(c);
        return int(rooms.size()) - 1;
    };
    for (int c = 0; c < nc; ++c) {
        const Condition& room = conditions[size_t(c)];
        const bool quiet = room.kind == Condition::Kind::DigitalSilence ||
                           (room.kind == Condition::Kind::Faint && !room.pace && !room.echo);
        otherRoom.push_back(roomIndex(quiet ? QStringLiteral("white 10 dB") : QStringLiteral("quiet mic")));
    }
    if (profiles) {
        struct Job {
            int voice, room;
            bool commands;
        };
        std::vector<Job> jobs;
        std::set<std::tuple<int, int, bool>> wanted;
        for (const Item& it : items) {
            wanted.insert({it.voice, it.condition, false});
            wanted.insert({it.voice, it.condition, true});
            wanted.insert({it.voice, otherRoom[size_t(it.condition)], false});
        }
        for (const auto& [v, r, commands] : wanted)
            jobs.push_back({v, r, commands});
        const QString folder = cache + QStringLiteral("/profiles");
        QDir().mkpath(folder);
        voicebench::ProfileMaker maker(said, settings, folder, [&](const voice::Outcome& o) { return accepted(o, limits); });
        std::atomic<size_t> nextJob{0}, jobsDone{0};
        std::mutex lock;
        auto makeProfiles = [&] {
            for (size_t j; (j = nextJob++) < jobs.size();) {
                const Job& job = jobs[j];
                const QString& voiceName = voices[size_t(job.voice)].name;
                const Condition& room = rooms[size_t(job.room)];
                voicebench::MadeProfile m =
                    job.commands ? maker.fromCommands(voiceName, room, commandSets, 90000 + 1000 * uint32_t(j))
                                 : maker.fromSentences(voiceName, job.voice, room, 50000 + 1000 * uint32_t(j));
                std::lock_guard<std::mutex> hold(lock);
                made[{job.voice, job.room, job.commands}] = std::move(m);
                std::fprintf(stderr, "\rprofiles %zu/%zu", ++jobsDone, jobs.size());
            }
        };
        clock.restart();
        std::vector<QThread*> makers;
        for (int i = 0; i < threads; ++i) {
            makers.push_back(QThread::create(makeProfiles));
            makers.back()->start();
        }
        for (QThread* w : makers) {
            w->wait();
            delete w;
        }
        profileSeconds = clock.elapsed() / 1000.0;
        std::fprintf(stderr, "\rmade %zu profiles in %.0f s with %d threads\n", jobs.size(), profileSeconds, threads);
    }
    auto profileFor = [&](const Item& it, int col) -> const voice::VoiceProfile* {
        const auto found = made.find({it.voice, col == 3 ? otherRoom[size_t(it.condition)] : it.condition, col == 2});
        return col == 0 || found == made.end() || !found->second.profile ? nullptr : &*found->second.profile;
    };

    std::atomic<size_t> next{0};
    // One per set, voice and room, so a decoder keeps its phrases and profile a while.
    std::vector<std::vector<size_t>> tasks;
    std::map<std::tuple<int, int, int>, size_t> taskOf;
    for (size_t i = 0; i < items.size(); ++i) {
        const auto key = std::make_tuple(items[i].set, items[i].voice, items[i].condition);
        if (!taskOf.count(key)) {
            taskOf[key] = tasks.size();
            tasks.emplace_back();
        }
        tasks[taskOf[key]].push_back(i);
    }
    std::atomic<size_t> done{0};
    auto work = [&] {
        const auto owned = voicetest::OpenDecoder(settings);
        voice::Decoder& decoder = *owned;
        int phrasesOf = -1;
        for (size_t t; (t = next++) < tasks.size();) {
            std::vector<std::vector<short>> clips;
            for (size_t i : tasks[t]) {
                const Item& it = items[i];
                clips.push_back(conditions[size_t(it.condition)].apply(said.clean(voices[size_t(it.voice)].name, it.text), it.seed));
            }
            for (int col = 0; col < (profiles ? Columns : 1); ++col) {
                const voice::VoiceProfile* profile = profileFor(items[tasks[t].front()], col);
                if (col > 0 && !profile) { // the program would hear with the stock model
                    for (size_t i : tasks[t])
                        items[i].outcomes[size_t(col)] = items[i].outcomes[0];
                    continue;
                }
                decoder.setProfile(profile ? std::optional<voice::VoiceProfile>(*profile) : std::nullopt);
                for (size_t k = 0; k < tasks[t].size(); ++k) {
                    Item& it = items[tasks[t][k]];
                    if (it.set != phrasesOf)
                        decoder.setPhrases(commandSets[size_t(it.set)].phrases);
                    phrasesOf = it.set;
                    QElapsedTimer c;
                    c.start();
                    it.outcomes[size_t(col)] = decoder.decode(clips[k]);
                    const double ms = double(c.nsecsElapsed()) / 1e6;
                    if (col == 1)
                        it.profileMs = ms;
                    if (col > 0)
                        continue;
                    it.ms = ms;
                    it.audioMs = double(clips[k].size()) / 16;
                    if (it.kind == Kind::Phrase)
                        listenEnd(clips[k], settings.frontEnd, ending, &it);
                }
            }
            const size_t d = ++done;
            if (d % 10 == 0)
                std::fprintf(stderr, "\r%zu/%zu", d, tasks.size());
        }
    };
    clock.restart();
    std::vector<QThread*> workers;
    for (int i = 0; i < threads; ++i) {
        workers.push_back(QThread::create(work));
        workers.back()->start();
    }
    for (QThread* w : workers) {
        w->wait();
        delete w;
    }
    decodeSeconds = clock.elapsed() / 1000.0;
    std::fprintf(stderr, "\rdecoded %zu utterances in %.0f s with %d threads\n", items.size(), decodeSeconds, threads);
    }

    if (!dump.isEmpty()) {
        FILE* f = std::fopen(dump.toLocal8Bit().constData(), "w");
        if (!f) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(dump));
            return 1;
        }
        std::fprintf(f, "set\tvoice\tcondition\tkind\theldout\ttext\texpected\tcommand\twords\tedits\tphones\tgap\tstray\tmargin\trunnerup\tvoiceframes\twordframes\tms\tendlag\tendstate\tbefore\tafter\tspeechvoiced\tspeechframes\troomvoiced\troomframes\tvoiceoverroom\traw%s\n",
                     profiles ? "\tmodel\tcolumn" : "");
        for (const Item& it : items)
            for (int col = 0; col < (profiles ? Columns : 1); ++col) {
                const voice::Outcome& o = it.outcomes[size_t(col)];
                std::fprintf(f, "%s\t%s\t%s\t%d\t%d\t%s\t%s\t%s\t%s\t%d\t%d\t%.3f\t%d\t%.3f\t%s\t%d\t%d\t%.1f\t%d\t%d\t%d\t%d\t%d\t%d\t%d\t%d\t%.1f\t%d",
                             qPrintable(commandSets[size_t(it.set)].name), qPrintable(voices[size_t(it.voice)].name),
                             qPrintable(conditions[size_t(it.condition)].name), int(it.kind), int(it.heldOut),
                             qPrintable(it.text), qPrintable(it.expected), qPrintable(o.heard.command), qPrintable(o.words),
                             o.phoneEdits, o.phrasePhones, o.phoneGap, o.strayFrames, std::min(o.margin, 1e6),
                             qPrintable(o.runnerUp), o.voiceFrames, o.wordFrames, it.ms, it.endLag, it.endState,
                             o.voiceBefore, o.voiceAfter, it.speechVoiced, it.speechFrames, it.roomVoiced, it.roomFrames,
                             double(o.voiceOverRoomDb), int(o.rawSound));
                if (profiles)
                    std::fprintf(f, "\t%s\t%d", qPrintable(voice::KindName(o.model)), col);
                std::fprintf(f, "\n");
            }
        std::fclose(f);
    }

    // Phrases: right, wrong, refused.
    struct Count {
        int right = 0, wrong = 0, total = 0;
        void add(bool ok, bool isRight) { right += ok && isRight, wrong += ok && !isRight, ++total; }
        QString cell() const
        {
            return QString::asprintf("%5.1f/%4.1f", percent(right, total), percent(wrong, total));
        }
    };
    struct Away {
        int away = 0, total = 0;
        void add(bool ok) { away += !ok, ++total; }
        QString cell() const { return total ? QString::asprintf("%4d/%-4d %5.1f%%", away, total, percent(away, total)) : "-"; }
    };
    std::map<std::pair<int, int>, Count> byVoiceRoom;
    std::map<int, Count> byVoice, byRoom, bySet, heldOutBySet;
    std::map<int, Count> firstByRoom; // the recogniser's choice before any turning away: what limits can keep
    Count firstAll;
    std::map<int, Away> sentencesBySet, missesBySet, heldOutSentences, heldOutMisses;
    Count all, heldOutPhrases;
    Away allSentences, allMisses, allHeldSentences, allHeldMisses;
    std::map<int, std::vector<double>> lagByRoom;
    std::map<int, std::array<int, 4>> endByRoom; // ended within 1 s, later, never heard, did not stop
    std::map<int, std::array<int, 4>> vadByRoom;  // speech frames voiced, of all; room frames voiced, of all
    std::vector<double> phraseMs, otherMs;
    double decodeMs = 0, audioMs = 0;
    for (const Item& it : items) {
        const bool ok = accepted(it.outcomes[0], limits);
        decodeMs += it.ms, audioMs += it.audioMs;
        if (it.kind == Kind::Phrase) {
            const bool right = it.outcomes[0].heard.command == it.expected;
            byVoiceRoom[{it.voice, it.condition}].add(ok, right);
            byVoice[it.voice].add(ok, right);
            byRoom[it.condition].add(ok, right);
            bySet[it.set].add(ok, right);
            all.add(ok, right);
            firstByRoom[it.condition].add(!it.outcomes[0].heard.command.isEmpty(), right);
            firstAll.add(!it.outcomes[0].heard.command.isEmpty(), right);
            if (it.heldOut)
                heldOutPhrases.add(ok, right), heldOutBySet[it.set].add(ok, right);
            phraseMs.push_back(it.ms);
            auto& vad = vadByRoom[it.condition];
            vad[0] += it.speechVoiced, vad[1] += it.speechFrames, vad[2] += it.roomVoiced, vad[3] += it.roomFrames;
            auto& e = endByRoom[it.condition];
            if (it.endState == 0) {
                lagByRoom[it.condition].push_back(it.endLag * 10.0);
                ++e[it.endLag <= 100 && it.endLag >= 0 ? 0 : 1];
            } else {
                ++e[size_t(it.endState + 1)];
            }
            if (misses && !(ok && right))
                std::printf("  %s [%s / %s / %s] \"%s\" -> \"%s\" (runner-up \"%s\", margin %.2f, stray %d, edits %d/%d, gap %.1f)\n",
                            ok ? "WRONG" : "refused", qPrintable(commandSets[size_t(it.set)].name),
                            qPrintable(voices[size_t(it.voice)].name), qPrintable(conditions[size_t(it.condition)].name),
                            qPrintable(it.text), qPrintable(it.outcomes[0].words), qPrintable(it.outcomes[0].runnerUp),
                            it.outcomes[0].margin, it.outcomes[0].strayFrames, it.outcomes[0].phoneEdits, it.outcomes[0].phrasePhones,
                            it.outcomes[0].phoneGap);
        } else {
            otherMs.push_back(it.ms);
            const bool sentence = it.kind == Kind::Sentence;
            (sentence ? sentencesBySet : missesBySet)[it.set].add(ok);
            (sentence ? allSentences : allMisses).add(ok);
            if (it.heldOut) {
                (sentence ? heldOutSentences : heldOutMisses)[it.set].add(ok);
                (sentence ? allHeldSentences : allHeldMisses).add(ok);
            }
            if (misses && ok)
                std::printf("  taken [%s / %s / %s] %s \"%s\" -> %s\n", qPrintable(commandSets[size_t(it.set)].name),
                            qPrintable(voices[size_t(it.voice)].name), qPrintable(conditions[size_t(it.condition)].name),
                            sentence ? "sentence" : "near miss", qPrintable(it.text), qPrintable(it.outcomes[0].heard.command));
        }
    }

    std::printf("\nPhrases right/wrong %% (the rest refused), by voice and room; \"first choice\" is the recogniser's\n"
                "own pick before any is turned away, the most that turning away can keep:\n%-18s",
                "voice");
    for (int c = 0; c < int(conditions.size()); ++c)
        std::printf(" %11.11s", qPrintable(conditions[size_t(c)].name));
    std::printf(" %11s\n", "all");
    for (int v = 0; v < int(voices.size()); ++v) {
        std::printf("%-18s", qPrintable(voices[size_t(v)].name));
        for (int c = 0; c < int(conditions.size()); ++c)
            std::printf(" %11s", qPrintable(byVoiceRoom[std::make_pair(v, c)].cell()));
        std::printf(" %11s\n", qPrintable(byVoice[v].cell()));
    }
    std::printf("%-18s", "all voices");
    for (int c = 0; c < int(conditions.size()); ++c)
        std::printf(" %11s", qPrintable(byRoom[c].cell()));
    std::printf(" %11s\n%-18s", qPrintable(all.cell()), "first choice");
    for (int c = 0; c < int(conditions.size()); ++c)
        std::printf(" %11s", qPrintable(firstByRoom[c].cell()));
    std::printf(" %11s\n", qPrintable(firstAll.cell()));

    std::printf("\n%-32s %8s %8s %8s %20s %20s\n", "command set", "right", "wrong", "refused", "other speech away",
                "near misses away");
    auto setRow = [&](const QString& name, const Count& c, const Away& s, const Away& m) {
        std::printf("%-32s %7.1f%% %7.1f%% %7.1f%% %20s %20s\n", qPrintable(name), percent(c.right, c.total),
                    percent(c.wrong, c.total), percent(c.total - c.right - c.wrong, c.total), qPrintable(s.cell()),
                    qPrintable(m.cell()));
    };
    for (int s = 0; s < int(commandSets.size()); ++s)
        setRow(commandSets[size_t(s)].name, bySet[s], sentencesBySet[s], missesBySet[s]);
    setRow(QStringLiteral("all"), all, allSentences, allMisses);
    std::printf("\nHeld out from tuning (festival voices' phrases; every third sentence and near miss):\n");
    for (int s = 0; s < int(commandSets.size()); ++s)
        setRow(commandSets[size_t(s)].name, heldOutBySet[s], heldOutSentences[s], heldOutMisses[s]);
    setRow(QStringLiteral("held out, all"), heldOutPhrases, allHeldSentences, allHeldMisses);

    std::printf("\n\"Listen\": when it stops after the speech ends (ms), per room; and the front end's voice decision\n"
                "%-24s %8s %8s %10s %8s %10s %10s %14s %14s\n",
                "room", "median", "worst", "<= 1.0 s", "later", "no voice", "no stop", "speech voiced", "room voiced");
    for (int c = 0; c < int(conditions.size()); ++c) {
        const auto& lags = lagByRoom[c];
        const auto& e = endByRoom[c];
        const auto& vad = vadByRoom[c];
        std::printf("%-24s %8.0f %8.0f %10d %8d %10d %10d %13.1f%% %13.1f%%\n", qPrintable(conditions[size_t(c)].name),
                    median(lags), lags.empty() ? 0.0 : *std::max_element(lags.begin(), lags.end()), e[0], e[1], e[2],
                    e[3], percent(vad[0], vad[1]), percent(vad[2], vad[3]));
    }

    if (profiles) {
        // The same phrases and other speech heard with each profile.
        std::map<std::pair<int, int>, std::array<Count, Columns>> pv, pvFirst; // voice, room
        std::map<int, std::array<Count, Columns>> pRoom, pRoomFirst, pVoice, pVoiceFirst, pSet;
        std::map<int, std::array<Away, Columns>> pSentences, pMisses;
        std::array<Count, Columns> pAll, pAllFirst, pHeld;
        std::array<Away, Columns> pAllSentences, pAllMisses, pHeldSentences, pHeldMisses;
        std::vector<double> profileMs;
        for (const Item& it : items)
            for (int col = 0; col < Columns; ++col) {
                const voice::Outcome& o = it.outcomes[size_t(col)];
                const bool ok = accepted(o, limits);
                const size_t k = size_t(col);
                if (it.kind == Kind::Phrase) {
                    const bool right = o.heard.command == it.expected, first = !o.heard.command.isEmpty();
                    pv[{it.voice, it.condition}][k].add(ok, right);
                    pvFirst[{it.voice, it.condition}][k].add(first, right);
                    pRoom[it.condition][k].add(ok, right);
                    pRoomFirst[it.condition][k].add(first, right);
                    pVoice[it.voice][k].add(ok, right);
                    pVoiceFirst[it.voice][k].add(first, right);
                    pSet[it.set][k].add(ok, right);
                    pAll[k].add(ok, right);
                    pAllFirst[k].add(first, right);
                    if (it.heldOut)
                        pHeld[k].add(ok, right);
                    if (col == 1 && it.outcomes[1].model != voice::ProfileKind::None)
                        profileMs.push_back(it.profileMs);
                } else {
                    const bool sentence = it.kind == Kind::Sentence;
                    (sentence ? pSentences : pMisses)[it.set][k].add(ok);
                    (sentence ? pAllSentences : pAllMisses)[k].add(ok);
                    if (it.heldOut)
                        (sentence ? pHeldSentences : pHeldMisses)[k].add(ok);
                }
            }
        auto arrow = [](const Count& a, const Count& b) {
            return QString::asprintf("%3.0f>%3.0f", percent(a.right, a.total), percent(b.right, b.total));
        };
        for (const bool first : {true, false}) {
            std::printf("\nPer voice and room, %s %%: stock > with a profile from 20 sentences read there:\n%-18s",
                        first ? "first choice right" : "right after the limits", "voice");
            for (int c = 0; c < nc; ++c)
                std::printf(" %9.9s", qPrintable(conditions[size_t(c)].name));
            std::printf("\n");
            for (int v = 0; v < nv; ++v) {
                std::printf("%-18s", qPrintable(voices[size_t(v)].name));
                for (int c = 0; c < nc; ++c) {
                    const auto& cell = (first ? pvFirst : pv)[{v, c}];
                    std::printf(" %9s", cell[0].total ? qPrintable(arrow(cell[0], cell[1])) : "-");
                }
                std::printf("\n");
            }
        }
        auto columnsHeader = [](const char* what) {
            std::printf("%-18s", what);
            for (const char* name : columnNames)
                std::printf(" %22s", name);
            std::printf("\n");
        };
        auto cells = [](const std::array<Count, Columns>& after, const std::array<Count, Columns>& first) {
            for (int k = 0; k < Columns; ++k)
                std::printf(" %11s (%5.1f)%s", qPrintable(after[size_t(k)].cell()),
                            percent(first[size_t(k)].right, first[size_t(k)].total), "   ");
            std::printf("\n");
        };
        std::printf("\nPhrases right/wrong %% after the limits (first choice right %%), per room, with each profile:\n");
        columnsHeader("room");
        for (int c = 0; c < nc; ++c) {
            std::printf("%-18.18s", qPrintable(conditions[size_t(c)].name));
            cells(pRoom[c], pRoomFirst[c]);
        }
        std::printf("%-18s", "all rooms");
        cells(pAll, pAllFirst);
        std::printf("\nThe same per voice:\n");
        columnsHeader("voice");
        for (int v = 0; v < nv; ++v) {
            std::printf("%-18s", qPrintable(voices[size_t(v)].name));
            cells(pVoice[v], pVoiceFirst[v]);
        }
        std::printf("\nPer command set with each profile (%s): phrases right/wrong %%, other speech and near misses turned away %%:\n",
                    "stock, 20 sentences, 40 commands, other room");
        auto setLine = [&](const QString& name, const std::array<Count, Columns>& c, const std::array<Away, Columns>& so,
                           const std::array<Away, Columns>& mi) {
            std::printf("%-32.32s", qPrintable(name));
            for (int k = 0; k < Columns; ++k)
                std::printf(" %s", qPrintable(c[size_t(k)].cell()));
            std::printf("  away");
            for (int k = 0; k < Columns; ++k)
                std::printf(" %5.1f", percent(so[size_t(k)].away, so[size_t(k)].total));
            std::printf("  near");
            for (int k = 0; k < Columns; ++k)
                std::printf(" %5.1f", percent(mi[size_t(k)].away, mi[size_t(k)].total));
            std::printf("\n");
        };
        for (int s = 0; s < int(commandSets.size()); ++s)
            setLine(commandSets[size_t(s)].name, pSet[s], pSentences[s], pMisses[s]);
        setLine(QStringLiteral("all"), pAll, pAllSentences, pAllMisses);
        setLine(QStringLiteral("held out (festival; every third)"), pHeld, pHeldSentences, pHeldMisses);

        // How the profiles were made.
        if (!made.empty()) {
            std::printf("\nProfiles made (each voice in each room; the other rooms' included):\n"
                        "%-14s %5s %5s %5s %6s %6s %8s %8s %9s %9s %9s %s\n",
                        "from", "made", "full", "mllr", "no use", "failed", "median s", "worst s", "size KB",
                        "held aside", "words wrong", "asked again / kept");
            for (const bool commands : {false, true}) {
                int n = 0, full = 0, mllr = 0, useless = 0, failed = 0, offered = 0, kept = 0, keptWrong = 0, stockErr = 0,
                    err = 0, words = 0;
                std::vector<double> seconds, sizes;
                QMap<QString, int> refused;
                QStringList failures;
                for (const auto& [key, m] : made) {
                    if (std::get<2>(key) != commands)
                        continue;
                    ++n;
                    offered += m.offered, kept += m.kept, keptWrong += m.keptWrong;
                    for (auto r = m.refused.begin(); r != m.refused.end(); ++r)
                        refused[r.key()] += r.value();
                    if (!m.report.made) {
                        ++failed;
                        failures << QStringLiteral("%1 in %2: %3").arg(voices[size_t(std::get<0>(key))].name,
                                                                      rooms[size_t(std::get<1>(key))].name, m.report.why);
                        continue;
                    }
                    seconds.push_back(m.report.seconds);
                    stockErr += m.report.stockErrors, err += m.report.errors, words += m.report.words;
                    if (m.report.kind == voice::ProfileKind::None)
                        ++useless;
                    else
                        sizes.push_back(double(m.report.bytes) / 1024);
                    full += m.report.kind == voice::ProfileKind::Full;
                    mllr += m.report.kind == voice::ProfileKind::Transform;
                }
                QString asked;
                for (auto r = refused.begin(); r != refused.end(); ++r)
                    asked += QStringLiteral("%1 %2, ").arg(r.value()).arg(r.key());
                std::printf("%-14s %5d %5d %5d %6d %6d %8.1f %8.1f %9.0f %4d words %4d>%-4d %s\n",
                            commands ? "40 commands" : "20 sentences", n, full, mllr, useless, failed, median(seconds),
                            seconds.empty() ? 0.0 : *std::max_element(seconds.begin(), seconds.end()), median(sizes),
                            words, stockErr, err,
                            commands ? qPrintable(QStringLiteral("%1 of %2 heard kept, %3 of them another phrase")
                                                      .arg(kept).arg(offered).arg(keptWrong))
                                     : qPrintable(QStringLiteral("%1 readings, %2asked again")
                                                      .arg(offered).arg(asked.isEmpty() ? QStringLiteral("none ") : asked)));
                for (const QString& f : failures.mid(0, 5))
                    std::printf("    not made: %s\n", qPrintable(f));
            }
            std::printf("profiles made in %.0f s with %d threads; decoding with the 20-sentence profile: median %.1f ms a phrase\n",
                        profileSeconds, threads, median(profileMs));
        }
        // Where a profile lowered a room's right answers most, against the stock model.
        std::printf("\nLargest losses against the stock model (right %%, voice and room):\n");
        std::vector<std::tuple<double, int, int, int>> losses;
        for (const auto& [key, cell] : pv)
            for (int k = 1; k < Columns; ++k)
                losses.push_back({percent(cell[size_t(k)].right, cell[size_t(k)].total) - percent(cell[0].right, cell[0].total),
                                  k, key.first, key.second});
        std::sort(losses.begin(), losses.end());
        for (size_t i = 0; i < std::min<size_t>(6, losses.size()) && std::get<0>(losses[i]) < 0; ++i)
            std::printf("  %-12s %5.1f  %s in %s\n", columnNames[std::get<1>(losses[i])], std::get<0>(losses[i]),
                        qPrintable(voices[size_t(std::get<2>(losses[i]))].name),
                        qPrintable(conditions[size_t(std::get<3>(losses[i]))].name));
    }

    std::printf("\nlimits: margin %g per frame, at most %d stray frames, %g edits per phone + %g, phone gap %g; "
                "front end%s, voice decision %d, noise suppression %d; noise seed %u\n",
                limits.margin, limits.stray, limits.perPhone, limits.extra, limits.gap,
                settings.frontEnd.cleanForDecoder
                    ? qPrintable(QStringLiteral(" cleaning what the recogniser hears unless the voice is %1 dB over the room")
                                     .arg(double(settings.frontEnd.rawAboveDb)))
                    : " beside the recogniser",
                settings.frontEnd.aggressiveness, settings.frontEnd.suppression, firstSeed);
    std::printf("start: %.0f ms (decoder, front end and the largest grammar)\n", startMs);
    std::printf("decoding: median %.1f ms a phrase, %.1f ms other speech; %.2f x real time; %zu utterances in %.0f s\n",
                median(phraseMs), median(otherMs), decodeMs / audioMs, items.size(), decodeSeconds);
    std::printf("recogniser and front end memory: %.1f MB resident\n", memoryMb);
    return 0;
}
