// Clean speech of the bench's texts in every synthetic voice, made once and kept in a cache folder.
#include "Voices.h"
#include "SpeechClips.h"
#include "voice/Resample.h"

#include <QCryptographicHash>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryFile>
#include <cstring>

namespace voicebench {

namespace {
// 16-bit PCM mono WAV at 16 kHz; empty when it is not one.
std::vector<short> readWav(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray b = f.readAll();
    if (b.size() < 44 || !b.startsWith("RIFF") || b.mid(8, 4) != "WAVE")
        return {};
    int rate = 0, channels = 1;
    for (int at = 12; at + 8 <= b.size();) {
        const QByteArray id = b.mid(at, 4);
        quint32 size = 0;
        std::memcpy(&size, b.constData() + at + 4, 4);
        const int body = at + 8;
        if (id == "fmt " && body + 16 <= b.size()) {
            quint16 ch = 0;
            quint32 r = 0;
            std::memcpy(&ch, b.constData() + body + 2, 2);
            std::memcpy(&r, b.constData() + body + 4, 4);
            channels = ch;
            rate = int(r);
        } else if (id == "data" && rate > 0) {
            const qint64 n = std::min<qint64>(size, b.size() - body) / 2;
            std::vector<short> s(size_t(n / std::max(1, channels)));
            for (size_t i = 0; i < s.size(); ++i)
                std::memcpy(&s[i], b.constData() + body + qint64(i) * 2 * channels, 2);
            return rate == 16000 ? s : voice::Resample(s, rate, 16000);
        }
        at = body + int(size + (size & 1));
    }
    return {};
}

// How the external speakers should read a phrase: "AM" letter by letter, digits as they are.
QString spoken(const QString& text)
{
    return QString(text).replace(QRegularExpression(QStringLiteral("\\b([A-Z])([A-Z])\\b")), QStringLiteral("\\1 \\2"));
}
} // namespace

std::vector<Voice> Voice::all()
{
    using E = Voice::Engine;
    return {
        {"espeak en-us", E::Espeak, "en-us"},       {"espeak en", E::Espeak, "en"},
        {"espeak en-us+m3", E::Espeak, "en-us+m3"}, {"espeak en+f2", E::Espeak, "en+f2"},
        {"flite kal16", E::Flite, "kal16"},         {"flite awb", E::Flite, "awb"},
        {"flite rms", E::Flite, "rms"},             {"flite slt", E::Flite, "slt"},
        {"festival kal", E::Festival, "voice_kal_diphone"},
        {"festival ked", E::Festival, "voice_ked_diphone"},
        {"festival slt-hts", E::Festival, "voice_cmu_us_slt_arctic_hts"},
    };
}

QString Voices::file(const Voice& v, const QString& text) const
{
    const QByteArray key = QCryptographicHash::hash((v.id + u'\n' + text).toUtf8(), QCryptographicHash::Md5).toHex();
    return cache_ + u'/' + QString::fromLatin1(key) + QStringLiteral(".wav");
}

bool Voices::prepareExternal(const Voice& v, const QStringList& texts, QString* why)
{
    QStringList missing;
    for (const QString& t : texts)
        if (!QFile::exists(file(v, t)))
            missing << t;
    if (missing.isEmpty())
        return true;
    if (v.engine == Voice::Engine::Flite) {
        for (const QString& t : missing) {
            QProcess p;
            p.start(QStringLiteral("flite"), {"-voice", v.id, "-t", spoken(t), "-o", file(v, t)});
            if (!p.waitForFinished(30000) || p.exitCode() != 0) {
                *why = QStringLiteral("flite -voice %1 failed (install flite)").arg(v.id);
                return false;
            }
        }
        return true;
    }
    // One festival for all the texts of a voice: it takes most of a second to start.
    QTemporaryFile script;
    if (!script.open()) {
        *why = QStringLiteral("cannot write a festival script");
        return false;
    }
    QByteArray s = "(" + v.id.toLatin1() + ")\n";
    for (const QString& t : missing) {
        QString quoted = spoken(t);
        quoted.replace(u'\\', QStringLiteral("\\\\")).replace(u'"', QStringLiteral("\\\""));
        s += "(utt.save.wave (utt.synth (Utterance Text \"" + quoted.toUtf8() + "\")) \"" + file(v, t).toUtf8() +
             "\" 'riff)\n";
    }
    script.write(s);
    script.flush();
    QProcess p;
    p.start(QStringLiteral("festival"), {"-b", script.fileName()});
    if (!p.waitForFinished(600000) || p.exitCode() != 0 || !QFile::exists(file(v, missing.back()))) {
        *why = QStringLiteral("festival with %1 failed (install festival and its voice)").arg(v.id);
        return false;
    }
    return true;
}

bool Voices::prepare(const std::vector<Voice>& voices, const QStringList& texts, QString* why)
{
    QDir().mkpath(cache_);
    for (const Voice& v : voices) {
        if (v.engine != Voice::Engine::Espeak && !prepareExternal(v, texts, why))
            return false;
        for (const QString& t : texts) {
            auto s = v.engine == Voice::Engine::Espeak ? voicetest::Say(espeak_, t, v.id) : readWav(file(v, t));
            if (s.empty()) {
                *why = QStringLiteral("%1 said nothing for \"%2\"").arg(v.name, t);
                return false;
            }
            clips_[{v.name, t}] = std::move(s);
        }
    }
    return true;
}

const std::vector<short>& Voices::clean(const QString& voice, const QString& text) const
{
    const auto it = clips_.find({voice, text});
    return it == clips_.end() ? none_ : it->second;
}

} // namespace voicebench
