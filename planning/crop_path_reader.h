#pragma once

#include <string_view>

#include "core/error.h"
#include "planning/crop_plan.h"

namespace autoframe {

// A crop path as encodePlan writes it, read back strictly: one JSON object with exactly
// "frames" and "shots"; each frame exactly "time", "x", "y", "width" and "height", the window in
// whole pixels (corner from 0, sides from 1), times never decreasing; each shot exactly "start",
// "end" and "mode" ("still" or "follow"), ending no earlier than it starts and starting no
// earlier than the one before ends. The first fault is the error; its description says where it
// is (a byte offset from 0, and the frame or shot and member) and what was expected there.
Expected<CropPlan> decodePlan(std::string_view json);

}  // namespace autoframe
