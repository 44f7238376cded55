#pragma once

// Every frame of a video and its time, for planning a crop window per frame.

#include <string>
#include <vector>

#include "core/error.h"

namespace autoframe::reframe {

struct FrameTimes {
    // The presentation time of every frame of the video stream the helper reads, in display
    // order, on the helper's clock: 0 s at the first frame.
    std::vector<double> seconds;
    // The upright picture (display turn and pixel shape applied) at full resolution: the space
    // of the crop windows.
    int uprightWidth = 0;
    int uprightHeight = 0;
    // Where the last frame ends.
    double endSeconds = 0.0;
    bool fromPackets = false;  // read from the container's packets, nothing decoded
};

enum class TimeReading {
    // The packets' own times where the container and codec make them the pictures' times (MP4,
    // MOV, Matroska, WebM with H.264, HEVC, AV1, VP9 and intra-only codecs), else decoding.
    packetsWhereExact,
    decoding,  // always decode every picture
};

Expected<FrameTimes> frameTimes(const std::string& path,
                                TimeReading reading = TimeReading::packetsWhereExact);

}  // namespace autoframe::reframe
