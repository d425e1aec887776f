// A speaker's adapted acoustic model as stored for one microphone, and the room it was made in.
#include "VoiceProfile.h"
#include "ByteReader.h"

#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTextStream>
#include <cmath>
#include <cstring>

namespace voice {

namespace {
// Rooms whose voice stands this close above their noise share how the front end has to clean it.
constexpr float NearDb = 8;

const char* const kindNames[] = {"none", "mllr", "mllr+map"};

struct GaussianFile {
    QByteArray dims;      // the counts and feature lengths, as stored
    std::vector<float> values;
    quint32 stored = 0, computed = 0; // checksums
};

quint32 rotateAdd(quint32 sum, quint32 word)
{
    return (sum << 20 | sum >> 12) + word;
}

// The Sphinx-3 parameter file: a text header to "endhdr", a byte-order mark, counts, values, checksum.
platform::Result<GaussianFile> readGaussians(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return platform::Fail(QStringLiteral("%1 cannot be read").arg(path));
    const QByteArray b = f.readAll();
    const qsizetype end = b.indexOf("endhdr\n");
    if (!b.startsWith("s3\n") || end < 0)
        return platform::Fail(QStringLiteral("%1 is not a model file").arg(path));
    ByteReader r{b, end + 7};
    GaussianFile g;
    quint32 magic = 0, mgau = 0, feats = 0, density = 0, n = 0;
    if (!r.read(magic) || magic != 0x11223344 || !r.read(mgau) || !r.read(feats) || !r.read(density) || feats == 0
        || feats > 8)
        return platform::Fail(QStringLiteral("%1 is not a model file of this machine's byte order").arg(path));
    const qsizetype dimsFrom = r.at - 12;
    quint32 sum = rotateAdd(rotateAdd(rotateAdd(0, mgau), feats), density);
    quint64 perDensity = 0;
    for (quint32 i = 0; i < feats; ++i) {
        quint32 len = 0;
        if (!r.read(len))
            return platform::Fail(QStringLiteral("%1 is cut short").arg(path));
        sum = rotateAdd(sum, len);
        perDensity += len;
    }
    if (!r.read(n) || quint64(n) != quint64(mgau) * density * perDensity || r.at + qsizetype(n) * 4 + 4 > b.size())
        return platform::Fail(QStringLiteral("%1 is cut short").arg(path));
    sum = rotateAdd(sum, n);
    g.dims = b.mid(dimsFrom, r.at - dimsFrom);
    g.values.resize(n);
    for (float& v : g.values) {
        quint32 w = 0;
        r.read(w);
        std::memcpy(&v, &w, 4);
        sum = rotateAdd(sum, w);
    }
    r.read(g.stored);
    g.computed = sum;
    return g;
}
} // namespace

bool Room::near(const Room& other) const
{
    if (quiet || other.quiet)
        return quiet == other.quiet;
    return std::abs(voiceOverRoomDb - other.voiceOverRoomDb) <= NearDb;
}

QString Room::describe() const
{
    return quiet ? QStringLiteral("quiet (%1 dB)").arg(double(voiceOverRoomDb), 0, 'f', 0)
                 : QStringLiteral("noisy (%1 dB)").arg(double(voiceOverRoomDb), 0, 'f', 0);
}

QString KindName(ProfileKind kind)
{
    return QString::fromLatin1(kindNames[int(kind)]);
}

platform::Result<> CheckGaussianFile(const QString& path, const QString& reference)
{
    const auto g = readGaussians(path);
    if (!g)
        return platform::Fail(g.why());
    const auto ref = readGaussians(reference);
    if (!ref)
        return platform::Fail(ref.why());
    if (g->dims != ref->dims)
        return platform::Fail(QStringLiteral("%1 does not fit the speech model").arg(path));
    if (g->stored != g->computed)
        return platform::Fail(QStringLiteral("%1 is damaged (its checksum is wrong)").arg(path));
    // The library floors small variances itself; what it cannot mend is a value that is no number.
    for (float v : g->values)
        if (!std::isfinite(v))
            return platform::Fail(QStringLiteral("%1 holds values no model can have").arg(path));
    return {};
}

platform::Result<> CheckTransformFile(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return platform::Fail(QStringLiteral("%1 cannot be read").arg(path));
    QTextStream in(&f);
    // One class, three streams; each: its length, the matrix, the bias, the variance scale.
    int classes = 0, streams = 0;
    in >> classes >> streams;
    if (classes != 1 || streams != 3)
        return platform::Fail(QStringLiteral("%1 is not a transform for this model").arg(path));
    for (int s = 0; s < streams; ++s) {
        int len = 0;
        in >> len;
        if (len != 13)
            return platform::Fail(QStringLiteral("%1 is not a transform for this model").arg(path));
        for (int i = 0; i < len * len + 2 * len; ++i) {
            QString token;
            in >> token;
            bool number = false;
            const double v = token.toDouble(&number);
            if (!number || !std::isfinite(v))
                return platform::Fail(QStringLiteral("%1 is damaged").arg(path));
        }
    }
    return {};
}

platform::Result<VoiceProfile> VoiceProfile::load(const QString& folder, const QString& model)
{
    const QString ini = folder + QStringLiteral("/profile.ini");
    VoiceProfile p;
    p.folder = folder;
    if (!QFileInfo::exists(ini))
        return p;
    QSettings s(ini, QSettings::IniFormat);
    const QString kind = s.value(QStringLiteral("kind")).toString();
    for (int k = 0; k < 3; ++k)
        if (kind == QLatin1String(kindNames[k]))
            p.kind = ProfileKind(k);
    p.room.quiet = s.value(QStringLiteral("quiet"), true).toBool();
    p.room.voiceOverRoomDb = s.value(QStringLiteral("voiceOverRoomDb"), 0).toFloat();
    p.made = s.value(QStringLiteral("made")).toDateTime();
    p.recordings = s.value(QStringLiteral("recordings"), 0).toInt();
    p.checked = s.value(QStringLiteral("checked"), 0).toInt();
    p.stockErrors = s.value(QStringLiteral("stockErrors"), 0).toInt();
    p.errors = s.value(QStringLiteral("errors"), 0).toInt();
    if (p.kind == ProfileKind::None)
        return p;
    if (const auto t = CheckTransformFile(p.transformPath()); !t)
        return platform::Fail(t.why());
    if (p.kind == ProfileKind::Full) {
        if (const auto m = CheckGaussianFile(p.meansPath(), model + QStringLiteral("/means")); !m)
            return platform::Fail(m.why());
        if (const auto v = CheckGaussianFile(p.variancesPath(), model + QStringLiteral("/variances")); !v)
            return platform::Fail(v.why());
    }
    return p;
}

platform::Result<> VoiceProfile::save() const
{
    QSettings s(folder + QStringLiteral("/profile.ini"), QSettings::IniFormat);
    s.setValue(QStringLiteral("kind"), KindName(kind));
    s.setValue(QStringLiteral("quiet"), room.quiet);
    s.setValue(QStringLiteral("voiceOverRoomDb"), double(room.voiceOverRoomDb));
    s.setValue(QStringLiteral("made"), made);
    s.setValue(QStringLiteral("recordings"), recordings);
    s.setValue(QStringLiteral("checked"), checked);
    s.setValue(QStringLiteral("stockErrors"), stockErrors);
    s.setValue(QStringLiteral("errors"), errors);
    s.sync();
    if (s.status() != QSettings::NoError)
        return platform::Fail(QStringLiteral("%1 cannot be written").arg(folder));
    return {};
}

} // namespace voice
