#include <gtest/gtest.h>

#include "planning/shot_boundaries.h"

namespace autoframe {
namespace {

TEST(ShotStarts, ACutIsAScoreStandingAboveItsCalmerNeighbour) {
    // Defaults: at least 0.08, and at least 7 times the calmer neighbour (counted as >= 0.01).
    struct Case {
        const char* name;
        std::vector<double> scores;
        std::vector<std::size_t> starts;
    };
    const Case cases[] = {
        {"no samples", {}, {}},
        {"one sample", {0.0}, {0}},
        {"still picture", {0, 0, 0, 0}, {0}},
        {"isolated cut between still shots", {0, 0, 0.2, 0, 0}, {0, 2}},
        {"just over 7 times the calmer neighbour", {0, 0.012, 0.085, 0.012, 0}, {0, 2}},
        {"just under 7 times the calmer neighbour", {0, 0.013, 0.09, 0.013, 0}, {0}},
        {"spike too low to be a cut", {0, 0, 0.07, 0, 0}, {0}},
        // A gliding picture: scores rise and fall smoothly, the peak is no cut.
        {"motion hump", {0, 0.04, 0.1, 0.19, 0.28, 0.2, 0.1, 0.04}, {0}},
        {"cut out of motion into a still shot", {0, 0.13, 0.17, 0.185, 0.008, 0.02}, {0, 3}},
        {"cut out of a still shot into motion", {0, 0, 0, 0.18, 0.14, 0.13}, {0, 3}},
        {"a spike with both neighbours busy", {0, 0.1, 0.3, 0.1, 0.05}, {0}},
        {"the last sample judged by the one before", {0, 0, 0, 0.3}, {0, 3}},
        // The first sample's 0 is no measurement: the second is judged by the third.
        {"second sample, calm after", {0, 0.3, 0.01}, {0, 1}},
        {"second sample, busy after", {0, 0.3, 0.2}, {0}},
        {"two cuts", {0, 0, 0.25, 0, 0, 0.4, 0.02}, {0, 2, 5}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(shotStarts(c.scores, CropSettings{}), c.starts);
    }
}

TEST(ShotStarts, FollowsTheSettings) {
    const std::vector<double> scores{0, 0.02, 0.12, 0.02, 0};
    EXPECT_EQ(shotStarts(scores, {.cutSpikeRatio = 5.9}), (std::vector<std::size_t>{0, 2}));
    EXPECT_EQ(shotStarts(scores, {.cutSpikeRatio = 6.5}), (std::vector<std::size_t>{0}));
    EXPECT_EQ(shotStarts(scores, {.cutMinScore = 0.13, .cutSpikeRatio = 2.0}),
              (std::vector<std::size_t>{0}));
    EXPECT_EQ(shotStarts({0, 0, 0.1, 0, 0}, {.cutNoiseFloor = 0.02}),
              (std::vector<std::size_t>{0}));
}

}  // namespace
}  // namespace autoframe
