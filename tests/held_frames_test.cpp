// The window of held frames on plain times: which decoded frame answers which request.
#include <optional>
#include <vector>

#include <gtest/gtest.h>

#include "platform/held_frames.h"

namespace autoframe {
namespace {

// Feeds decoded frames (numbered in decode order) to the window as the frame source does, for
// each request in turn, and returns the number of the answer to each, or -1 for none.
std::vector<int> answers(const std::vector<double>& decoded, const std::vector<double>& requests,
                         double tolerance) {
    HeldFrames<int> held;
    std::size_t next = 0;
    std::vector<int> got;
    for (const double seconds : requests) {
        const double earliest = seconds - tolerance;
        held.prune(seconds, earliest);
        while (held.needsMore(seconds) && next < decoded.size()) {
            const double at = held.place(decoded[next], 0.04);
            if (held.wants(at, earliest)) held.add(int(next), at, seconds);
            ++next;
        }
        const auto* nearest = held.nearest(seconds, tolerance);
        got.push_back(nearest ? nearest->picture : -1);
    }
    return got;
}

std::vector<double> every(double step, int count, double from = 0.0) {
    std::vector<double> times;
    for (int n = 0; n < count; ++n) times.push_back(from + n * step);
    return times;
}

TEST(HeldFrames, EachRequestGetsTheNearestFrameWithinTheTolerance) {
    std::vector<double> gap = every(0.04, 50);  // 0 to 1.96 s, then from 2.52 s
    for (const double t : every(0.12, 10, 2.52)) gap.push_back(t);
    struct Case {
        const char* name;
        std::vector<double> decoded;
        std::vector<double> requests;
        double tolerance;
        std::vector<int> expected;
    };
    const Case cases[] = {
        {"nearest on either side, repeats, steps inside a frame", every(0.04, 100),
         {0.0, 0.013, 0.51, 0.51, 0.53, 2.0, 3.96}, 0.12, {0, 0, 13, 13, 13, 50, 99}},
        {"the earlier of two equally near", {1.0, 1.5}, {1.25}, 0.25, {0}},
        {"nothing within the tolerance", {0.0, 1.0}, {0.5, 1.0}, 0.12, {-1, 1}},
        {"a gap: before it, inside it, across it", gap, {1.99, 2.2, 2.42, 2.56}, 0.12,
         {49, -1, 50, 50}},
        {"before the first frame and past the last", every(0.04, 25), {-0.2, -0.1, 1.05, 1.1}, 0.12,
         {-1, 0, 24, -1}},
        {"frames out of order or repeated are passed over", {0.0, 0.04, 0.04, 0.02, 0.08},
         {0.0, 0.07}, 0.12, {0, 4}},
        {"of the frames before a request only the last is kept", every(0.5, 5), {1.9, 1.9}, 0.5,
         {4, 4}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(answers(c.decoded, c.requests, c.tolerance), c.expected);
    }
}

TEST(HeldFrames, PruningKeepsTheLastFrameBeforeTheRequestAndEverythingAfter) {
    HeldFrames<int> held;
    for (int n = 0; n < 6; ++n) held.add(n, 0.1 * n, 0.0);
    held.prune(0.32, 0.2);  // 0.0 and 0.1 before the window; of 0.2 and 0.3 only 0.3 counts
    EXPECT_EQ(held.nearest(0.32, 0.12)->picture, 3);
    EXPECT_FALSE(held.needsMore(0.5));
    EXPECT_TRUE(held.needsMore(0.51));
    held.prune(0.45, 0.33);
    EXPECT_EQ(held.nearest(0.33, 0.0), nullptr);
    EXPECT_EQ(held.nearest(0.45, 0.12)->picture, 4);
    held.clear();
    EXPECT_TRUE(held.empty());
    EXPECT_TRUE(held.needsMore(0.0));
}

TEST(HeldFrames, FramesWithoutTimesFollowTheOneBefore) {
    struct Case {
        const char* name;
        std::vector<std::optional<double>> shown;
        std::vector<double> durations;
        std::vector<double> placed;
        double end;
    };
    const Case cases[] = {
        {"all timed", {0.0, 0.5, 1.0}, {0.5, 0.5, 0.5}, {0.0, 0.5, 1.0}, 1.5},
        {"first without a time starts at 0", {std::nullopt, 0.25}, {0.25, 0.25}, {0.0, 0.25}, 0.5},
        {"untimed after timed", {2.0, std::nullopt, std::nullopt}, {0.5, 0.25, 0.25},
         {2.0, 2.5, 2.75}, 3.0},
        {"a late frame does not move the end back", {1.0, 0.25}, {0.5, 0.25}, {1.0, 0.25}, 1.5},
        {"no duration known", {0.0, 1.0}, {0.0, 0.0}, {0.0, 1.0}, 1.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HeldFrames<int> held;
        EXPECT_FALSE(held.end());
        std::vector<double> placed;
        for (std::size_t i = 0; i < c.shown.size(); ++i) placed.push_back(held.place(c.shown[i], c.durations[i]));
        EXPECT_EQ(placed, c.placed);
        EXPECT_EQ(held.end(), c.end);
    }
}

}  // namespace
}  // namespace autoframe
