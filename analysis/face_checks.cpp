#include "analysis/face_checks.h"

#include <algorithm>
#include <cmath>

namespace autoframe {

float scoreNeeded(double height, const SizeAwareThreshold& threshold) {
    if (!(height > threshold.smallHeight)) return threshold.smallScore;
    if (height >= threshold.largeHeight) return threshold.largeScore;
    const double along = std::log(height / threshold.smallHeight) /
                         std::log(threshold.largeHeight / threshold.smallHeight);
    return float(threshold.smallScore + (threshold.largeScore - threshold.smallScore) * along);
}

std::vector<PixelBox> confidentFaces(std::span<const FrameFace> candidates,
                                     const SizeAwareThreshold& threshold) {
    std::vector<PixelBox> kept;
    kept.reserve(candidates.size());
    for (const FrameFace& face : candidates) {
        if (face.box.confidence >= scoreNeeded(face.box.height, threshold)) {
            kept.push_back(face.box);
        }
    }
    return kept;
}

std::vector<Review> reviewFaces(std::span<const PixelBox> faces, const SecondLook& look,
                                const SizeAwareThreshold& bySize) {
    std::vector<Review> reviews;
    reviews.reserve(faces.size());
    std::size_t looks = 0;
    for (const PixelBox& face : faces) {
        if (face.height < look.minHeight || face.confidence >= look.sureScore) {
            reviews.push_back(Review::keep);
        } else if (looks < look.most) {
            ++looks;
            reviews.push_back(Review::lookAgain);
        } else {
            reviews.push_back(face.confidence >= scoreNeeded(face.height, bySize) ? Review::keep
                                                                                  : Review::drop);
        }
    }
    return reviews;
}

LookCrop lookCrop(const PixelBox& face, const SecondLook& look) {
    const double side = look.context * std::max(face.width, face.height);
    const double scale = look.faceHeight / face.height;
    return {face.left + face.width / 2 - side / 2, face.top + face.height / 2 - side / 2, side,
            scale, std::max(1, int(std::lround(side * scale)))};
}

bool foundAgain(const PixelBox& face, const LookCrop& crop, std::span<const FrameFace> inCrop,
                const SecondLook& look) {
    const PixelBox there{(face.left - crop.left) * crop.scale, (face.top - crop.top) * crop.scale,
                         face.width * crop.scale, face.height * crop.scale, face.confidence};
    return std::any_of(inCrop.begin(), inCrop.end(), [&](const FrameFace& found) {
        return found.box.confidence >= look.score && overlap(found.box, there) >= 0.5;
    });
}

}  // namespace autoframe
