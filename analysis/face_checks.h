#pragma once

#include <cstddef>
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
std::vector<PixelBox> confidentFaces(std::span<const FrameFace> candidates,
                                     const SizeAwareThreshold& threshold);

// A second look at a large face the network is unsure of: a square of the frame around it,
// resized so that the face is faceHeight pixels tall, goes through the network again on its own.
// Real faces come back at that size scoring about as high as before, most large false ones (a
// clock face, drawers, the dark behind a head) are not found again.
struct SecondLook {
    double minHeight = 40.0;   // frame pixels: smaller faces get none
    float sureScore = 0.8f;    // faces scoring this or more get none
    double faceHeight = 96.0;  // the face's height in the crop, pixels
    double context = 2.5;      // the crop's side, in the face box's larger side
    float score = 0.5f;        // what the face must score in the crop to stay
    std::size_t most = 8;      // second looks a frame; see reviewFaces
};

// What becomes of a face before its second look.
enum class Review { keep, lookAgain, drop };

// The review of each face, the faces best first: those needing a second look (at least
// look.minHeight tall, scoring under look.sureScore) get one while the frame's look.most last;
// past that they stay only if they score what their height needs by `bySize`. Others stay.
std::vector<Review> reviewFaces(std::span<const PixelBox> faces, const SecondLook& look,
                                const SizeAwareThreshold& bySize);

// Where a second look looks: the square of the frame from (left, top), `side` frame pixels a
// side (it may reach past the frame's edges, which read as black), scaled by `scale` into a
// picture of size x size pixels.
struct LookCrop {
    double left = 0.0;
    double top = 0.0;
    double side = 0.0;
    double scale = 1.0;
    int size = 0;
};

// The crop centred on the face that shows it look.faceHeight pixels tall.
LookCrop lookCrop(const PixelBox& face, const SecondLook& look);

// All the checks a face passes beyond the network's score threshold.
struct FaceChecks {
    SizeAwareThreshold bySize;  // for large faces that get no second look (SecondLook::most)
    SecondLook secondLook;
};

// Whether the faces the network found in the crop (its pixels) find the face (frame pixels)
// again: one overlapping it by IoU 0.5 or more and scoring at least look.score.
bool foundAgain(const PixelBox& face, const LookCrop& crop, std::span<const FrameFace> inCrop,
                const SecondLook& look);

}  // namespace autoframe
