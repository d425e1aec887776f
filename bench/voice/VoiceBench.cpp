// Accuracy, rejection, latency and memory of voice commands, on speech synthesised in process.
//   varrow-voice-bench [--sweep] [--edits PER_PHONE EXTRA] [--gap G] [--loop-lw W] [--stray FRAMES] [--no-loop]
//                      [--garbage W] [--no-reading] [--sets TEXT]
//                      [--competitors N] [--competitor-margin E]
//                      [--seed N] [--dump FILE.tsv] [--verbose]
// The decoder runs with its limits open and the limits are applied here, so a sweep needs one run.
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

struct Limits {
    double perPhone, extra, gap;
    int stray;
};

bool accepted(const Sample& s, const Limits& l)
{
    const voice::Outcome& o = s.outcome;
    return !o.heard.command.isEmpty() && o.phoneEdits <= l.perPhone * o.phrasePhones + l.extra && o.phoneGap <= l.gap && o.strayFrames <= l.stray;
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    voice::Rejection rejection;
    Limits limits{rejection.editsPerPhone, rejection.extraEdits, rejection.maxPhoneGap, rejection.maxStrayFrames};
    rejection.editsPerPhone = rejection.extraEdits = rejection.maxPhoneGap = 1e9;
    rejection.maxStrayFrames = 1000000;
    bool sweep = false, verbose = false;
    uint32_t firstSeed = 1; // of the noise; another shows how much a figure owes to this one
    QString sets, dump;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        const bool value = i + 1 < args.size();
        if (args[i] == "--sweep")
            sweep = true;
        else if (args[i] == "--garbage" && value)
            rejection.garbageWeight = args[++i].toDouble();
        else if (args[i] == "--competitors" && value)
            rejection.competitors = args[++i].toInt();
        else if (args[i] == "--competitor-margin" && value)
            rejection.competitorMargin = args[++i].toInt();
        else if (args[i] == "--edits" && i + 2 < args.size()) {
            limits.perPhone = args[++i].toDouble();
            limits.extra = args[++i].toDouble();
        }
        else if (args[i] == "--gap" && value)
            limits.gap = args[++i].toDouble();
        else if (args[i] == "--loop-lw" && value)
            rejection.loopWeight = args[++i].toDouble();
        else if (args[i] == "--stray" && value)
            limits.stray = args[++i].toInt();
        else if (args[i] == "--no-loop")
            rejection.phonePass = false;
        else if (args[i] == "--no-reading")
            rejection.phoneReading = false;
        else if (args[i] == "--sets" && value)
            sets = args[++i];
        else if (args[i] == "--seed" && value)
            firstSeed = args[++i].toUInt();
        else if (args[i] == "--dump" && value)
            dump = args[++i];
        else if (args[i] == "--verbose")
            verbose = true;
        else {
            const bool help = args[i] == "--help";
            std::fprintf(help ? stdout : stderr,
                         "%s%s\n", help ? "" : qPrintable("unknown option " + args[i] + "\n"),
                         "usage: varrow-voice-bench [--sweep] [--edits PER_PHONE EXTRA] [--gap G] [--loop-lw W]\n"
                         "       [--stray FRAMES] [--no-loop] [--garbage W] [--no-reading] [--sets TEXT]\n"
                         "       [--competitors N] [--competitor-margin E] [--seed N] [--dump FILE.tsv] [--verbose]");
            return help ? 0 : 2;
        }
    }
    QString error;
    if (!StartSynthesis(&error)) {
        std::fprintf(stderr, "espeak-ng: %s\n", qPrintable(error));
        return 1;
    }
    const long before = residentKb();
    QElapsedTimer startClock;
    startClock.start();
    voice::Decoder decoder(voice::DecoderSettings{.rejection = rejection});
    if (!decoder.ready()) {
        std::fprintf(stderr, "%s\n", qPrintable(decoder.error()));
        return 1;
    }
    decoder.setPhrases(LiveCommandSets().back().phrases);
    const double startMs = double(startClock.nsecsElapsed()) / 1e6;
    const long memoryKb = residentKb() - before;

    const QStringList voices{QStringLiteral("en-us"), QStringLiteral("en")}; // espeak's "en" is British English
    std::vector<Sample> samples;
    double decodeMs = 0, audioMs = 0, worstMs = 0;
    // Decodes `text` said in voice `v`, timing the decode alone.
    auto decodeSaid = [&](const QString& text, const QString& v, uint32_t seed) {
        const auto clip = SpeechClip(text, v, seed);
        QElapsedTimer clock;
        clock.start();
        const voice::Outcome outcome = decoder.decode(clip);
        const double ms = double(clock.nsecsElapsed()) / 1e6;
        decodeMs += ms;
        worstMs = std::max(worstMs, ms);
        audioMs += clip.size() / 16.0;
        if (verbose)
            std::fprintf(stderr, "%s -> %s (%.0f ms, %zu samples)\n", qPrintable(text), qPrintable(outcome.words), ms,
                         clip.size());
        return outcome;
    };
    uint32_t seed = firstSeed;
    for (const CommandSet& set : LiveCommandSets()) {
        if (!set.name.contains(sets))
            continue;
        decoder.setPhrases(set.phrases);
        for (const QString& v : voices) {
            for (const auto& p : set.phrases)
                samples.push_back({set.name, v, p.phrase, p.command, decodeSaid(p.phrase, v, seed++)});
            for (const QString& text : OutOfGrammarSentences())
                samples.push_back({set.name, v, text, {}, decodeSaid(text, v, seed++)});
        }
    }

    if (!dump.isEmpty()) {
        FILE* f = std::fopen(dump.toLocal8Bit().constData(), "w");
        if (!f) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(dump));
            return 1;
        }
        for (const Sample& s : samples)
            std::fprintf(f, "%s\t%s\t%s\t%s\t%s\t%s\t%d\t%.3f\t%d\t%d\t%d\t%s\t%d\t%d\n", qPrintable(s.set),
                         qPrintable(s.voice), qPrintable(s.text), qPrintable(s.expected),
                         qPrintable(s.outcome.heard.command), qPrintable(s.outcome.words), s.outcome.phoneEdits,
                         s.outcome.phoneGap, s.outcome.phrasePhones, s.outcome.wordFrames, s.outcome.frames,
                         qPrintable(s.outcome.heardPhones), s.outcome.loudFrames, s.outcome.strayFrames);
        std::fclose(f);
    }
    auto report = [&](const Limits& g, bool detail) {
        std::map<std::pair<QString, QString>, std::array<int, 4>> rows; // right, phrases, rejected, foreign
        std::array<int, 4> all{};
        for (const Sample& s : samples) {
            auto& r = rows[{s.set, s.voice}];
            const bool ok = accepted(s, g);
            if (!s.expected.isEmpty()) {
                const bool right = ok && s.outcome.heard.command == s.expected;
                r[0] += right, r[1] += 1;
                if (detail && !right)
                    std::printf("  miss [%s/%s] \"%s\" -> \"%s\" %d edits [%s]\n", qPrintable(s.set),
                                qPrintable(s.voice), qPrintable(s.text), qPrintable(s.outcome.words),
                                s.outcome.phoneEdits, qPrintable(s.outcome.heardPhones));
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
        std::printf("%9s %6s %12s %12s\n", "per phone", "extra", "in-grammar", "rejected");
        for (double d = 0.5; d <= 1.01; d += 0.1)
            for (double e = 0; e <= 3; e += 0.5) {
                const auto a = report({d, e, limits.gap, limits.stray}, false);
                std::printf("%9.1f %6.1f %11.1f%% %11.1f%%\n", d, e, 100.0 * a[0] / a[1], 100.0 * a[2] / a[3]);
            }
        return 0;
    }
    const auto a = report(limits, true);
    std::printf("%-34s %-6s %5d/%-4d %5.1f%% %5d/%-4d %5.1f%%\n", "all", "both", a[0], a[1], 100.0 * a[0] / a[1], a[2],
                a[3], 100.0 * a[2] / a[3]);
    std::printf("\nrejection: %d common words (none within %d phone edits of a phrase word); phone reading %s, "
                "at most %g edits per phone + %g; phone loop %s (weight %g), max gap %g; at most %d frames of other "
                "speech; garbage weight %g\n",
                rejection.competitors, rejection.competitorMargin, rejection.phoneReading ? "on" : "off",
                limits.perPhone, limits.extra, rejection.phonePass ? "on" : "off", rejection.loopWeight, limits.gap,
                limits.stray, rejection.garbageWeight);
    std::printf("start: %.0f ms (decoder and the first grammar)\n", startMs);
    std::printf("decoding: %.1f ms per utterance on average, worst %.1f ms, %.2f x real time\n",
                decodeMs / double(samples.size()), worstMs, decodeMs / audioMs);
    std::printf("recogniser memory: %.1f MB resident\n", memoryKb / 1024.0);
    return 0;
}
