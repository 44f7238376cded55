#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/error.h"
#include "core/frame.h"
#include "planning/crop_settings.h"
#include "results/records.h"

namespace autoframe {

// A crop window in source pixels, origin at the top-left corner; always inside the picture.
struct CropWindow {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    friend bool operator==(const CropWindow&, const CropWindow&) = default;
};

enum class CameraMode {
    still,   // one window for the whole shot (also a shot with nobody in it)
    follow,  // a smooth path after the subjects
};

std::string_view cameraModeName(CameraMode mode);

struct PlannedFrame {
    double time = 0;  // the output frame's time, as asked for
    CropWindow window;
    friend bool operator==(const PlannedFrame&, const PlannedFrame&) = default;
};

// A shot spans [start, end): it starts at the first sample after a cut (the first shot at the
// earliest sample or frame), and ends where the next starts (the last at the latest sample or
// frame).
struct PlannedShot {
    double start = 0;
    double end = 0;
    CameraMode mode = CameraMode::still;
    friend bool operator==(const PlannedShot&, const PlannedShot&) = default;
};

struct CropPlan {
    std::vector<PlannedFrame> frames;  // one per requested frame time, in the same order
    std::vector<PlannedShot> shots;    // in time order
};

// The window's size for a target shape on a source: the source's full height for a narrower
// target, its full width for a wider one, the other side the nearest even number of pixels to
// the exact ratio (607.5 -> 608 for 9:16 of 1080), never more than the source's side.
CropWindow windowSize(Size source, Size aspect);

// Plans one crop window per output frame from the helper's samples of the same video (times on
// the same timeline as `frameTimes`). The samples' times and the frame times must each be finite
// and never decrease; sizes and aspect sides must be positive. The window jumps only at a shot
// boundary, the first sample whose scene score marks a cut: as the cut itself lies somewhere
// after the sample before, frames between the two keep the earlier shot's window.
Expected<CropPlan> planCrop(const std::vector<Sample>& samples, Size source, Size aspect,
                            const std::vector<double>& frameTimes,
                            const CropSettings& settings = {});

// The plan as JSON: {"frames":[{"time","x","y","width","height"}…],"shots":[{"start","end",
// "mode"}…]}, numbers in their shortest round-trip form.
std::string encodePlan(const CropPlan& plan);

}  // namespace autoframe
