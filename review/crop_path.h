#pragma once

#include <vector>

#include "core/error.h"
#include "core/frame.h"
#include "planning/crop_plan.h"
#include "review/page.h"

namespace autoframe::review {

// A crop path to draw over a run, with the full upright size of the source it was planned on.
struct ReviewedPath {
    CropPlan plan;
    Size source;
};

// The full upright size of the source a crop path was planned on, inferred from its windows and
// the frames as decoded (the source fitted into the frame source's 960 x 960). A window narrower
// than the frame spans the source's full height, a wider one its full width (one of the same
// shape spans both); the other side follows from the decoded frame's shape. Refused, with the
// reason: a path without frames, windows of more than one size, a source that would not decode
// at `decoded` (give or take a pixel of rounding), and a window that reaches past the source.
Expected<Size> sourceSizeOf(const CropPlan& plan, Size decoded);

// The frame of the path nearest `seconds` (the earlier of two as near); none when it has none.
const PlannedFrame* nearestFrame(const std::vector<PlannedFrame>& frames, double seconds);

// A window in source pixels on a picture of `width` x `height` pixels showing the whole source.
PixelRect windowOnPicture(const CropWindow& window, Size source, int width, int height);

}  // namespace autoframe::review
