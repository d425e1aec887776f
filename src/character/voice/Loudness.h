#pragma once
#include <vector>

namespace voice {

// Which 10 ms frames of a 16 kHz recording hold speech, by energy over the recording's own noise
// floor. Runs shorter than `minRun` frames are clicks and left out.
std::vector<bool> LoudFrames(const std::vector<short>& samples, double aboveFloorDb = 12, int minRun = 5);

} // namespace voice
