// Band-limited resampling of 16-bit mono sound, e.g. a synthesiser's rate to the recogniser's 16 kHz.
#pragma once
#include <vector>

namespace voice {

// Band-limited resampling of 16-bit mono sound (windowed sinc), e.g. espeak's 22050 Hz to 16 kHz.
std::vector<short> Resample(const std::vector<short>& in, int fromRate, int toRate);

} // namespace voice
