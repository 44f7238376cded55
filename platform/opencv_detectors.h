#pragma once

#include <memory>

#include "platform/detectors.h"

namespace autoframe {

// Faces and whole human bodies with OpenCV's dnn module, on the models built into the binary.
// Models load at the first detection; a load failure is that detection's error.
std::unique_ptr<Detectors> makeOpenCvDetectors();

}  // namespace autoframe
