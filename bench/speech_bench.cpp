// Speech through a real sound server: command to first audio through speech-dispatcher (Genie's own
// engine), espeak-ng in process and spd-say, for the first speech of a session (sound server and daemon
// started afresh) and for later speech;
// how soon the balloon's first word follows its sound; and what is left of the queue when the daemon dies.
#include "BenchTable.h"
#include "character/Agent.h"
#include "character/CharacterServer.h"
#include "character/CharacterStage.h"
#include "e2e/PulseServer.h"
#include "e2e/SinkMonitor.h"
#include "e2e/SpeechDaemon.h"
#include "speech/EspeakSpeaker.h"
#include "speech/SpeechDispatcherSpeaker.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QProcess>
#include <QThread>
#include <csignal>
#include <optional>

namespace {

using Clock = std::chrono::steady_clock;
const QString Sentence = QStringLiteral("The quick brown fox jumps over the lazy dog near the river bank.");

double msBetween(Clock::time_point a, Clock::time_point b)
{
    return std::chrono::duration<double, std::milli>(b - a).count();
}

bool waitUntil(const std::function<bool()>& done, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 2);
    }
    return true;
}

// The character service as the program has it: speech-dispatcher where it answers, or the engine given.
struct Genie {
    explicit Genie(std::function<std::unique_ptr<speech::SpeechEngine>()> make = {})
        : server([&] {
              character::ServerOptions o;
              o.searchPath = {QStringLiteral(VARROW_SOURCE_DIR "/assets")};
              o.stage.balloonLingerMs = 20;
              o.makeSpeech = std::move(make);
              return o;
          }()),
          agent(server)
    {
        agent.Characters().Load(QStringLiteral("Genie"), QStringLiteral("Genie.acs"));
        genie = agent.Characters().Item(QStringLiteral("Genie"));
        genie->Show(true);
        spd = dynamic_cast<speech::SpeechDispatcherSpeaker*>(&server.speech());
        QObject::connect(&server.speech(), &speech::SpeechEngine::unitReached, [this] {
            if (!firstShown)
                firstShown = Clock::now();
        });
        // speech-dispatcher tells when it hands over to espeak-ng in process.
        QObject::connect(&server.speech(), &speech::SpeechEngine::notice, [this] { fellBack = true; });
        QObject::connect(&genie->stage(), &character::CharacterStage::requestFinished, [this] { ++finished; });
        waitUntil([&] { return genie->stage().queued() == 0 && !genie->stage().busy(); }, 5000);
    }
    // Asks for `text` and waits until it has been said; returns when it was asked.
    Clock::time_point say(const QString& text)
    {
        firstShown.reset();
        const auto asked = Clock::now();
        genie->Speak(text);
        waitUntil([&] { return genie->stage().queued() == 0 && !genie->stage().busy(); }, 30000);
        return asked;
    }

    character::CharacterServer server;
    character::Agent agent;
    character::Character* genie = nullptr;
    speech::SpeechDispatcherSpeaker* spd = nullptr;
    std::optional<Clock::time_point> firstShown;
    bool fellBack = false;
    int finished = 0;
};

// Sound heard after `asked`, in ms, once the speaker has been quiet for a while.
std::optional<double> heardAfter(const e2e::SinkMonitor& monitor, Clock::time_point asked)
{
    waitUntil([&] { return !monitor.sound(asked).empty(); }, 5000);
    waitUntil([&] { return monitor.sound(Clock::now() - std::chrono::milliseconds(400)).empty(); }, 10000);
    const auto on = monitor.sound(asked);
    return on.empty() ? std::nullopt : std::optional(msBetween(asked, on.front()));
}

void add(std::vector<double>& to, std::optional<double> v)
{
    if (v)
        to.push_back(*v);
}

// A process of its own for espeak-ng's first speech: the library starts once per process.
int espeakFirst(const QString& pulse)
{
    e2e::SinkMonitor monitor(pulse);
    Genie g([] { return std::make_unique<speech::EspeakSpeaker>(); });
    const auto asked = g.say(Sentence);
    const auto heard = heardAfter(monitor, asked);
    std::printf("%.1f %.1f\n", heard.value_or(-1), g.firstShown ? msBetween(asked, *g.firstShown) : -1);
    return heard ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    std::signal(SIGPIPE, SIG_IGN);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc == 3 && QByteArray(argv[1]) == "--espeak-first")
        return espeakFirst(QString::fromLocal8Bit(argv[2]));
    const int runs = qEnvironmentVariableIntValue("BENCH_RUNS") > 0 ? qEnvironmentVariableIntValue("BENCH_RUNS") : 5;
    // A sound server and a speech-dispatcher started afresh, as a session starts them.
    struct Session {
        e2e::PulseServer pulse;
        e2e::SinkMonitor monitor{pulse.address()};
        e2e::SpeechDaemon daemon{pulse.address()};
        bool ok() const
        {
            if (pulse.ok() && monitor.error.isEmpty() && daemon.error.isEmpty()) {
                qputenv("PULSE_SERVER", pulse.address().toUtf8());
                qputenv("SPEECHD_ADDRESS", daemon.address().toUtf8());
                return true;
            }
            std::fprintf(stderr, "bench: %s\n", qPrintable(pulse.error() + monitor.error + daemon.error));
            return false;
        }
    };
    auto spdSay = [](const Session& s) {
        QProcess p;
        const auto asked = Clock::now();
        p.start(QStringLiteral("spd-say"), {Sentence});
        const auto heard = heardAfter(s.monitor, asked);
        p.waitForFinished();
        return heard;
    };

    std::vector<double> sayFirst, sayLater, oursFirst, oursAtStart, oursLater, shownFirst;
    std::vector<double> espeakFirstAudio, espeakLater, espeakShownFirst;
    for (int i = 0; i < runs; ++i) {
        if (Session s; s.ok()) {
            add(sayFirst, spdSay(s));
            add(sayLater, spdSay(s));
        }
        if (Session s; s.ok()) {
            // The user's first command as the program starts: it waits for the warm-up.
            Genie g;
            const auto asked = g.say(Sentence);
            if (g.spd && !g.fellBack)
                add(oursAtStart, heardAfter(s.monitor, asked));
        }
        if (Session s; s.ok()) {
            Genie g;
            waitUntil([] { return false; }, 3000); // the daemon warmed up
            const auto asked = g.say(Sentence);
            if (!g.spd || g.fellBack) {
                std::fprintf(stderr, "bench: speech-dispatcher did not answer\n");
                continue;
            }
            add(oursFirst, heardAfter(s.monitor, asked));
            if (g.firstShown && !oursFirst.empty())
                shownFirst.push_back(msBetween(asked, *g.firstShown) - oursFirst.back());
            add(oursLater, heardAfter(s.monitor, g.say(Sentence)));
        }
        if (Session s; s.ok()) {
            QProcess child;
            child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--espeak-first"), s.pulse.address()});
            child.waitForFinished(30000);
            const QList<QByteArray> figures = child.readAllStandardOutput().trimmed().split(' ');
            if (child.exitCode() == 0 && figures.size() == 2) {
                espeakFirstAudio.push_back(figures[0].toDouble());
                espeakShownFirst.push_back(figures[1].toDouble() - figures[0].toDouble());
            }
        }
    }
    if (Session s; s.ok()) {
        Genie g([] { return std::make_unique<speech::EspeakSpeaker>(); });
        g.say(QStringLiteral("Yes Sir!"));
        for (int i = 0; i < runs; ++i)
            add(espeakLater, heardAfter(s.monitor, g.say(Sentence)));
    }

    // The daemon killed while Genie says the first of three texts: all three are still said.
    std::vector<double> lost, resumed;
    for (int i = 0; i < runs; ++i) {
        Session s;
        if (!s.ok())
            continue;
        Genie g;
        waitUntil([] { return false; }, 3000); // the daemon warmed up
        g.finished = 0;
        g.firstShown.reset();
        for (int n = 0; n < 3; ++n)
            g.genie->Speak(Sentence);
        waitUntil([&] { return g.firstShown.has_value(); }, 5000);
        QThread::msleep(500);
        const auto killed = Clock::now();
        s.daemon.kill();
        waitUntil([&] { return g.finished == 3; }, 60000);
        lost.push_back(3 - g.finished);
        if (const auto again = s.monitor.sound(killed + std::chrono::milliseconds(20)); !again.empty())
            resumed.push_back(msBetween(killed, again.front()));
    }

    bench::Table table;
    table.absolute("speech-dispatcher, first speech: command to audio (ms)", oursFirst, sayFirst, 300);
    table.ratio("  against spd-say's first speech", oursFirst, sayFirst, 0.5);
    table.absolute("speech-dispatcher, command at start (ms)", oursAtStart, sayFirst, 300);
    table.absolute("speech-dispatcher, later speech (ms)", oursLater, sayLater, 300);
    table.ratio("  against spd-say's later speech", oursLater, sayLater, 0.5);
    table.absolute("espeak-ng in process, first speech (ms)", espeakFirstAudio, {}, 300);
    table.absolute("espeak-ng in process, later speech (ms)", espeakLater, {}, 300);
    table.absolute("speech-dispatcher, first word in the balloon after its sound starts (ms)", shownFirst, {}, 100);
    table.absolute("requests lost when the daemon is killed", lost, {}, 0);
    table.print();
    // Figures without a target.
    std::printf("first word in the balloon, ms after its sound starts: espeak-ng in process %.0f\n",
                bench::Table::median(espeakShownFirst));
    std::printf("sound again after the daemon was killed (espeak-ng in process), median %.0f ms\n",
                bench::Table::median(resumed));
    return table.allMet() ? 0 : 3;
}
