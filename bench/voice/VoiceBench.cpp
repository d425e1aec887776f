// Accuracy, rejection, latency and memory of voice commands, on speech synthesised in process.
//   varrow-voice-bench [--sweep] [--garbage W] [--gap G] [--no-phones]
#include "../../tests/voice/CommandSets.h"
#include "../../tests/voice/SpeechClips.h"
#include "character/voice/Decoder.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <cstdio>
#include <map>

using namespace voicetest;

namespace {
struct Sample {
    QString set, voice, text, expected; // expected empty: should be turned away
    voice::Outcome outcome;
};

long residentKb()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').front().toLong();
    return 0;
}

bool accepted(const Sample& s, double gap)
{
    return !s.outcome.heard.command.isEmpty() && s.outcome.phoneGap <= gap;
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    voice::Rejection rejection{0.0, true, 1e9};
    double gap = 1e9;
    bool sweep = false, verbose = false;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == "--sweep")
            sweep = true;
        else if (args[i] == "--garbage" && i + 1 < args.size())
            rejection.garbageWeight = args[++i].toDouble();
        else if (args[i] == "--gap" && i + 1 < args.size())
            gap = args[++i].toDouble();
        else if (args[i] == "--verbose")
            verbose = true;
        else if (args[i] == "--no-phones")
            rejection.phonePass = false;
    }
    QString error;
    if (!StartSynthesis(&error)) {
        std::fprintf(stderr, "espeak-ng: %s\n", qPrintable(error));
        return 1;
    }
    const long before = residentKb();
    voice::Decoder decoder(voice::DecoderSettings{.rejection = rejection});
    if (!decoder.ready()) {
        std::fprintf(stderr, "%s\n", qPrintable(decoder.error()));
        return 1;
    }
    decoder.setPhrases(LiveCommandSets().back().phrases);
    const long memoryKb = residentKb() - before;

    const QStringList voices{QStringLiteral("en-us"), QStringLiteral("en")}; // espeak's "en" is British English
    std::vector<Sample> samples;
    QElapsedTimer decodeClock;
    double decodeMs = 0, audioMs = 0, worstMs = 0;
    uint32_t seed = 1;
    for (const CommandSet& set : LiveCommandSets()) {
        decoder.setPhrases(set.phrases);
        for (const QString& v : voices) {
            for (const auto& p : set.phrases) {
                const auto clip = SpeechClip(p.phrase, v, seed++);
                decodeClock.start();
                Sample s{set.name, v, p.phrase, p.command, decoder.decode(clip)};
                const double ms = double(decodeClock.nsecsElapsed()) / 1e6;
                decodeMs += ms;
                worstMs = std::max(worstMs, ms);
                audioMs += clip.size() / 16.0;
                samples.push_back(s);
                if (verbose)
                    std::fprintf(stderr, "%s -> %s (%.0f ms, %zu samples)\n", qPrintable(p.phrase),
                                 qPrintable(s.outcome.words), ms, clip.size());
            }
            for (const QString& text : OutOfGrammarSentences())
                samples.push_back({set.name, v, text, {}, decoder.decode(SpeechClip(text, v, seed++))});
        }
    }

    auto report = [&](double g, bool detail) {
        std::map<std::pair<QString, QString>, std::array<int, 4>> rows; // right, phrases, rejected, foreign
        std::array<int, 4> all{};
        for (const Sample& s : samples) {
            auto& r = rows[{s.set, s.voice}];
            const bool ok = accepted(s, g);
            if (!s.expected.isEmpty()) {
                const bool right = ok && s.outcome.heard.command == s.expected;
                r[0] += right, r[1] += 1;
                if (detail && !right)
                    std::printf("  miss [%s/%s] \"%s\" -> \"%s\" gap %.0f\n", qPrintable(s.set), qPrintable(s.voice),
                                qPrintable(s.text), qPrintable(s.outcome.words), s.outcome.phoneGap);
            } else {
                r[2] += !ok, r[3] += 1;
            }
        }
        if (detail)
            std::printf("\n%-34s %-6s %16s %16s\n", "command set", "voice", "in-grammar", "rejected");
        for (const auto& [key, r] : rows) {
            for (int i = 0; i < 4; ++i)
                all[size_t(i)] += r[size_t(i)];
            if (detail)
                std::printf("%-34s %-6s %5d/%-4d %5.1f%% %5d/%-4d %5.1f%%\n", qPrintable(key.first),
                            qPrintable(key.second), r[0], r[1], 100.0 * r[0] / r[1], r[2], r[3], 100.0 * r[2] / r[3]);
        }
        return all;
    };

    if (sweep) {
        std::printf("%8s %12s %12s\n", "gap", "in-grammar", "rejected");
        for (double g = -10; g <= 40; g += 2) {
            const auto a = report(g, false);
            std::printf("%8.0f %11.1f%% %11.1f%%\n", g, 100.0 * a[0] / a[1], 100.0 * a[2] / a[3]);
        }
        return 0;
    }
    const auto a = report(gap, true);
    std::printf("%-34s %-6s %5d/%-4d %5.1f%% %5d/%-4d %5.1f%%\n", "all", "both", a[0], a[1], 100.0 * a[0] / a[1], a[2],
                a[3], 100.0 * a[2] / a[3]);
    std::printf("\nrejection: garbage weight %g, phone pass %s, max gap %g\n", rejection.garbageWeight,
                rejection.phonePass ? "on" : "off", gap);
    std::printf("decoding: %.1f ms per utterance on average, worst %.1f ms, %.2f x real time\n",
                decodeMs / double(samples.size()), worstMs, decodeMs / audioMs);
    std::printf("recogniser memory: %.1f MB resident\n", memoryKb / 1024.0);
    return 0;
}
