#pragma once

// Timestamps of one stream and the seconds they stand for. Plain arithmetic: no FFmpeg here.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

namespace autoframe {

// A time the video does not give (the value FFmpeg uses for it).
inline constexpr std::int64_t noTimestamp = std::numeric_limits<std::int64_t>::min();

// Timestamps count units of num/den seconds; `origin` is 0 s, the first frame's time.
struct StreamClock {
    int num = 1;
    int den = 1;
    std::int64_t origin = 0;

    double secondsOf(std::int64_t timestamp) const { return lengthOf(timestamp - origin); }
    double lengthOf(std::int64_t units) const { return double(units) * num / den; }
    // The last timestamp at or before `seconds` (clamped far inside the range of the type).
    std::int64_t timestampOf(double seconds) const {
        const double units = std::floor(seconds * den / num);
        return origin + std::int64_t(std::clamp(units, -4e18, 4e18));
    }
};

}  // namespace autoframe
