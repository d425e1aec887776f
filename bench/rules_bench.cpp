// In-process figures: speech latency, the request queue under load, and the rules' cost per call.
// Speech is compared with the espeak-ng command line; the time-box and calendar rules take any input.
#include "BenchTable.h"
#include "alarm/TimeField.h"
#include "calendar/CalendarView.h"
#include "character/Agent.h"
#include "character/CharacterServer.h"
#include "speech/SilentSpeaker.h"
#include "speech/SpeechSsml.h"
#include "speech/SpeechMarkup.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <espeak-ng/speak_lib.h>
#include <cstdio>

namespace {

int runs = 5;

QElapsedTimer synthClock;
double firstSampleMs = -1;

int firstSample(short*, int samples, espeak_EVENT*)
{
    if (samples > 0 && firstSampleMs < 0)
        firstSampleMs = synthClock.nsecsElapsed() / 1e6;
    return firstSampleMs < 0 ? 0 : 1; // stop once the first sound exists
}

const QString Sentence = QStringLiteral("The time is now 10:45:12 AM , Monday, December 7, 2026");

void speechLatency(bench::Table& table)
{
    const double before = bench::ResidentMb();
    // Into memory, as fast as it goes: the first sample's time is the synthesiser's own share.
    if (espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 200, nullptr, espeakINITIALIZE_DONT_EXIT) <= 0 ||
        (espeak_SetVoiceByName("en-us") != EE_OK && espeak_SetVoiceByName("en") != EE_OK)) {
        std::fprintf(stderr, "bench: speech: espeak-ng could not start\n");
        return;
    }
    espeak_SetSynthCallback(firstSample);
    std::vector<double> ours, cli;
    for (int i = 0; i < runs + 1; ++i) {
        // What a Speak request does before espeak-ng starts: parse the tags, build the markup.
        firstSampleMs = -1;
        synthClock.start();
        const speech::SpeechText text = speech::ParseSpeech(Sentence);
        std::vector<int> offsets;
        const QByteArray ssml = speech::SsmlFor(text, 0, text.units.size(), &offsets);
        espeak_Synth(ssml.constData(), size_t(ssml.size() + 1), 0, POS_CHARACTER, 0,
                     espeakCHARS_UTF8 | espeakSSML, nullptr, nullptr);
        if (i > 0) // the first one warms the voice data, as the program's start does
            ours.push_back(firstSampleMs);

        QTemporaryDir dir;
        QElapsedTimer t;
        t.start();
        QProcess::execute(QStringLiteral("espeak-ng"), {QStringLiteral("-w"), dir.filePath(QStringLiteral("s.wav")), Sentence});
        if (i > 0)
            cli.push_back(t.nsecsElapsed() / 1e6);
    }
    table.ratio("speech: command to first sample (ms)", ours, cli, 1.2);
    table.absolute("speech engine memory (MB)", {bench::ResidentMb() - before}, {}, 30);
}

void requestQueue(bench::Table& table)
{
    character::ServerOptions o;
    o.makeSpeech = [] { return std::make_unique<speech::SilentSpeaker>(); };
    character::CharacterServer server(std::move(o));
    character::Agent agent(server);
    const auto loaded = agent.Characters().Load(QStringLiteral("Genie"), QStringLiteral("Genie.acs"));
    if (!loaded) {
        std::fprintf(stderr, "bench: %s\n", qPrintable(loaded.why()));
        return;
    }
    character::Character* genie = agent.Characters().Item(QStringLiteral("Genie"));
    genie->Show(true);
    QCoreApplication::processEvents();
    auto timeFor = [&](int n) {
        QElapsedTimer t;
        t.start();
        for (int i = 0; i < n; ++i) {
            genie->Speak(QStringLiteral("Request %1").arg(i));
            genie->Play(QStringLiteral("Search"));
        }
        const size_t queued = genie->stage().queued();
        genie->StopAll();
        if (queued < size_t(n))
            std::fprintf(stderr, "bench: only %zu of %d requests were queued\n", queued, 2 * n);
        return t.nsecsElapsed() / 1e3 / n; // microseconds per request pair
    };
    std::vector<double> small, large;
    for (int i = 0; i < runs; ++i) {
        small.push_back(timeFor(1000));
        large.push_back(timeFor(10000));
    }
    // O(n) overall means the same cost per request at 10,000 as at 1,000.
    table.ratio("queue: 10,000 Speak+Play+StopAll (us/request)", large, small, 1.5);

    // A clipboard of megabytes read aloud: the longest the program stops answering meanwhile.
    const QString clip = QStringLiteral("All work and no play makes a dull day. ").repeated(120000);
    std::vector<double> stalls;
    for (int i = 0; i < runs; ++i) {
        genie->Speak(clip);
        QElapsedTimer t, sinceLast;
        t.start();
        sinceLast.start();
        double longest = 0;
        while (t.elapsed() < 1500) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
            longest = std::max(longest, sinceLast.nsecsElapsed() / 1e6);
            sinceLast.restart();
        }
        genie->StopAll();
        stalls.push_back(longest);
    }
    table.absolute("reading 4.8 MB of text: longest pause (ms)", stalls, {}, 100);
}

void timeFieldRules(bench::Table& table)
{
    const QString huge = QString(10000, u'9');
    const QStringList hard = {QStringLiteral("-1e300"), QStringLiteral("1e308"), QStringLiteral("nan"),
                              QStringLiteral("inf"), QStringLiteral("0x10"), QStringLiteral(" 7 "),
                              QStringLiteral("\uFF17"), huge, QStringLiteral("-123456789.5e200")};
    auto perCall = [](const QStringList& inputs) {
        QElapsedTimer t;
        t.start();
        int n = 0;
        for (int rep = 0; rep < 200; ++rep)
            for (const QString& s : inputs) {
                const auto v = alarms::NumericValue(s);
                if (v && (*v < 0 || *v > 59))
                    alarms::WrappedText(*v, 0, 59);
                ++n;
            }
        return t.nsecsElapsed() / 1e3 / n;
    };
    std::vector<double> hardTimes, easy;
    for (int i = 0; i < runs; ++i) {
        hardTimes.push_back(perCall(hard));
        easy.push_back(perCall({QStringLiteral("75"), QStringLiteral("-1"), QStringLiteral("100")}));
    }
    // The 10,000-digit text has to be read once; everything else must cost what a small number does.
    table.absolute("time box rule, hard inputs (us/call)", hardTimes, easy, 200);
}

void calendarRules(bench::Table& table)
{
    CalendarView view;
    auto perCall = [&](QDate start) {
        view.setValue(start);
        QElapsedTimer t;
        t.start();
        for (int i = 0; i < 2000; ++i) {
            view.setDay(qint16(view.Day() + 1));
            view.setMonth(view.Month() - 1);
            view.setYear(qint16(view.Year() + (i % 2 ? 1 : -1)));
        }
        return t.nsecsElapsed() / 1e3 / 6000;
    };
    std::vector<double> edges, middle;
    for (int i = 0; i < runs; ++i) {
        edges.push_back(perCall(QDate(1753, 1, 31)));
        middle.push_back(perCall(QDate(2000, 3, 15)));
    }
    table.ratio("calendar step at the range's edge (us/call)", edges, middle, 2.0);
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (qEnvironmentVariableIntValue("BENCH_RUNS") > 0)
        runs = qEnvironmentVariableIntValue("BENCH_RUNS");
    bench::Table table;
    speechLatency(table);
    requestQueue(table);
    timeFieldRules(table);
    calendarRules(table);
    table.print();
    return table.allMet() ? 0 : 3;
}
