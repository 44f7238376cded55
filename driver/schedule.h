#pragma once

#include <optional>

#include "core/error.h"
#include "driver/command_line.h"

namespace autoframe {

// A run may request at most this many frames; longer schedules are refused before the first.
inline constexpr double maximumScheduledFrames = 1'000'000;

// The requested times: from, then each time plus 1/fps, while below to - 0.001.
struct Schedule {
    double from;
    double step;
    double endBound;

    static Schedule of(const RunParameters& parameters);
    bool isEmpty() const { return !(from < endBound); }
    double estimatedCount() const { return (endBound - from) / step; }

    // The time requested after `requested` (itself a time of the schedule): none once the
    // schedule ends, an error when the step no longer advances the time.
    Expected<std::optional<double>> after(double requested) const;
};

}  // namespace autoframe
