#pragma once

#include <cstdint>
#include <vector>

#include "driver/command_line.h"
#include "driver/schedule.h"
#include "platform/detectors.h"
#include "platform/frame_source.h"
#include "results/records.h"

namespace autoframe {

// The clamp of a frame's actual time into [from, to]; a NaN gives `to`.
double clampTime(double actual, double from, double to);

// Walks the schedule: one Sample per requested time, or the first error.
Expected<std::vector<Sample>> sampleVideo(const RunParameters& parameters, FrameSource& source,
                                          Detectors& detectors);

}  // namespace autoframe
