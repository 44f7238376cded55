#include "analysis/detection.h"

#include <algorithm>
#include <cmath>

namespace autoframe {

Observation observation(const PixelBox& box, int frameWidth, int frameHeight) {
    const double width = frameWidth;
    const double height = frameHeight;
    const double left = std::min(box.left, box.left + box.width);
    const double top = std::min(box.top, box.top + box.height);
    return Observation(left / width, top / height, std::fabs(box.width) / width,
                       std::fabs(box.height) / height, static_cast<double>(box.confidence));
}

Expected<FrameObservations> detectRectangles(const Frame& frame, Detectors& detectors) {
    auto found = detectors.detect(frame);
    if (!found) return std::unexpected(std::move(found.error()));
    FrameObservations result;
    result.faces.reserve(found->faces.size());
    result.humans.reserve(found->humans.size());
    for (const PixelBox& box : found->faces) {
        result.faces.push_back(observation(box, frame.width, frame.height));
    }
    for (const PixelBox& box : found->humans) {
        result.humans.push_back(observation(box, frame.width, frame.height));
    }
    return result;
}

}  // namespace autoframe
