#pragma once

#include "core/error.h"
#include "core/frame.h"

namespace autoframe {

// Frames of one video, requested by time in increasing order.
class FrameSource {
public:
    static constexpr double toleranceSeconds = 0.12;
    static constexpr int maximumSide = 960;

    virtual ~FrameSource() = default;

    // The decoded frame nearest to `seconds` among those within `toleranceSeconds` either side,
    // with its own time. When none lies that near, the frame on screen at `seconds` (shown at or
    // before it, and the next frame shown after it, or the video lasting past it), with `seconds`
    // as its time: in a video whose frames are sparse, the picture a viewer sees then. Frames
    // come upright, scaled to fit within maximumSide x maximumSide (never enlarged).
    // Any problem with the file (missing, not a video, undecodable) is reported here.
    virtual Expected<TimedFrame> frameAt(double seconds) = 0;

    // How long the video lasts as its file states it, in seconds; NaN when the file does not
    // say. Problems with the file are reported as by frameAt.
    virtual Expected<double> statedDurationSeconds() = 0;
};

}  // namespace autoframe
