// The stock model adapted to one speaker and room by Debian's training tools, run as child processes.
#include "Adaptation.h"
#include "MixtureWeights.h"

#include "SphinxLibrary.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSet>
#include <QStandardPaths>
#include <QTextStream>
#include <unistd.h>

namespace voice {

namespace {
constexpr qint64 shortestSamples = 16000 * 3 / 10, longestSamples = 16000 * 30;

QString featureTool()
{
    return QStandardPaths::findExecutable(QStringLiteral("sphinx_fe"));
}

// The last lines a failing tool wrote, for the reason.
QString tail(const QString& log)
{
    QFile f(log);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QList<QByteArray> lines = f.readAll().trimmed().split('\n');
    return QString::fromLocal8Bit(lines.mid(std::max<qsizetype>(0, lines.size() - 2)).join(" / "));
}
} // namespace

QStringList Adaptation::missingPackages(const AdaptationSetup& setup)
{
    QStringList missing;
    if (featureTool().isEmpty())
        missing << QStringLiteral("sphinxbase-utils");
    for (const char* tool : {"bw", "mllr_solve", "mllr_transform", "map_adapt"})
        if (!QFileInfo(setup.tools + u'/' + QLatin1String(tool)).isExecutable()) {
            missing << QStringLiteral("sphinxtrain");
            break;
        }
    return missing;
}

platform::Result<> Adaptation::prepareBase()
{
    if (!QDir().mkpath(setup_.base))
        return platform::Fail(QStringLiteral("%1 cannot be made").arg(setup_.base));
    const QString mdef = setup_.base + QStringLiteral("/mdef.txt"), mixw = setup_.base + QStringLiteral("/mixture_weights");
    if (QFileInfo(mdef).size() == 0) {
        const platform::Result<SphinxLibrary> sphinx = SphinxLibrary::Open();
        if (!sphinx)
            return platform::Fail(sphinx.why());
        bin_mdef_s* m = sphinx->bin_mdef_read(nullptr, (setup_.model + QStringLiteral("/mdef")).toLocal8Bit().constData());
        const QString part = mdef + QStringLiteral(".part");
        const bool written = m && sphinx->bin_mdef_write_text(m, part.toLocal8Bit().constData()) == 0;
        if (m)
            sphinx->bin_mdef_free(m);
        QFile::remove(mdef);
        if (!written || !QFile::rename(part, mdef))
            return platform::Fail(QStringLiteral("the speech model's definition could not be written to %1").arg(mdef));
    }
    if (QFileInfo(mixw).size() == 0)
        return RecoverMixtureWeights(setup_.model + QStringLiteral("/sendump"), mixw);
    return {};
}

platform::Result<> Adaptation::writeCorpus(const std::vector<AdaptationInput>& recordings, const QString& work)
{
    QSet<QString> used;
    for (const auto& r : recordings)
        for (const QString& w : r.words)
            used.insert(w);
    // Only the entries in use: the tools read a dictionary line by line, and the whole one is 130,000.
    QFile dict(setup_.dictionary);
    if (!dict.open(QIODevice::ReadOnly | QIODevice::Text))
        return platform::Fail(QStringLiteral("the dictionary %1 cannot be read").arg(setup_.dictionary));
    QByteArray entries;
    QSet<QString> found;
    while (!dict.atEnd()) {
        const QByteArray line = dict.readLine();
        const QByteArray word = line.split(' ').front();
        const QString head = QString::fromUtf8(word.split('(').front());
        if (used.contains(head)) {
            entries += line.endsWith('\n') ? line : line + '\n';
            found.insert(head);
        }
    }
    for (const QString& w : std::as_const(used))
        if (!found.contains(w))
            return platform::Fail(QStringLiteral("\"%1\" is not in the dictionary").arg(w));
    QFile small(work + QStringLiteral("/dictionary"));
    QFile ids(work + QStringLiteral("/fileids")), lsn(work + QStringLiteral("/transcription"));
    if (!small.open(QIODevice::WriteOnly) || small.write(entries) < 0 || !ids.open(QIODevice::WriteOnly | QIODevice::Text)
        || !lsn.open(QIODevice::WriteOnly | QIODevice::Text))
        return platform::Fail(QStringLiteral("%1 cannot be written").arg(work));
    QTextStream idOut(&ids), lsnOut(&lsn);
    for (size_t i = 0; i < recordings.size(); ++i) {
        const QString id = QStringLiteral("u%1").arg(i, 3, 10, QLatin1Char('0'));
        const qint64 samples = QFileInfo(recordings[i].path).size() / 2;
        if (samples < shortestSamples || samples > longestSamples)
            return platform::Fail(QStringLiteral("the recording %1 is missing, too short or too long").arg(recordings[i].path));
        if (recordings[i].words.isEmpty())
            return platform::Fail(QStringLiteral("the recording %1 has no words").arg(recordings[i].path));
        if (!QFile::link(QFileInfo(recordings[i].path).absoluteFilePath(), work + QStringLiteral("/audio/") + id + QStringLiteral(".raw")))
            return platform::Fail(QStringLiteral("%1 cannot be written").arg(work));
        idOut << id << '\n';
        lsnOut << "<s> " << recordings[i].words.join(u' ') << " </s> (" << id << ")\n";
    }
    idOut.flush();
    lsnOut.flush();
    return ids.error() == QFile::NoError && lsn.error() == QFile::NoError
               ? platform::Result<>()
               : platform::Fail(QStringLiteral("%1 cannot be written").arg(work));
}

platform::Result<> Adaptation::step(const QString& program, const QStringList& args, const QString& output,
                                    const QString& log)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.setStandardOutputFile(log, QIODevice::Append);
    const int nice = setup_.nice;
    p.setChildProcessModifier([nice] { [[maybe_unused]] const int n = ::nice(nice); });
    p.start(program, args);
    const QString name = QFileInfo(program).fileName();
    if (!p.waitForStarted(5000))
        return platform::Fail(QStringLiteral("%1 could not be started (%2)").arg(name, p.errorString()));
    QElapsedTimer clock;
    clock.start();
    // bw waits five minutes for a feature file that is not there: every step has a time limit.
    while (p.state() != QProcess::NotRunning && !p.waitForFinished(100)) {
        const bool cancelled = cancelled_ && cancelled_->load();
        if (cancelled || clock.elapsed() > qint64(setup_.stepSeconds) * 1000) {
            p.kill();
            p.waitForFinished(2000);
            return platform::Fail(cancelled ? QStringLiteral("cancelled")
                                            : QStringLiteral("%1 took longer than %2 s").arg(name).arg(setup_.stepSeconds));
        }
    }
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0 || QFileInfo(output).size() == 0)
        return platform::Fail(QStringLiteral("%1 failed: %2").arg(name, tail(log)));
    return {};
}

QStringList Adaptation::counts(const QString& means, const QString& work, const QString& accumulated) const
{
    const QString& m = setup_.model;
    return {"-hmmdir", m, "-moddeffn", setup_.base + "/mdef.txt", "-mixwfn", setup_.base + "/mixture_weights",
            "-meanfn", means, "-varfn", m + "/variances", "-tmatfn", m + "/transition_matrices", "-ts2cbfn", ".ptm.",
            "-feat", "1s_c_d_dd", "-svspec", "0-12/13-25/26-38", "-cmn", "batch", "-agc", "none", "-varnorm", "no",
            "-dictfn", work + "/dictionary", "-fdictfn", m + "/noisedict", "-ctlfn", work + "/fileids", "-lsnfn",
            work + "/transcription", "-cepdir", work + "/feat", "-cepext", "mfc", "-accumdir", accumulated};
}

platform::Result<> Adaptation::run(const std::vector<AdaptationInput>& recordings, const QString& work, const QString& out)
{
    if (const QStringList missing = missingPackages(setup_); !missing.isEmpty())
        return platform::Fail(QStringLiteral("install %1").arg(missing.join(QStringLiteral(" and "))));
    if (recordings.empty())
        return platform::Fail(QStringLiteral("there is nothing to adapt on"));
    QDir(work).removeRecursively();
    // bw does not make its folder for the counts, and fails only when it writes them.
    for (const QString& d : {work + "/audio", work + "/feat", work + "/acc", work + "/acc2", out})
        if (!QDir().mkpath(d))
            return platform::Fail(QStringLiteral("%1 cannot be made").arg(d));
    struct Cleanup {
        QString dir;
        ~Cleanup() { QDir(dir).removeRecursively(); }
    } cleanup{work};
    if (const auto base = prepareBase(); !base)
        return base;
    if (const auto corpus = writeCorpus(recordings, work); !corpus)
        return corpus;
    const QString log = work + QStringLiteral("/log");
    const QString& m = setup_.model;
    const QString t = setup_.tools + u'/';
    if (auto r = step(featureTool(), {"-argfile", m + "/feat.params", "-samprate", "16000", "-c", work + "/fileids",
                                      "-di", work + "/audio", "-do", work + "/feat", "-ei", "raw", "-eo", "mfc", "-raw",
                                      "yes", "-input_endian", "little", "-nchans", "1", "-remove_silence", "no"},
                      work + "/feat/u000.mfc", log);
        !r)
        return r;
    for (size_t i = 0; i < recordings.size(); ++i)
        if (QFileInfo(work + QStringLiteral("/feat/u%1.mfc").arg(i, 3, 10, QLatin1Char('0'))).size() == 0)
            return platform::Fail(QStringLiteral("no features were made of %1").arg(recordings[i].path));
    if (auto r = step(t + "bw", counts(m + "/means", work, work + "/acc"), work + "/acc/gauden_counts", log); !r)
        return r;
    if (auto r = step(t + "mllr_solve", {"-meanfn", m + "/means", "-varfn", m + "/variances", "-outmllrfn",
                                         out + "/mllr_matrix", "-accumdir", work + "/acc"},
                      out + "/mllr_matrix", log);
        !r)
        return r;
    // MAP on top of MLLR: the transformed means are counted against again and are MAP's prior.
    if (auto r = step(t + "mllr_transform", {"-inmeanfn", m + "/means", "-outmeanfn", work + "/mllr_means", "-mllrmat",
                                             out + "/mllr_matrix"},
                      work + "/mllr_means", log);
        !r)
        return r;
    if (auto r = step(t + "bw", counts(work + "/mllr_means", work, work + "/acc2"), work + "/acc2/gauden_counts", log); !r)
        return r;
    return step(t + "map_adapt",
                {"-moddeffn", setup_.base + "/mdef.txt", "-ts2cbfn", ".ptm.", "-meanfn", work + "/mllr_means", "-varfn",
                 m + "/variances", "-mixwfn", setup_.base + "/mixture_weights", "-tmatfn", m + "/transition_matrices",
                 "-accumdir", work + "/acc2", "-mapmeanfn", out + "/means", "-mapvarfn", out + "/variances",
                 "-mapmixwfn", work + "/map_mixw", "-maptmatfn", work + "/map_tmat"},
                out + "/variances", log);
}

} // namespace voice
