#pragma once

#include <cstdint>
#include <vector>

#include "driver/command_line.h"
#include "platform/detectors.h"
#include "platform/frame_source.h"
#include "results/records.h"

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
};

// The clamp of a frame's actual time into [from, to]; a NaN gives `to`.
double clampTime(double actual, double from, double to);

// Walks the schedule: one Sample per requested time, or the first error.
Expected<std::vector<Sample>> sampleVideo(const RunParameters& parameters, FrameSource& source,
                                          Detectors& detectors);

}  // namespace autoframe
