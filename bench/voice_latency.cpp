// Voice command latency: from the end of an utterance to the Command event on the character.
// Through the listening thread, the decoder and the queued delivery (the key let go at the end of
// the utterance), from samples in memory and from a microphone of a real sound server; in a noisy
// room with the stock model and with a profile made there; and what loading the recogniser costs.
//   voice_latency [rounds]
#include "BenchTable.h"
#include "character/Agent.h"
#include "character/CharacterServer.h"
#include "speech/SilentSpeaker.h"
#include "voice/Decoder.h"
#include "voice/Microphone.h"
#include "voice/ProfileBuilder.h"
#include "voice/SphinxVoiceInput.h"
#include "voice/TrainingSentences.h"
#include "e2e/PulseServer.h"
#include "CommandSets.h"
#include "SampleSource.h"
#include "SpeechClips.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

namespace {
// Samples in memory the bench changes between utterances, after the voice input has taken the source.
class SharedSource : public voice::AudioSource {
public:
    explicit SharedSource(voicetest::SampleSource* s) : s_(s) {}
    platform::Result<> start() override { return s_->start(); }
    platform::Result<size_t> read(short* b, size_t max) override { return s_->read(b, max); }
    std::vector<short> stop() override { return s_->stop(); }

private:
    voicetest::SampleSource* s_;
};

template <typename Pred> bool pumpUntil(Pred done, int timeoutMs)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return done();
}
} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 3;
    voicetest::Synthesiser synth;
    if (!synth.ready()) {
        std::fprintf(stderr, "%s\n", qPrintable(synth.error()));
        return 1;
    }
    const auto sets = voicetest::LiveCommandSets();
    const auto& mainMenu = sets.front().phrases;

    std::vector<double> load, grammar;
    for (int i = 0; i < 5; ++i) {
        QElapsedTimer t;
        t.start();
        const auto d = voicetest::OpenDecoder();
        load.push_back(double(t.nsecsElapsed()) / 1e6);
        t.restart();
        d->setPhrases(sets[5].phrases); // the largest: the alarm dialog with 0 to 59
        grammar.push_back(double(t.nsecsElapsed()) / 1e6);
    }

    character::ServerOptions o;
    o.searchPath = {QStringLiteral(VARROW_SOURCE_DIR "/assets")};
    o.makeSpeech = [] { return std::make_unique<speech::SilentSpeaker>(0.2, 2); };
    character::CharacterServer server(std::move(o));
    character::Agent agent(server);
    if (!agent.Characters().Load(QStringLiteral("Genie"), QStringLiteral("Genie.acs")).ok()) {
        std::fprintf(stderr, "Genie.acs not found\n");
        return 1;
    }
    character::Character* genie = agent.Characters().Item(QStringLiteral("Genie"));
    for (const auto& p : mainMenu)
        genie->Commands().Add(p.command, p.phrase, p.phrase);
    genie->Show(true);
    // Each phrase said once per round, the key let go as the voice ends (in memory, after the room's
    // half second that follows it); returns the latencies.
    int right = 0, total = 0;
    uint32_t seed = 100;
    // `ready` is given the phrase before listening starts, `say` once it has.
    using Say = std::function<void(const std::vector<short>&)>;
    auto measure = [&](std::unique_ptr<voice::AudioSource> source, bool endsWithVoice, const Say& ready,
                       const Say& say, const voicetest::Condition& room = {"faint", voicetest::Condition::Kind::Faint, 0},
                       const QString& profiles = {}) {
        auto input = std::make_unique<voice::SphinxVoiceInput>(std::move(source));
        voice::SphinxVoiceInput* in = input.get();
        if (!profiles.isEmpty())
            in->setProfileStore(profiles);
        server.setVoiceInput(std::move(input));
        QString got;
        bool missed = false;
        QObject::connect(genie, &character::Character::Command, in, [&](const character::UserInput& u) { got = u.Name; });
        QObject::connect(in, &voice::VoiceInput::notUnderstood, [&] { missed = true; });
        std::vector<double> latency;
        for (int r = 0; r < rounds; ++r)
            for (const auto& p : mainMenu) {
                if (p.command == QLatin1String("Quit"))
                    continue;
                auto clip = voicetest::SpeechClip(synth, p.phrase, QStringLiteral("en-us"), seed++, room);
                if (endsWithVoice)
                    clip.resize(clip.size() - voicetest::Condition::afterSamples);
                got.clear();
                missed = false;
                ready(clip);
                in->startListening();
                pumpUntil([] { return false; }, 50); // the worker starts recording
                say(clip);
                QElapsedTimer t;
                t.start();
                in->stopListening();
                if (!pumpUntil([&] { return !got.isEmpty() || missed; }, 5000))
                    continue;
                latency.push_back(double(t.nsecsElapsed()) / 1e6);
                right += got == p.command;
                ++total;
            }
        server.setVoiceInput(nullptr);
        return latency;
    };
    voicetest::SampleSource memory;
    const std::vector<double> fromMemory = measure(
        std::make_unique<SharedSource>(&memory), false,
        [&](const std::vector<short>& clip) { memory.setSamples(clip); },
        [&](const std::vector<short>&) { pumpUntil([] { return false; }, 50); }); // the worker takes it in
    std::vector<double> fromServer;
    const int rightMemory = right, totalMemory = total;
    e2e::PulseServer pulse;
    if (pulse.ok()) {
        qputenv("PULSE_SERVER", pulse.address().toUtf8());
        fromServer = measure(std::make_unique<voice::Microphone>(), true, [](const std::vector<short>&) {},
                             [&](const std::vector<short>& clip) {
            pulse.say(clip);
            pulse.waitUntilSaid();
        });
    } else {
        std::fprintf(stderr, "%s\n", qPrintable(pulse.error()));
    }
    const int rightServer = right - rightMemory, totalServer = total - totalMemory;

    // A profile made as the program makes it, from 20 sentences read in steady noise, and the same
    // phrases said there with and without it.
    const voicetest::Condition noisy{"white 10 dB", voicetest::Condition::Kind::White, 10};
    QTemporaryDir profiles;
    voice::ProfileStore store(profiles.path());
    {
        const auto owned = voicetest::OpenDecoder();
        voice::Decoder& d = *owned;
        std::vector<voice::StoredRecording> readings;
        std::vector<std::vector<short>> sounds;
        for (const QString& sentence : voice::TrainingSentences().mid(0, 20)) {
            const auto clip = noisy.apply(voicetest::Say(synth, sentence, QStringLiteral("en-us")), seed++);
            d.begin();
            d.feed(clip.data(), clip.size());
            const voice::Reading r = d.endReading(sentence);
            if (r.problem == voice::Reading::Problem::None) {
                readings.push_back({{}, sentence, r.room, false});
                sounds.push_back(r.sound);
            }
        }
        store.saveReadings({}, readings, sounds);
    }
    voice::AdaptationSetup setup;
    setup.base = profiles.filePath(QStringLiteral("base"));
    const voice::BuildReport made = voice::ProfileBuilder::buildNow(store, {}, voice::DecoderSettings{}, setup);
    std::fprintf(stderr, "profile: %s\n", made.made ? qPrintable(voice::KindName(made.kind)) : qPrintable(made.why));
    auto fromMemoryIn = [&](const QString& root) {
        return measure(
            std::make_unique<SharedSource>(&memory), false,
            [&](const std::vector<short>& clip) { memory.setSamples(clip); },
            [&](const std::vector<short>&) { pumpUntil([] { return false; }, 50); }, noisy, root);
    };
    const std::vector<double> noisyStock = fromMemoryIn({});
    const std::vector<double> noisyProfile = fromMemoryIn(made.kind == voice::ProfileKind::None ? QString() : profiles.path());

    bench::Table table;
    table.absolute("recogniser load, model and start (ms)", load, {}, 1000);
    table.absolute("grammar of " + std::to_string(sets[5].phrases.size()) + " phrases built (ms)", grammar, {}, 100);
    table.absolute("end of utterance to Command, samples in memory (ms)", fromMemory, {}, 150);
    table.absolute("end of utterance to Command, through the sound server (ms)", fromServer, {}, 150);
    table.absolute("the same in white noise at 10 dB, stock model (ms)", noisyStock, {}, 150);
    table.absolute("the same with a profile made there (" + voice::KindName(made.kind).toStdString() + ") (ms)",
                   noisyProfile, {}, 150);
    table.print();
    std::printf("%d/%d phrases heard as their command (%d/%d through the sound server)\n", right, total, rightServer,
                totalServer);
    return table.allMet() ? 0 : 1;
}
