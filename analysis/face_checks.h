#pragma once

#include <span>
#include <vector>

#include "analysis/network_boxes.h"
#include "core/pixel_box.h"

// Which of the face network's candidates are kept as faces, beyond its plain score threshold.
// Plain functions over candidates in frame pixels.
namespace autoframe {

// The score a face needs, by its height in frame pixels. The network scores a large real face
// high (0.9 and more), while its large false boxes (clock faces, a glass, the dark behind a head)
// score in the middle: faces up to smallHeight tall need smallScore, faces at least largeHeight
// tall need largeScore, and between the two the score needed rises linearly in log(height).
struct SizeAwareThreshold {
    float smallScore = 0.5f;
    double smallHeight = 30.0;
    float largeScore = 0.75f;
    double largeHeight = 60.0;
};

// The score a face of this height needs.
float scoreNeeded(double height, const SizeAwareThreshold& threshold);

// The boxes of the candidates that score at least what their height needs, in their order.
std::vector<PixelBox> confidentFaces(std::span<const FaceCandidate> candidates,
                                     const SizeAwareThreshold& threshold);

}  // namespace autoframe
