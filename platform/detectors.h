#pragma once

#include <vector>

#include "platform/error.h"
#include "platform/frame.h"

namespace autoframe {

// One box as a detector reports it: pixels of the frame it was given, origin at the top-left
// corner, y growing downward.
struct PixelBox {
    double left = 0.0;
    double top = 0.0;
    double width = 0.0;
    double height = 0.0;
    float confidence = 0.0f;
};

struct Detections {
    std::vector<PixelBox> faces;   // in the detector's order
    std::vector<PixelBox> humans;  // in the detector's order
};

// Finds human faces and whole human bodies in one frame.
class Detectors {
public:
    virtual ~Detectors() = default;
    virtual Expected<Detections> detect(const Frame& frame) = 0;
};

}  // namespace autoframe
