// Which face candidates are kept: the score needed by the face's height.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "analysis/face_checks.h"

namespace autoframe {
namespace {

constexpr SizeAwareThreshold threshold{
    .smallScore = 0.5f, .smallHeight = 20.0, .largeScore = 0.9f, .largeHeight = 80.0};

TEST(ScoreNeeded, RisesWithTheLogOfTheHeightBetweenSmallAndLarge) {
    struct Case {
        const char* name;
        double height;
        float expected;
    };
    const Case cases[] = {
        {"tiny", 5.0, 0.5f},
        {"at the small height", 20.0, 0.5f},
        // 40 is halfway from 20 to 80 in log(height): halfway from 0.5 to 0.9.
        {"halfway in log(height)", 40.0, 0.7f},
        // 20 * 80^(1/4) / 20^(1/4) = 20 * 4^(1/4): a quarter of the way.
        {"a quarter of the way", 20.0 * std::sqrt(2.0), 0.6f},
        {"at the large height", 80.0, 0.9f},
        {"huge", 5000.0, 0.9f},
        {"an empty box needs the small score", 0.0, 0.5f},
        {"a non-number needs the small score", std::nan(""), 0.5f},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_NEAR(scoreNeeded(c.height, threshold), c.expected, 1e-6);
    }
}

TEST(ScoreNeeded, IsTheLargeScoreWhenBothHeightsAreEqual) {
    const SizeAwareThreshold step{
        .smallScore = 0.5f, .smallHeight = 50.0, .largeScore = 0.8f, .largeHeight = 50.0};
    EXPECT_EQ(scoreNeeded(49.9, step), 0.5f);
    EXPECT_EQ(scoreNeeded(50.0, step), 0.5f);
    EXPECT_EQ(scoreNeeded(50.1, step), 0.8f);
}

FrameFace face(double height, float score) {
    return {{10.0, 20.0, height * 0.8, height, score}, {}};
}

TEST(ConfidentFaces, KeepsTheFacesScoringWhatTheirHeightNeedsInOrder) {
    struct Case {
        const char* name;
        std::vector<FrameFace> candidates;
        std::vector<float> keptScores;  // of the boxes kept, in order
    };
    const Case cases[] = {
        {"none", {}, {}},
        {"a small face at the small score stays, just below goes",
         {face(15, 0.5f), face(15, 0.49f)},
         {0.5f}},
        {"a large face needs the large score",
         {face(120, 0.89f), face(120, 0.9f), face(120, 0.95f)},
         {0.9f, 0.95f}},
        {"the same score keeps a small face and drops a large one",
         {face(300, 0.75f), face(18, 0.75f), face(60, 0.75f), face(30, 0.75f)},
         {0.75f, 0.75f}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<float> scores;
        for (const PixelBox& box : confidentFaces(c.candidates, threshold)) {
            scores.push_back(box.confidence);
        }
        EXPECT_EQ(scores, c.keptScores);
    }
}

TEST(ConfidentFaces, KeepsTheBoxAsFound) {
    const FrameFace found{{12.5, -3.0, 40.0, 50.0, 0.95f}, {}};
    const std::vector<PixelBox> kept = confidentFaces(std::span(&found, 1), threshold);
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(kept[0].left, 12.5);
    EXPECT_EQ(kept[0].top, -3.0);
    EXPECT_EQ(kept[0].width, 40.0);
    EXPECT_EQ(kept[0].height, 50.0);
    EXPECT_EQ(kept[0].confidence, 0.95f);
}

// Second looks: faces at least 40 tall scoring under 0.8, at most two a frame; past those the
// score needed by size decides (0.5 up to 20 tall, 0.9 from 80).
constexpr SecondLook look{.minHeight = 40.0,
                          .sureScore = 0.8f,
                          .faceHeight = 100.0,
                          .context = 2.0,
                          .score = 0.6f,
                          .most = 2};

PixelBox box(double height, float score) { return {100.0, 50.0, height * 0.8, height, score}; }

TEST(ReviewFaces, LooksAgainAtLargeUnsureFacesWhileTheFramesLooksLast) {
    using enum Review;
    struct Case {
        const char* name;
        std::vector<PixelBox> faces;  // best first
        std::vector<Review> expected;
    };
    const Case cases[] = {
        {"none", {}, {}},
        {"small faces stay whatever their score", {box(39.9, 0.55f), box(12, 0.5f)}, {keep, keep}},
        {"sure faces stay whatever their size", {box(400, 0.8f), box(40, 0.95f)}, {keep, keep}},
        {"at the minimum height and under the sure score: a second look",
         {box(40, 0.79f), box(300, 0.6f)},
         {lookAgain, lookAgain}},
        // Past the first two unsure faces: 80 tall needs 0.9 by size, 40 tall needs 0.7.
        {"past the frame's looks the score needed by size decides",
         {box(400, 0.9f), box(50, 0.7f), box(60, 0.65f), box(80, 0.75f), box(40, 0.72f),
          box(40, 0.68f), box(20, 0.6f)},
         {keep, lookAgain, lookAgain, drop, keep, drop, keep}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(reviewFaces(c.faces, look, threshold), c.expected);
    }
}

TEST(LookCrop, CentresASquareOfContextTimesTheLargerSideShowingTheFaceAtItsHeight) {
    struct Case {
        const char* name;
        PixelBox face;
        LookCrop expected;
    };
    const Case cases[] = {
        // Taller than wide: side 2 x 50; scale 100 / 50.
        {"tall face", {10, 20, 40, 50, 0.6f}, {-20, -5, 100, 2.0, 200}},
        // Wider than tall: side 2 x 200 from the width; scale 100 / 125.
        {"wide face", {300, 100, 200, 125, 0.6f}, {200, -37.5, 400, 0.8, 320}},
        {"a large face is scaled down", {0, 0, 400, 500, 0.6f}, {-300, -250, 1000, 0.2, 200}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const LookCrop crop = lookCrop(c.face, look);
        EXPECT_DOUBLE_EQ(crop.left, c.expected.left);
        EXPECT_DOUBLE_EQ(crop.top, c.expected.top);
        EXPECT_DOUBLE_EQ(crop.side, c.expected.side);
        EXPECT_DOUBLE_EQ(crop.scale, c.expected.scale);
        EXPECT_EQ(crop.size, c.expected.size);
    }
}

TEST(FoundAgain, NeedsAFaceOverlappingItInTheCropScoringEnough) {
    // The face 40 x 50 at (10, 20); its crop from (-20, -5) at scale 2 shows it at (60, 50),
    // 80 x 100.
    const PixelBox face{10, 20, 40, 50, 0.6f};
    const LookCrop crop = lookCrop(face, look);
    struct Case {
        const char* name;
        std::vector<FrameFace> inCrop;
        bool expected;
    };
    const Case cases[] = {
        {"nothing found", {}, false},
        {"the same place, scoring enough", {{{60, 50, 80, 100, 0.6f}, {}}}, true},
        {"the same place, scoring too little", {{{60, 50, 80, 100, 0.59f}, {}}}, false},
        // Shifted by 20 of 80: IoU 60 x 100 / (2 x 8000 - 6000) = 0.6.
        {"overlapping by IoU 0.6", {{{80, 50, 80, 100, 0.9f}, {}}}, true},
        // Shifted by 40 of 80: IoU 40 x 100 / (2 x 8000 - 4000) = 1/3.
        {"overlapping by IoU 1/3", {{{100, 50, 80, 100, 0.9f}, {}}}, false},
        {"where the face is in the frame, not in the crop", {{{10, 20, 40, 50, 0.9f}, {}}}, false},
        {"one of several",
         {{{0, 0, 30, 30, 0.95f}, {}},
          {{62, 48, 78, 104, 0.7f}, {}},
          {{60, 50, 80, 100, 0.2f}, {}}},
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(foundAgain(face, crop, c.inCrop, look), c.expected);
    }
}

}  // namespace
}  // namespace autoframe
