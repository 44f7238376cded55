#pragma once

#include <vector>

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

}  // namespace autoframe
