// Rooms and microphones for test speech: noise, level, a click, echo and pace around a clean clip.
#include "Condition.h"

#include <algorithm>
#include <cmath>
#include <random>

namespace voicetest {

namespace {
constexpr double speechRms = 3000; // about -20 dBFS: a voice at a sensibly set microphone
constexpr double hissRms = 20;     // a quiet microphone's own noise

double rms(const std::vector<double>& s)
{
    double sum = 0;
    for (double v : s)
        sum += v * v;
    return s.empty() ? 0 : std::sqrt(sum / double(s.size()));
}

// Noise of a colour: white, pink (-3 dB per octave) or brown (-6 dB per octave), of unit power.
std::vector<double> noise(Condition::Kind colour, size_t n, uint32_t seed)
{
    std::mt19937 gen(seed);
    std::normal_distribution<double> white(0, 1);
    std::vector<double> out(n);
    double b[7] = {}, brown = 0;
    for (double& v : out) {
        const double w = white(gen);
        if (colour == Condition::Kind::Pink) { // Paul Kellet's filter
            b[0] = 0.99886 * b[0] + w * 0.0555179;
            b[1] = 0.99332 * b[1] + w * 0.0750759;
            b[2] = 0.96900 * b[2] + w * 0.1538520;
            b[3] = 0.86650 * b[3] + w * 0.3104856;
            b[4] = 0.55000 * b[4] + w * 0.5329522;
            b[5] = -0.7616 * b[5] - w * 0.0168980;
            v = b[0] + b[1] + b[2] + b[3] + b[4] + b[5] + b[6] + w * 0.5362;
            b[6] = w * 0.115926;
        } else if (colour == Condition::Kind::Brown) {
            brown = 0.998 * brown + w;
            v = brown;
        } else {
            v = w;
        }
    }
    const double r = rms(out);
    for (double& v : out)
        v /= r > 0 ? r : 1;
    return out;
}

std::vector<short> toShorts(const std::vector<double>& s)
{
    std::vector<short> out(s.size());
    for (size_t i = 0; i < s.size(); ++i)
        out[i] = short(std::lround(std::clamp(s[i], -32768.0, 32767.0)));
    return out;
}

} // namespace

std::vector<short> Condition::apply(const std::vector<short>& clean, uint32_t seed) const
{
    // The speaker's own silence before and after is left out, so the room decides what is there.
    const auto audible = [](short v) { return std::abs(int(v)) > 64; };
    const auto first = std::find_if(clean.begin(), clean.end(), audible);
    const auto last = std::find_if(clean.rbegin(), clean.rend(), audible).base();
    std::vector<short> said = first < last ? std::vector<short>(first, last) : std::vector<short>();
    if (pace && !said.empty() && (said = pace(said)).empty())
        return {};
    // Every voice at one level, so that noise and gain mean the same for all.
    std::vector<double> speech(said.begin(), said.end());
    const double level = rms(speech);
    for (double& v : speech)
        v *= speechRms / std::max(level, 1.0);
    const size_t before = beforeSamples, after = afterSamples;
    std::vector<double> s(before + speech.size() + after, 0.0);
    std::copy(speech.begin(), speech.end(), s.begin() + long(before));
    if (echo) {
        const auto wet = echo(toShorts(s));
        if (wet.empty())
            return {};
        s.assign(wet.begin(), wet.begin() + long(std::min(wet.size(), s.size())));
    }
    if (kind == Kind::Level)
        for (double& v : s)
            v *= std::pow(10.0, value / 20);
    if (kind == Kind::Click) // a sharp knock 0.2 s before the voice
        for (size_t i = 0; i < 80; ++i)
            s[before - 3200 + i] += (i % 2 ? -1 : 1) * 20000.0 * std::exp(-double(i) / 20);
    if (kind != Kind::DigitalSilence) {
        const bool coloured = kind == Kind::White || kind == Kind::Pink || kind == Kind::Brown;
        const double noiseRms = coloured ? speechRms * std::pow(10.0, -value / 20) : hissRms;
        const auto n = noise(coloured ? kind : Kind::White, s.size(), seed);
        for (size_t i = 0; i < s.size(); ++i)
            s[i] += n[i] * noiseRms;
    }
    return toShorts(s);
}

} // namespace voicetest
