#pragma once

#include "platform/services.h"

namespace autoframe {

// FFmpeg frame source and OpenCV detectors.
class RealServices final : public Services {
public:
    std::unique_ptr<FrameSource> openFrameSource(const std::string& path) override;
    std::unique_ptr<Detectors> makeDetectors() override;
};

// FFmpeg and OpenCV log to stderr by default; stderr belongs to the failure line.
void silenceLibraries();

}  // namespace autoframe
