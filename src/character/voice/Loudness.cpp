#include "Loudness.h"

#include <algorithm>

namespace voice {

std::vector<bool> LoudFrames(const std::vector<short>& samples, double aboveFloorDb, int minRun)
{
    const size_t n = samples.size() / FrameSamples;
    std::vector<double> db(n);
    for (size_t f = 0; f < n; ++f) {
        double sum = 0;
        for (size_t i = f * FrameSamples; i < (f + 1) * FrameSamples; ++i)
            sum += double(samples[i]) * samples[i];
        db[f] = FrameLevelDb(sum);
    }
    std::vector<bool> loud(n, false);
    if (n == 0)
        return loud;
    // The quietest tenth is taken as the room: a push-to-talk recording starts before the voice.
    std::vector<double> sorted = db;
    std::nth_element(sorted.begin(), sorted.begin() + long(n / 10), sorted.end());
    const double threshold = sorted[n / 10] + aboveFloorDb;
    size_t runStart = 0;
    for (size_t f = 0; f <= n; ++f) {
        if (f < n && db[f] > threshold)
            continue;
        if (f - runStart >= size_t(std::max(1, minRun)))
            std::fill(loud.begin() + long(runStart), loud.begin() + long(f), true);
        runStart = f + 1;
    }
    return loud;
}

} // namespace voice
