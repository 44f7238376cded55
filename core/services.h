#pragma once

#include <memory>
#include <string>

#include "core/detectors.h"
#include "core/frame_source.h"
#include "core/gray.h"

namespace autoframe {

// What one run gets from the platform besides the process itself. No call fails or does
// expensive work: a frame source reports file problems at its first request, detectors report
// model problems at their first detection.
class Services {
public:
    virtual ~Services() = default;
    virtual std::unique_ptr<FrameSource> openFrameSource(const std::string& path) = 0;
    virtual std::unique_ptr<Detectors> makeDetectors() = 0;
    virtual std::unique_ptr<GrayRenderer> makeGrayRenderer() = 0;
};

}  // namespace autoframe
