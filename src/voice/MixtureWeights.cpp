// The stock model's mixture weights as the training tools read them, rebuilt from the decoder's copy.
#include "MixtureWeights.h"
#include "ByteReader.h"

#include <QFile>
#include <QSaveFile>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace voice {

namespace {
// The decoder's own constants: its log base, the bits a weight keeps, its floor, its largest byte.
constexpr double logBase = 1.0001;
constexpr int shift = 10;
constexpr double mixwFloor = 1e-7;
constexpr int maxNegMixw = 159;

// sendump keeps each weight as q = -(log_1.0001(w) >> 10), one byte, laid out [feature][codeword][senone].
struct Sendump {
    int features = 1, codewords = 0, senones = 0;
    QByteArray q;
};

platform::Result<Sendump> readSendump(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return platform::Fail(QStringLiteral("%1 cannot be read").arg(path));
    const QByteArray b = f.readAll();
    ByteReader r{b};
    Sendump d;
    int clusters = 0, bits = 8;
    // Length-prefixed strings up to an empty one; the counts are among them.
    for (qint32 n = 0;;) {
        if (!r.read(n) || n < 0 || n > 4096 || r.at + n > b.size())
            return platform::Fail(QStringLiteral("%1 is not a model's mixture weights").arg(path));
        if (n == 0)
            break;
        const QByteArray s = b.mid(r.at, n);
        r.at += n;
        auto value = [&](const char* key, int& v) {
            if (s.startsWith(key))
                v = QByteArray(s.mid(qsizetype(std::strlen(key)))).replace(char(0), "").trimmed().toInt();
        };
        value("feature_count ", d.features);
        value("cluster_count ", clusters);
        value("cluster_bits ", bits);
    }
    qint32 rows = 0, cols = 0;
    if (clusters != 0 || bits != 8 || !r.read(rows) || !r.read(cols) || rows <= 0 || cols <= 0 || d.features <= 0)
        return platform::Fail(QStringLiteral("%1 is packed in a way this cannot read").arg(path));
    d.codewords = rows, d.senones = cols;
    const qsizetype size = qsizetype(d.features) * rows * cols;
    if (r.at + size > b.size())
        return platform::Fail(QStringLiteral("%1 is cut short").arg(path));
    d.q = b.mid(r.at, size);
    return d;
}

// The byte the decoder makes of one senone's weights: normalise, floor, normalise, log.
void quantise(std::vector<float> pdf, std::vector<int>& out)
{
    auto norm = [&] {
        double sum = 0;
        for (float v : pdf)
            sum += v;
        if (sum != 0)
            for (float& v : pdf)
                v = float(v / sum);
    };
    norm();
    for (float& v : pdf)
        v = std::max(v, float(mixwFloor));
    norm();
    const double inv = 1.0 / std::log(logBase);
    out.resize(pdf.size());
    for (size_t c = 0; c < pdf.size(); ++c) {
        const int q = pdf[c] <= 0 ? maxNegMixw : -(int(std::log(double(pdf[c])) * inv) >> shift);
        out[c] = (q > maxNegMixw || q < 0) ? maxNegMixw : q;
    }
}

// Weights inside their bins that sum to one. The decoder renormalises, so weights at the bins'
// middles would move across bins; instead all move together, a tenth of a bin inside their edges at
// most, until they add up to one.
std::vector<double> dequantise(const std::vector<int>& q)
{
    const double step = 1024 * std::log(logBase), margin = 0.1 * step;
    std::vector<double> lo(q.size()), hi(q.size()), mid(q.size());
    for (size_t c = 0; c < q.size(); ++c) {
        hi[c] = q[c] == 0 ? 0 : -(q[c] - 1) * step - margin;
        lo[c] = -q[c] * step + margin;
        mid[c] = q[c] == 0 ? -margin : (lo[c] + hi[c]) / 2;
    }
    auto at = [&](double t, std::vector<double>* w) {
        double sum = 0;
        for (size_t c = 0; c < q.size(); ++c) {
            const double l = std::min(hi[c], std::max(lo[c], mid[c] + t));
            sum += std::exp(l);
            if (w)
                (*w)[c] = std::exp(l);
        }
        return sum;
    };
    double a = -2 * step, b = 2 * step; // the sum rises with t
    for (int i = 0; i < 100; ++i) {
        const double m = (a + b) / 2;
        (at(m, nullptr) < 1 ? a : b) = m;
    }
    std::vector<double> w(q.size());
    const double sum = at((a + b) / 2, &w);
    for (double& v : w)
        v /= sum;
    return w;
}

quint32 checksum(quint32 sum, const void* buf, size_t words)
{
    for (size_t i = 0; i < words; ++i) {
        quint32 w = 0;
        std::memcpy(&w, static_cast<const char*>(buf) + i * 4, 4);
        sum = (sum << 20 | sum >> 12) + w;
    }
    return sum;
}
} // namespace

platform::Result<> RecoverMixtureWeights(const QString& sendump, const QString& out)
{
    const auto d = readSendump(sendump);
    if (!d)
        return platform::Fail(d.why());
    const size_t S = size_t(d->senones), F = size_t(d->features), C = size_t(d->codewords);
    std::vector<float> weights(S * F * C); // [senone][feature][codeword]
    size_t changed = 0;
    std::vector<int> q(C), back;
    std::vector<float> pdf(C);
    for (size_t s = 0; s < S; ++s)
        for (size_t f = 0; f < F; ++f) {
            for (size_t c = 0; c < C; ++c)
                q[c] = quint8(d->q[qsizetype((f * C + c) * S + s)]);
            const auto w = dequantise(q);
            for (size_t c = 0; c < C; ++c)
                pdf[c] = weights[(s * F + f) * C + c] = float(w[c]);
            quantise(pdf, back);
            for (size_t c = 0; c < C; ++c)
                changed += back[c] != q[c];
        }
    if (changed)
        return platform::Fail(QStringLiteral("%1 weights of %2 would not load as they were").arg(changed).arg(sendump));
    QSaveFile f(out);
    if (!f.open(QIODevice::WriteOnly))
        return platform::Fail(QStringLiteral("%1 cannot be written").arg(out));
    f.write("s3\nversion 1.0\nchksum0 yes\nendhdr\n");
    const quint32 magic = 0x11223344;
    const quint32 dims[4] = {quint32(S), quint32(F), quint32(C), quint32(weights.size())};
    const quint32 sum = checksum(checksum(0, dims, 4), weights.data(), weights.size());
    f.write(reinterpret_cast<const char*>(&magic), 4);
    f.write(reinterpret_cast<const char*>(dims), sizeof dims);
    f.write(reinterpret_cast<const char*>(weights.data()), qint64(weights.size() * 4));
    f.write(reinterpret_cast<const char*>(&sum), 4);
    if (!f.commit())
        return platform::Fail(QStringLiteral("%1 cannot be written").arg(out));
    return {};
}

} // namespace voice
