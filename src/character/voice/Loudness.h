#pragma once
#include <cmath>
#include <cstddef>
#include <vector>

namespace voice {

// Sound is judged in 10 ms frames of 16 kHz samples, by the level of each frame in dB.
constexpr size_t FrameSamples = 160;
inline double FrameLevelDb(double sumOfSquares)
{
    return 10 * std::log10(sumOfSquares / FrameSamples + 1);
}

// Which 10 ms frames of a 16 kHz recording hold speech, by energy over the recording's own noise
// floor. Runs shorter than `minRun` frames are clicks and left out.
std::vector<bool> LoudFrames(const std::vector<short>& samples, double aboveFloorDb = 12, int minRun = 5);

} // namespace voice
