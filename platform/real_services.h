#pragma once

#include "core/services.h"

namespace autoframe {

// FFmpeg frame source, ONNX Runtime detectors and OpenCV gray rendering.
class RealServices final : public Services {
public:
    std::unique_ptr<FrameSource> openFrameSource(const std::string& path) override;
    std::unique_ptr<Detectors> makeDetectors() override;
    std::unique_ptr<GrayRenderer> makeGrayRenderer() override;
};

// FFmpeg and OpenCV log to stderr by default; stderr belongs to the failure line.
void silenceLibraries();

}  // namespace autoframe
