// The soak run: the real program under Xvfb on a fast clock, picking random menu commands for a day.
// The clock runs 600 times faster than real time (a day of chimes in under three minutes). Prints
// resident memory at the start and the end; fails if the program dies or stops answering.
#include "BenchTable.h"
#include "e2e/Desktop.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int minutes = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 10;
    e2e::Desktop desktop;
    if (!desktop.ok()) {
        std::fprintf(stderr, "soak: %s\n", qPrintable(desktop.error()));
        return 1;
    }
    QTemporaryDir home;
    e2e::Varrow v(desktop, home.path(), {QStringLiteral("--clock-rate"), QStringLiteral("600")});
    if (!v.waitFor(QStringLiteral("finished Show"), 20000)) {
        std::fprintf(stderr, "soak: the character never appeared\n%s", qPrintable(v.errors()));
        return 1;
    }
    const QPoint genie(64, 80);
    const double startRss = bench::ResidentMb(QString::number(v.pid()));
    struct Pick {
        const char* entry;
        const char* close; // the dialog's own entry that closes it, if the entry opens one
    };
    const Pick picks[] = {{"Say the time", nullptr}, {"Read Clipboard", nullptr}, {"About", nullptr},
                          {"Show the Calendar", "OK"}, {"Set the alarm", "Cancel"}, {"Run ...", "Cancel"}};
    QRandomGenerator random(20261207);
    QElapsedTimer t;
    t.start();
    int commands = 0, failures = 0;
    while (t.elapsed() < qint64(minutes) * 60000 && v.running()) {
        const Pick& p = picks[random.bounded(int(std::size(picks)))];
        // A character that hid itself comes back with a click on the clock window.
        if (v.traced(QStringLiteral("started Hide$")))
            desktop.xdotool({QStringLiteral("search"), QStringLiteral("--name"), QStringLiteral("^Varrow$"),
                             QStringLiteral("mousemove"), QStringLiteral("--window"), QStringLiteral("%1"),
                             QStringLiteral("20"), QStringLiteral("40"), QStringLiteral("click"), QStringLiteral("1")});
        if (!v.pick(genie, QLatin1String(p.entry))) {
            ++failures;
            desktop.xdotool({QStringLiteral("key"), QStringLiteral("Escape")});
            continue;
        }
        ++commands;
        if (p.close) {
            v.waitFor(QStringLiteral("started Speak .*"), 5000);
            if (!v.pick(genie, QLatin1String(p.close)))
                ++failures;
            v.waitFor(QStringLiteral("window hidden .*"), 5000);
        }
    }
    const double endRss = bench::ResidentMb(QString::number(v.pid()));
    const QString trace = v.trace();
    std::printf("soak: %d min, %d commands, %d missed picks, %lld chimes/alarms spoken, RSS start %.1f MB, end %.1f MB, "
                "still running: %s\n",
                minutes, commands, failures, qlonglong(trace.count(QStringLiteral("started Speak The time is now"))),
                startRss, endRss, v.running() ? "yes" : "NO");
    return v.running() && endRss < startRss * 1.25 + 5 ? 0 : 2;
}
