#include "platform/opencv_detectors.h"

namespace autoframe {
namespace {

// Placeholder until the detection models are wired in: refuses every frame.
class UnavailableDetectors final : public Detectors {
public:
    Expected<Detections> detect(const Frame&) override {
        return fail("AutoFramingDetection", 1, "detectors: not available in this build");
    }
};

}  // namespace

std::unique_ptr<Detectors> makeOpenCvDetectors() { return std::make_unique<UnavailableDetectors>(); }

}  // namespace autoframe
