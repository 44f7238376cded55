#pragma once

#include "core/error.h"
#include "core/frame.h"
#include "core/pixel_box.h"

namespace autoframe {

// Finds human faces and whole human bodies in one frame.
class Detectors {
public:
    virtual ~Detectors() = default;
    virtual Expected<Detections> detect(const Frame& frame) = 0;
};

}  // namespace autoframe
