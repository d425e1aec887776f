// The bench's rooms: the tests' noise, level and click, and a small room's echo and other paces by sox.
#include "Rooms.h"

#include <QProcess>
#include <algorithm>

namespace voicebench {

namespace {
// Through sox with these effects; empty when sox fails. Repeatable: sox's dither is random otherwise,
// and two runs of the bench would not hear the same clips.
std::vector<short> sox(const std::vector<short>& in, const QStringList& effects)
{
    QProcess p;
    const QStringList raw{"-t", "raw", "-r", "16000", "-e", "signed", "-b", "16", "-c", "1"};
    p.start(QStringLiteral("sox"), QStringList{"-q", "-R"} + raw + QStringList{"-"} + raw + QStringList{"-"} + effects);
    if (!p.waitForStarted(5000))
        return {};
    p.write(reinterpret_cast<const char*>(in.data()), qint64(in.size() * 2));
    p.closeWriteChannel();
    if (!p.waitForFinished(30000) || p.exitCode() != 0)
        return {};
    const QByteArray bytes = p.readAllStandardOutput();
    std::vector<short> out(size_t(bytes.size()) / 2);
    std::copy_n(reinterpret_cast<const short*>(bytes.constData()), out.size(), out.data());
    return out;
}

voicetest::Condition tempo(double rate)
{
    voicetest::Condition c{QStringLiteral("tempo ") + QString::number(rate), voicetest::Condition::Kind::Faint, rate};
    c.pace = [rate](const std::vector<short>& s) { return sox(s, {"tempo", "-s", QString::number(rate)}); };
    return c;
}
} // namespace

std::vector<voicetest::Condition> Rooms()
{
    using K = voicetest::Condition::Kind;
    voicetest::Condition smallRoom{"small room", K::Faint, 0};
    smallRoom.echo = [](const std::vector<short>& s) { return sox(s, {"reverb", "50", "50", "30"}); }; // fairly live
    return {
        {"clean", K::DigitalSilence, 0},  {"quiet mic", K::Faint, 0},
        {"white 20 dB", K::White, 20},  {"white 10 dB", K::White, 10},
        {"pink 20 dB", K::Pink, 20},    {"pink 10 dB", K::Pink, 10},
        {"brown 20 dB", K::Brown, 20},  {"brown 10 dB", K::Brown, 10},
        smallRoom,
        {"-20 dB", K::Level, -20},      {"clipped +12 dB", K::Level, 12},
        tempo(0.8),                     tempo(1.25),
        {"click before", K::Click, 0},
    };
}

} // namespace voicebench
