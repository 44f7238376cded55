#include <gtest/gtest.h>

#include <cmath>

#include "planning/path_smoothing.h"

namespace autoframe {
namespace {

AxisGoal seen(double target, double low = -1e9, double high = 1e9) {
    return {target, low, high, true};
}
const AxisGoal nobody{};

// Direction changes, ignoring moves under a pixel from the last turning point (windows are
// placed on whole pixels).
int reversals(const std::vector<double>& xs) {
    int n = 0, direction = 0;
    double anchor = xs.empty() ? 0 : xs.front();
    for (double x : xs) {
        if (std::abs(x - anchor) < 1) continue;
        const int now = x > anchor ? 1 : -1;
        if (direction && now != direction) ++n;
        direction = now;
        anchor = x;
    }
    return n;
}

TEST(HoldTargets, MovesOnlyOutOfTheDeadZoneAndOnlyToItsEdge) {
    struct Case {
        const char* name;
        std::vector<AxisGoal> goals;
        std::vector<double> held;
    };
    const Case cases[] = {
        {"jitter inside the zone",
         {seen(100), seen(104), seen(97), seen(109.9)},
         {100, 100, 100, 100}},
        {"steps out and back", {seen(100), seen(125), seen(125), seen(100)}, {100, 115, 115, 110}},
        {"nobody: the position holds",
         {seen(100), nobody, seen(105), nobody},
         {100, 100, 100, 100}},
        {"starts at the first seen target", {nobody, seen(300.4), seen(305)}, {300, 300, 300}},
        {"kept where the subjects are inside", {seen(100), seen(104, 150, 200)}, {100, 150}},
        {"rounded to whole pixels", {seen(100), seen(120.7)}, {100, 111}},
        {"no one at all", {nobody, nobody}, {0, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(holdTargets(c.goals, 10), c.held);
    }
    EXPECT_EQ(holdTargets({nobody, seen(50)}, 10, 80.0), (std::vector<double>{80, 60}));
}

TEST(SmoothPositions, ConstantTargetsStayExactlyConstant) {
    const std::vector<AxisGoal> goals{seen(120), nobody, seen(120), seen(120), seen(120)};
    const std::vector<double> targets(5, 120);
    for (auto smoother : {Smoother::penalised, Smoother::polynomial}) {
        SCOPED_TRACE(int(smoother));
        for (double x : smoothPositions(goals, targets, 0.2, {.smoother = smoother})) {
            EXPECT_NEAR(x, 120, 1e-9);
        }
    }
}

TEST(SmoothPositions, FollowsASmoothTrackAndKeepsTheSubjectsInside) {
    // A subject easing from 0 to 600 px over 4 s, sampled 5 times a second, with alternating
    // detector jitter of 6 px; any window position within 60 px of it keeps it inside.
    std::vector<AxisGoal> goals;
    std::vector<double> targets;
    for (int i = 0; i <= 20; ++i) {
        const double truth = 300 - 300 * std::cos(M_PI * i / 20.0);
        goals.push_back(seen(truth + (i % 2 ? 6 : -6), truth - 60, truth + 60));
        targets.push_back(goals.back().target);
    }
    for (auto smoother : {Smoother::penalised, Smoother::polynomial}) {
        SCOPED_TRACE(int(smoother));
        const auto path = smoothPositions(goals, targets, 0.2, {.smoother = smoother});
        for (std::size_t i = 0; i < path.size(); ++i) {
            EXPECT_GE(path[i], goals[i].low - 0.5) << i;
            EXPECT_LE(path[i], goals[i].high + 0.5) << i;
        }
        EXPECT_EQ(reversals(path), 0);
    }
}

TEST(SmoothPositions, HeavierWeightsPullThePathBackInside) {
    // A stiff path cannot follow a sudden step; where the subjects demand it, it is made to.
    std::vector<AxisGoal> goals;
    std::vector<double> targets;
    for (int i = 0; i < 20; ++i) {
        const double x = i < 10 ? 0 : 400;
        goals.push_back(seen(x, x - 20, x + 20));
        targets.push_back(x);
    }
    const CropSettings stiff{.bendSeconds = 2.0};
    CropSettings unchecked = stiff;
    unchecked.constraintPasses = 0;
    const auto loose = smoothPositions(goals, targets, 0.2, unchecked);
    EXPECT_GT(std::abs(loose[9] - targets[9]), 20);  // the case needs the passes
    const auto held = smoothPositions(goals, targets, 0.2, stiff);
    int outside = 0;
    for (std::size_t i = 0; i < held.size(); ++i) {
        outside += held[i] < goals[i].low - 0.5 || held[i] > goals[i].high + 0.5;
    }
    EXPECT_EQ(outside, 0);
}

TEST(InterpolateMonotone, PassesThroughTheSamplesWithoutOvershoot) {
    const std::vector<double> times{0, 1, 2, 3, 4};
    struct Case {
        const char* name;
        std::vector<double> values;
    };
    const Case cases[] = {
        {"rising with a flat piece", {0, 10, 10, 50, 51}},
        {"peak", {0, 10, 30, 10, 0}},
        {"flat", {7, 7, 7, 7, 7}},
        {"sharp step", {0, 0, 100, 100, 100}},
    };
    std::vector<double> at;
    for (int i = -5; i <= 45; ++i) at.push_back(i / 10.0);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto out = interpolateMonotone(times, c.values, at);
        for (std::size_t q = 0; q < at.size(); ++q) {
            const double t = std::clamp(at[q], 0.0, 4.0);
            const std::size_t i = std::min<std::size_t>(std::size_t(t), 3);
            const double lo = std::min(c.values[i], c.values[i + 1]);
            const double hi = std::max(c.values[i], c.values[i + 1]);
            EXPECT_GE(out[q], lo - 1e-9) << at[q];
            EXPECT_LE(out[q], hi + 1e-9) << at[q];
            if (t == std::floor(t)) {
                EXPECT_DOUBLE_EQ(out[q], c.values[std::size_t(t)]) << at[q];
            }
        }
        EXPECT_EQ(reversals(out), reversals(c.values));
    }
    EXPECT_EQ(interpolateMonotone({2}, {5}, {0, 2, 9}), (std::vector<double>{5, 5, 5}));
    EXPECT_EQ(interpolateMonotone({}, {}, {1}), (std::vector<double>{0}));
}

TEST(LimitSpeed, IsTheMeanOfThePathLimitedForwardsAndBackwards) {
    const std::vector<double> times{0, 0.125, 0.25, 0.375, 0.5, 0.625, 0.75};
    struct Case {
        const char* name;
        std::vector<double> positions;
        std::vector<double> limited;
    };
    const Case cases[] = {
        {"slow enough: unchanged", {0, 5, 10, 15, 15, 15, 10}, {0, 5, 10, 15, 15, 15, 10}},
        // Forwards 0 0 0 10 20 30 40, backwards 70 80 90 100 100 100 100: their mean.
        {"a jump spread both ways", {0, 0, 0, 100, 100, 100, 100}, {35, 40, 45, 55, 60, 65, 70}},
        {"falling", {50, 50, 0, 0, 0, 0, 0}, {35, 30, 20, 15, 10, 5, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto p = c.positions;
        limitSpeed(p, times, 80);  // 10 per step
        EXPECT_EQ(p, c.limited);
    }
}

TEST(EaseMoves, MeansOverTheSpanWithTheEndsRepeated) {
    struct Case {
        const char* name;
        std::vector<double> positions;
        int span;
        std::vector<double> eased;
    };
    const Case cases[] = {
        {"a step spread over three", {0, 0, 0, 9, 9, 9}, 3, {0, 0, 3, 6, 9, 9}},
        {"an even span widened to five", {0, 0, 0, 10, 10, 10}, 4, {0, 2, 4, 6, 8, 10}},
        {"a flat stretch stays flat", {4, 4, 4, 4}, 3, {4, 4, 4, 4}},
        {"span 1: unchanged", {0, 5, 1}, 1, {0, 5, 1}},
        {"a span longer than the path", {0, 3}, 5, {1.2, 1.8}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto p = c.positions;
        easeMoves(p, c.span);
        ASSERT_EQ(p.size(), c.eased.size());
        for (std::size_t i = 0; i < p.size(); ++i) EXPECT_NEAR(p[i], c.eased[i], 1e-12) << i;
    }
}

}  // namespace
}  // namespace autoframe
