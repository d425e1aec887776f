// A recording's own background, going on without a seam for as long as it is wanted.
#pragma once
#include <cstddef>
#include <vector>

namespace voice {

// A recording's own background, going on for as long as it is wanted: its quietest quarter second,
// played forwards and backwards in turn so there is no seam. Digital silence stays silent and a noisy
// room stays as noisy, so what follows a recording sounds like the room it was made in.
class RoomTone {
public:
    explicit RoomTone(const std::vector<short>& recording);
    void fill(short* out, size_t count);

private:
    std::vector<short> tone_;
    size_t at_ = 0;
};

} // namespace voice
