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

FaceCandidate face(double height, float score) {
    return {{10.0, 20.0, height * 0.8, height, score}, {}};
}

TEST(ConfidentFaces, KeepsTheFacesScoringWhatTheirHeightNeedsInOrder) {
    struct Case {
        const char* name;
        std::vector<FaceCandidate> candidates;
        std::vector<float> keptScores;  // of the boxes kept, in order
    };
    const Case cases[] = {
        {"none", {}, {}},
        {"a small face at the small score stays, just below goes",
         {face(15, 0.5f), face(15, 0.49f)}, {0.5f}},
        {"a large face needs the large score",
         {face(120, 0.89f), face(120, 0.9f), face(120, 0.95f)}, {0.9f, 0.95f}},
        {"the same score keeps a small face and drops a large one",
         {face(300, 0.75f), face(18, 0.75f), face(60, 0.75f), face(30, 0.75f)}, {0.75f, 0.75f}},
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
    const FaceCandidate found{{12.5, -3.0, 40.0, 50.0, 0.95f}, {}};
    const std::vector<PixelBox> kept = confidentFaces(std::span(&found, 1), threshold);
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(kept[0].left, 12.5);
    EXPECT_EQ(kept[0].top, -3.0);
    EXPECT_EQ(kept[0].width, 40.0);
    EXPECT_EQ(kept[0].height, 50.0);
    EXPECT_EQ(kept[0].confidence, 0.95f);
}

}  // namespace
}  // namespace autoframe
