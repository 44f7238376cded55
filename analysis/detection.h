#pragma once

#include <vector>

#include "core/detectors.h"
#include "core/error.h"
#include "core/frame.h"
#include "results/records.h"

namespace autoframe {

struct FrameObservations {
    std::vector<Observation> faces;
    std::vector<Observation> humans;
};

// A detector's pixel box (top-left origin) as fractions of a frame of the given size. A box given
// with a negative width or height is read by its edges; nothing is clamped.
Observation observation(const PixelBox& box, int frameWidth, int frameHeight);

// Runs both detectors over the frame and converts every box, in the detectors' order.
Expected<FrameObservations> detectRectangles(const Frame& frame, Detectors& detectors);

}  // namespace autoframe
