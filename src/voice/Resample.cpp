// Band-limited resampling of 16-bit mono sound, e.g. a synthesiser's rate to the recogniser's 16 kHz.
#include "Resample.h"

#include <algorithm>
#include <cmath>

namespace voice {

std::vector<short> Resample(const std::vector<short>& in, int fromRate, int toRate)
{
    if (fromRate <= 0 || toRate <= 0 || in.empty())
        return {};
    if (fromRate == toRate)
        return in;
    constexpr int halfTaps = 16;
    const double step = double(fromRate) / toRate;
    // Below both Nyquist limits, with a little room for the filter's slope.
    const double cutoff = 0.95 * std::min(1.0, double(toRate) / fromRate);
    const size_t outCount = size_t(double(in.size()) / step);
    std::vector<short> out(outCount);
    for (size_t i = 0; i < outCount; ++i) {
        const double centre = double(i) * step;
        const long first = long(std::floor(centre)) - halfTaps + 1;
        double sum = 0, weights = 0;
        for (long k = first; k < first + 2 * halfTaps; ++k) {
            if (k < 0 || k >= long(in.size()))
                continue;
            const double x = double(k) - centre;
            const double sinc = x == 0 ? 1.0 : std::sin(M_PI * cutoff * x) / (M_PI * cutoff * x);
            const double window = 0.5 + 0.5 * std::cos(M_PI * x / halfTaps);
            const double w = sinc * window;
            sum += w * in[size_t(k)];
            weights += w;
        }
        const double v = weights != 0 ? sum / weights : 0;
        out[i] = short(std::clamp(v, -32768.0, 32767.0));
    }
    return out;
}

} // namespace voice
