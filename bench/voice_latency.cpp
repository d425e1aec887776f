// Voice command latency: from the end of an utterance to the Command event on the character.
// Through the listening thread, the decoder and the queued delivery (the key let go at the end of
// the utterance); and what loading the recogniser costs.
//   voice_latency [rounds]
#include "BenchTable.h"
#include "character/Agent.h"
#include "character/CharacterServer.h"
#include "character/SilentSpeaker.h"
#include "character/voice/Decoder.h"
#include "character/voice/SphinxVoiceInput.h"
#include "CommandSets.h"
#include "SampleSource.h"
#include "SpeechClips.h"

#include <QApplication>
#include <QElapsedTimer>

namespace {
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
        voice::Decoder d;
        load.push_back(double(t.nsecsElapsed()) / 1e6);
        t.restart();
        d.setPhrases(sets[5].phrases); // the largest: the alarm dialog with 0 to 59
        grammar.push_back(double(t.nsecsElapsed()) / 1e6);
    }

    character::ServerOptions o;
    o.searchPath = {QStringLiteral(VARROW_SOURCE_DIR "/assets")};
    o.makeSpeech = [] { return std::make_unique<character::SilentSpeaker>(0.2, 2); };
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
    voicetest::SampleSource clip;
    auto input = std::make_unique<voice::SphinxVoiceInput>(std::make_unique<voicetest::SharedSource>(&clip));
    voice::SphinxVoiceInput* in = input.get();
    server.setVoiceInput(std::move(input));
    QString got;
    bool missed = false;
    QObject::connect(genie, &character::Character::Command, [&](const character::UserInput& u) { got = u.Name; });
    QObject::connect(in, &character::VoiceInput::notUnderstood, [&] { missed = true; });

    std::vector<double> latency;
    int right = 0, total = 0;
    uint32_t seed = 100;
    for (int r = 0; r < rounds; ++r)
        for (const auto& p : mainMenu) {
            if (p.command == QLatin1String("Quit"))
                continue;
            clip.setSamples(voicetest::SpeechClip(synth, p.phrase, QStringLiteral("en-us"), seed++));
            got.clear();
            missed = false;
            in->startListening();
            pumpUntil([] { return false; }, 50); // the worker takes in what was said
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

    bench::Table table;
    table.absolute("recogniser load, model and start (ms)", load, {}, 1000);
    table.absolute("grammar of " + std::to_string(sets[5].phrases.size()) + " phrases built (ms)", grammar, {}, 100);
    table.absolute("end of utterance to Command (ms)", latency, {}, 150);
    table.print();
    std::printf("%d/%d phrases heard as their command\n", right, total);
    return table.allMet() ? 0 : 1;
}
