#pragma once

// What reframing needs from the platform besides the helper's analysis: every frame's time and
// the rendering of the cropped video.

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "core/error.h"
#include "core/frame.h"
#include "planning/crop_plan.h"

namespace autoframe::reframe {

struct SourceFrames {
    // Every frame of the video stream the helper reads, in display order, on the helper's clock
    // (0 s at the first frame).
    std::vector<double> seconds;
    // The upright picture at full resolution (display turn and pixel shape applied): the space
    // of the crop windows.
    Size upright;
    // Where the last frame ends.
    double endSeconds = 0.0;
};

struct RenderJob {
    std::string input;
    std::string output;
    Size outputSize;                  // even sides, never larger than the windows
    std::vector<CropWindow> windows;  // one per source frame, in display order
    // Called as frames are done (may be empty).
    std::function<void(std::size_t framesDone)> progress;
};

class ReframeMedia {
public:
    virtual ~ReframeMedia() = default;
    virtual Expected<SourceFrames> sourceFrames(const std::string& video) = 0;
    // Writes the output whole, or leaves nothing at its path but what was there before.
    virtual Expected<void> render(const RenderJob& job) = 0;
};

}  // namespace autoframe::reframe
