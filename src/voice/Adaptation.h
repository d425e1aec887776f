// The stock model adapted to one speaker and room by Debian's training tools, run as child processes.
#pragma once
#include "platform/Result.h"

#include <QString>
#include <QStringList>
#include <atomic>
#include <vector>

namespace voice {

// A recording to adapt on: what the recogniser heard (raw 16 kHz mono) and the words said.
struct AdaptationInput {
    QString path;
    QStringList words; // dictionary words, lower case
};

struct AdaptationSetup {
    QString model = QStringLiteral("/usr/share/pocketsphinx/model/en-us/en-us");
    QString dictionary = QStringLiteral("/usr/share/pocketsphinx/model/en-us/cmudict-en-us.dict");
    QString tools = QStringLiteral("/usr/lib/sphinxtrain");
    QString base;          // the stock model as the tools read it, made once (a cache)
    int stepSeconds = 90;  // no step takes this long on good input; some wait for ever on bad
    int nice = 10;         // the tools give way to the character's animation
};

// Runs the tools one after another, each with a time limit, on the calling thread: sphinx_fe for the
// features, bw for the counts, mllr_solve for the transform, then bw again against the transformed
// means and map_adapt for means and variances on top of them.
class Adaptation {
public:
    Adaptation(AdaptationSetup setup, const std::atomic<bool>* cancelled = nullptr)
        : setup_(std::move(setup)), cancelled_(cancelled)
    {
    }

    // The Debian packages missing for adapting; empty when all are there.
    static QStringList missingPackages(const AdaptationSetup& setup);

    // Makes the stock model's text definition and mixture weights in `base` if they are not there.
    platform::Result<> prepareBase();
    // Writes mllr_matrix, means and variances into `out`; `work` is made and removed.
    platform::Result<> run(const std::vector<AdaptationInput>& recordings, const QString& work, const QString& out);

private:
    platform::Result<> writeCorpus(const std::vector<AdaptationInput>& recordings, const QString& work);
    platform::Result<> step(const QString& program, const QStringList& args, const QString& output, const QString& log);
    QStringList counts(const QString& means, const QString& work, const QString& accumulated) const;

    AdaptationSetup setup_;
    const std::atomic<bool>* cancelled_;
};

} // namespace voice
