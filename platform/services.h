#pragma once

#include <memory>
#include <string>

#include "platform/detectors.h"
#include "platform/frame_source.h"

namespace autoframe {

// What one run gets from the platform besides the process itself. Neither call fails or does
// expensive work: a frame source reports file problems at its first request, detectors report
// model problems at their first detection.
class Services {
public:
    virtual ~Services() = default;
    virtual std::unique_ptr<FrameSource> openFrameSource(const std::string& path) = 0;
    virtual std::unique_ptr<Detectors> makeDetectors() = 0;
};

}  // namespace autoframe
