#pragma once

#include <cstdint>
#include <vector>

#include "core/detectors.h"
#include "core/frame_source.h"
#include "core/gray.h"
#include "driver/command_line.h"
#include "driver/schedule.h"
#include "results/records.h"

namespace autoframe {

// The clamp of a frame's actual time into [from, to]; a NaN gives `to`.
double clampTime(double actual, double from, double to);

// Walks the schedule: one Sample per requested time, or the first error. A decoded picture that
// answers several requests in a row is looked at once: detected and its signature made.
Expected<std::vector<Sample>> sampleVideo(const RunParameters& parameters, const Schedule& schedule,
                                          FrameSource& source, Detectors& detectors,
                                          const GrayRenderer& gray);

}  // namespace autoframe
