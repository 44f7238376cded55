#include "analysis/face_checks.h"

#include <cmath>

namespace autoframe {

float scoreNeeded(double height, const SizeAwareThreshold& threshold) {
    if (!(height > threshold.smallHeight)) return threshold.smallScore;
    if (height >= threshold.largeHeight) return threshold.largeScore;
    const double along = std::log(height / threshold.smallHeight) /
                         std::log(threshold.largeHeight / threshold.smallHeight);
    return float(threshold.smallScore + (threshold.largeScore - threshold.smallScore) * along);
}

std::vector<PixelBox> confidentFaces(std::span<const FaceCandidate> candidates,
                                     const SizeAwareThreshold& threshold) {
    std::vector<PixelBox> kept;
    kept.reserve(candidates.size());
    for (const FaceCandidate& face : candidates) {
        if (face.box.confidence >= scoreNeeded(face.box.height, threshold)) {
            kept.push_back(face.box);
        }
    }
    return kept;
}

}  // namespace autoframe
