// Start-up, idle CPU and resident memory of the real program under Xvfb, against a bare Qt window,
// and how soon speech is heard through a real sound server. Prints one table row per figure.
#include "BenchTable.h"
#include "e2e/Desktop.h"
#include "e2e/PulseServer.h"
#include "e2e/SinkMonitor.h"
#include "e2e/SpeechDaemon.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <unistd.h>

namespace {

QString barePath()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/bare_window");
}

std::unique_ptr<QProcess> startBare(const e2e::Desktop& desktop)
{
    auto p = std::make_unique<QProcess>();
    p->setProcessEnvironment(desktop.environment());
    p->start(barePath(), {});
    return p;
}

bool waitPainted(QProcess& p, int timeoutMs = 15000)
{
    QElapsedTimer t;
    t.start();
    QByteArray out;
    while (t.elapsed() < timeoutMs) {
        p.waitForReadyRead(1);
        out += p.readAllStandardOutput();
        if (out.contains("painted"))
            return true;
    }
    return false;
}

// Time on a CPU in seconds, all threads, from /proc: the scheduler's nanoseconds where it keeps
// them (utime and stime count whole clock ticks, too coarse for an idle minute).
double cpuSeconds(qint64 pid)
{
    double total = 0;
    bool counted = false;
    for (const QString& task : QDir(QStringLiteral("/proc/%1/task").arg(pid)).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile f(QStringLiteral("/proc/%1/task/%2/schedstat").arg(pid).arg(task));
        if (!f.open(QIODevice::ReadOnly))
            continue;
        total += f.readAll().split(' ').value(0).toDouble() / 1e9;
        counted = true;
    }
    if (counted)
        return total;
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray stat = f.readAll();
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return -1;
    return (fields[11].toDouble() + fields[12].toDouble()) / double(::sysconf(_SC_CLK_TCK));
}

using Moment = std::chrono::steady_clock::time_point;

struct Heard {
    double soundMs = -1, balloonMs = -1;
};

// "Say the time" from Genie's menu: from the click on the entry to the first sound out of the speaker
// and to the balloon on the screen.
Heard sayTheTime(const e2e::Desktop& desktop, e2e::Varrow& v, const e2e::SinkMonitor& speaker,
                  const QRect& character)
{
    Heard heard;
    auto pointAt = [](const QPoint& p) { return QStringList{"mousemove", QString::number(p.x()), QString::number(p.y())}; };
    desktop.xdotool(pointAt(character.center()) + QStringList{"click", "3"});
    const auto item = v.waitFor(QStringLiteral("menu item (\\d+),(\\d+) (\\d+)x(\\d+) Say the time"), 3000);
    if (!item)
        return heard;
    desktop.xdotool(pointAt(e2e::ParseGeometry(*item, 1).center()));
    const Moment clicked = std::chrono::steady_clock::now();
    desktop.xdotool({"click", "1"});
    const auto since = [clicked](Moment t) { return std::chrono::duration<double, std::milli>(t - clicked).count(); };
    if (v.waitFor(QStringLiteral("window shown The(?:_\\S*)? .*"), 10000, 1))
        heard.balloonMs = since(std::chrono::steady_clock::now());
    e2e::WaitUntil([&] { return !speaker.sound(clicked).empty(); }, 5000);
    if (const auto sound = speaker.sound(clicked); !sound.empty())
        heard.soundMs = since(sound.front());
    v.waitFor(QStringLiteral("window hidden The\\S* .*"), 15000); // and the balloon is gone again
    return heard;
}

// A fresh start and sound server each run. The speaker is listened to only from the first command
// on: a listener keeps the server's output running, which would hide how long its first stream takes.
void speechLatency(e2e::Desktop& desktop, bench::Table& table, int runs, bool throughDaemon)
{
    std::vector<double> firstSound, firstBalloon, laterSound, laterBalloon;
    for (int i = 0; i < runs; ++i) {
        e2e::PulseServer pulse;
        if (!pulse.ok()) {
            std::fprintf(stderr, "bench: %s\n", qPrintable(pulse.error()));
            return;
        }
        desktop.setSoundServer(pulse.address());
        // The daemon plays where this run listens.
        std::optional<e2e::SpeechDaemon> daemon;
        if (throughDaemon && daemon.emplace(pulse.address()).error.isEmpty())
            desktop.setSpeechDispatcher(daemon->address());
        QTemporaryDir home;
        e2e::Varrow v(desktop, home.path());
        desktop.setSoundServer({});
        const auto shown = v.waitFor(QStringLiteral("window shown Genie (\\d+),(\\d+) (\\d+)x(\\d+)"), 20000);
        if (!shown || !v.waitFor(QStringLiteral("finished Show"), 20000))
            continue;
        const QRect character = e2e::ParseGeometry(*shown, 1);
        QThread::msleep(1000); // a user's first command comes a moment after Genie stands there
        const e2e::SinkMonitor speaker(pulse.address());
        const Heard first = sayTheTime(desktop, v, speaker, character);
        QThread::msleep(1000);
        const Heard later = sayTheTime(desktop, v, speaker, character);
        if (first.soundMs < 0 || later.soundMs < 0 || first.balloonMs < 0 || later.balloonMs < 0)
            continue;
        firstSound.push_back(first.soundMs);
        firstBalloon.push_back(first.balloonMs);
        laterSound.push_back(later.soundMs);
        laterBalloon.push_back(later.balloonMs);
    }
    // The baseline is the same command said again a moment later: the first should be no slower.
    table.absolute("first speech: command to first sound (ms)", firstSound, laterSound, 300);
    table.absolute("first speech: command to balloon (ms)", firstBalloon, laterBalloon, 300);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int runs = qEnvironmentVariableIntValue("BENCH_RUNS") > 0 ? qEnvironmentVariableIntValue("BENCH_RUNS") : 5;
    const int idleSeconds = qEnvironmentVariableIntValue("BENCH_IDLE_SECONDS") > 0
                                ? qEnvironmentVariableIntValue("BENCH_IDLE_SECONDS") : 60;
    e2e::Desktop desktop;
    if (!desktop.ok()) {
        std::fprintf(stderr, "bench: %s\n", qPrintable(desktop.error()));
        return 1;
    }
    // As on a desktop with a sound server and speech-dispatcher; BENCH_SPEECH=espeak-ng leaves the
    // daemon out, and Genie speaks with espeak-ng in process.
    e2e::PulseServer pulse;
    std::optional<e2e::SpeechDaemon> daemon;
    const char* speech = "none (no sound server)";
    if (pulse.ok()) {
        desktop.setSoundServer(pulse.address());
        speech = "espeak-ng in process";
        if (qgetenv("BENCH_SPEECH") != "espeak-ng" && daemon.emplace(pulse.address()).error.isEmpty()) {
            desktop.setSpeechDispatcher(daemon->address());
            speech = "speech-dispatcher";
        }
    }
    std::printf("Genie speaks with: %s\n", speech);
    bench::Table table;

    // Start to first paint of the character, alternating with the bare window so both see the same noise.
    // A start takes a fraction of a second, and a median of a few moved by a tenth of the ratio
    // between runs of the same build: starts are counted three times over.
    std::vector<double> varrowStart, bareStart;
    for (int i = 0; i < 3 * runs; ++i) {
        QElapsedTimer t;
        t.start();
        auto bare = startBare(desktop);
        if (waitPainted(*bare))
            bareStart.push_back(t.elapsed());
        bare->kill();
        bare->waitForFinished();

        QTemporaryDir home;
        t.restart();
        e2e::Varrow v(desktop, home.path());
        if (v.waitFor(QStringLiteral("window painted Genie"), 20000, 1))
            varrowStart.push_back(t.elapsed());
    }
    table.ratio("start to character painted (ms)", varrowStart, bareStart, 1.3);

    // Idle: several instances at once (each its own session), the same number of bare windows. Their
    // clocks start just past an hour, so no quarter's announcement falls into the measurement.
    const QDateTime now = QDateTime::currentDateTime();
    const QStringList quiet{QStringLiteral("--clock-start"),
                            QDateTime(now.date(), QTime(now.time().hour(), 1)).toString(Qt::ISODate)};
    std::vector<std::unique_ptr<QTemporaryDir>> homes;
    std::vector<std::unique_ptr<e2e::Varrow>> varrows;
    std::vector<std::unique_ptr<QProcess>> bares;
    for (int i = 0; i < runs; ++i) {
        homes.push_back(std::make_unique<QTemporaryDir>());
        varrows.push_back(std::make_unique<e2e::Varrow>(desktop, homes.back()->path(), quiet));
        varrows.back()->waitFor(QStringLiteral("finished Show"), 20000);
        bares.push_back(startBare(desktop));
        waitPainted(*bares.back());
    }
    std::vector<double> cpuStart, bareCpuStart;
    for (int i = 0; i < runs; ++i) {
        cpuStart.push_back(cpuSeconds(varrows[i]->pid()));
        bareCpuStart.push_back(cpuSeconds(bares[i]->processId()));
    }
    QElapsedTimer wall;
    wall.start();
    QThread::sleep(idleSeconds); // the measurement window itself, not a synchronisation
    const double seconds = wall.elapsed() / 1000.0;
    std::vector<double> cpu, bareCpu, rss, bareRss;
    for (int i = 0; i < runs; ++i) {
        cpu.push_back(100.0 * (cpuSeconds(varrows[i]->pid()) - cpuStart[i]) / seconds);
        bareCpu.push_back(100.0 * (cpuSeconds(bares[i]->processId()) - bareCpuStart[i]) / seconds);
        rss.push_back(bench::ResidentMb(QString::number(varrows[i]->pid())));
        bareRss.push_back(bench::ResidentMb(QString::number(bares[i]->processId())));
    }
    table.absolute(QStringLiteral("idle CPU over %1 s (percent of a core)").arg(idleSeconds).toStdString(), cpu, bareCpu,
                   0.15);
    table.ratio("resident memory at idle (MB)", rss, bareRss, 1.3);
    for (auto& b : bares)
        b->kill();
    for (auto& b : bares)
        b->waitForFinished();
    varrows.clear();
    if (!qEnvironmentVariableIsSet("QT_SCALE_FACTOR")) // clicks here are in logical pixels
        speechLatency(desktop, table, runs, daemon && daemon->error.isEmpty());
    table.print();
    return table.allMet() ? 0 : 3;
}
