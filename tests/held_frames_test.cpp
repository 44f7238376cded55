// The window of held frames on plain times: which decoded frame answers which request.
#include <optional>
#include <vector>

#include <gtest/gtest.h>

#include "timing/held_frames.h"

namespace autoframe {
namespace {

struct Answered {
    int frame;       // the number of the answer in decode order, -1 for none
    double seconds;  // the time it answers for
    friend bool operator==(const Answered&, const Answered&) = default;
    friend std::ostream& operator<<(std::ostream& out, const Answered& a) {
        return out << "frame " << a.frame << " for " << a.seconds << " s";
    }
};

// Feeds decoded frames (numbered in decode order, each lasting `duration`) to the window as the
// frame source does, for each request in turn, and returns the answer to each.
std::vector<Answered> answers(const std::vector<double>& decoded,
                              const std::vector<double>& requests, double tolerance,
                              double duration = 0.04) {
    HeldFrames<int> held;
    std::size_t next = 0;
    std::vector<Answered> got;
    for (const double seconds : requests) {
        const RequestWindow request{seconds, tolerance};
        held.prune(request);
        while (held.needsMore(seconds) && next < decoded.size()) {
            const double at = held.place(decoded[next], duration);
            if (held.wants(at)) held.add(int(next), at, request);
            ++next;
        }
        const auto answer = held.answer(request, next == decoded.size());
        got.push_back(answer ? Answered{answer->held->picture, answer->seconds} : Answered{-1, 0});
    }
    return got;
}

std::vector<double> every(double step, int count, double from = 0.0) {
    std::vector<double> times;
    for (int n = 0; n < count; ++n) times.push_back(from + n * step);
    return times;
}

TEST(HeldFrames, EachRequestGetsTheNearestFrameWithinTheToleranceWithItsOwnTime) {
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
        {"nearest on either side, repeats, steps inside a frame",
         every(0.04, 100),
         {0.0, 0.013, 0.51, 0.51, 0.53, 2.0, 3.96},
         0.12,
         {0, 0, 13, 13, 13, 50, 99}},
        {"the earlier of two equally near", {1.0, 1.5}, {1.25}, 0.25, {0}},
        {"a gap: before it, across it", gap, {1.99, 2.42, 2.56}, 0.12, {49, 50, 50}},
        {"before the first frame and past the last",
         every(0.04, 25),
         {-0.2, -0.1, 1.05, 1.1},
         0.12,
         {-1, 0, 24, -1}},
        {"frames out of order or repeated are passed over",
         {0.0, 0.04, 0.04, 0.02, 0.08},
         {0.0, 0.07},
         0.12,
         {0, 4}},
        {"of the frames before a request only the last is kept",
         every(0.5, 5),
         {1.9, 1.9},
         0.5,
         {4, 4}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<Answered> expected;
        for (const int frame : c.expected) {
            expected.push_back(frame < 0 ? Answered{-1, 0} : Answered{frame, c.decoded[frame]});
        }
        EXPECT_EQ(answers(c.decoded, c.requests, c.tolerance), expected);
    }
}

TEST(HeldFrames, WithNoFrameThatNearTheFrameOnScreenAnswersForTheRequestedTime) {
    // Sparse frames: 0, 0.4, 0.8 ... 2.0 s, each lasting 0.4 s (a stream that repeats frames).
    const std::vector<double> sparse = {0.0, 0.4, 0.8, 1.2, 1.6, 2.0};
    struct Case {
        const char* name;
        std::vector<double> decoded;
        double duration;
        std::vector<double> requests;
        std::vector<Answered> expected;
    };
    const Case cases[] = {
        {"between sparse frames, then near one again",
         sparse,
         0.4,
         {0.0, 0.25, 0.5, 0.7, 1.2},
         {{0, 0.0}, {0, 0.25}, {1, 0.4}, {2, 0.8}, {3, 1.2}}},
        {"four requests a frame at half-second frames",
         every(0.5, 3),
         0.5,
         {0.0, 0.25, 0.5, 0.75, 1.0, 1.25},
         {{0, 0.0}, {0, 0.25}, {1, 0.5}, {1, 0.75}, {2, 1.0}, {2, 1.25}}},
        {"the last frame lasts until the video ends",
         sparse,
         0.4,
         {2.3, 2.39, 2.4, 2.6},
         {{5, 2.3}, {5, 2.39}, {-1, 0}, {-1, 0}}},
        {"a gap of seconds in a variable-rate video",
         {0.0, 0.04, 0.08, 5.0, 5.04},
         0.04,
         {0.0, 1.0, 2.5, 4.5, 4.9, 5.03},
         {{0, 0.0}, {2, 1.0}, {2, 2.5}, {2, 4.5}, {3, 5.0}, {4, 5.04}}},
        {"before the first frame nothing is on screen",
         {1.0, 1.4},
         0.4,
         {0.5, 0.95, 1.2},
         {{-1, 0}, {0, 1.0}, {0, 1.2}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(answers(c.decoded, c.requests, 0.12, c.duration), c.expected);
    }
}

TEST(HeldFrames, TheLastFrameHeldIsOnScreenOnlyOnceNothingFollows) {
    // Until the video has ended, a frame after the request could still come within the tolerance.
    HeldFrames<int> held;
    const RequestWindow request{0.9, 0.12};
    held.add(0, held.place(0.5, 0.5), request);
    held.prune(request);
    EXPECT_TRUE(held.needsMore(0.9));
    EXPECT_FALSE(held.answer(request, false));
    EXPECT_EQ(held.answer(request, true)->seconds, 0.9);
    EXPECT_FALSE(held.answer(RequestWindow{1.0, 0.12}, true));  // the video ends at 1.0 s
}

TEST(HeldFrames, PruningKeepsTheLastFrameUpToTheRequestAndEverythingAfter) {
    HeldFrames<int> held;
    for (int n = 0; n < 6; ++n) held.add(n, 0.1 * n, RequestWindow{0.0, 0.12});
    held.prune(RequestWindow{0.32, 0.12});  // of 0.0 to 0.3 only 0.3 counts
    EXPECT_EQ(held.answer(RequestWindow{0.32, 0.12}, false)->held->picture, 3);
    EXPECT_FALSE(held.needsMore(0.5));
    EXPECT_TRUE(held.needsMore(0.51));
    held.prune(RequestWindow{0.45, 0.12});
    EXPECT_EQ(held.answer(RequestWindow{0.45, 0.12}, false)->held->picture, 4);
    EXPECT_EQ(held.answer(RequestWindow{0.45, 0.0}, false)->held->picture, 4);  // on screen
    EXPECT_NE(held.answer(RequestWindow{0.45, 0.0}, false)->held->number,
              held.answer(RequestWindow{0.5, 0.0}, false)->held->number);
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
        {"untimed after timed",
         {2.0, std::nullopt, std::nullopt},
         {0.5, 0.25, 0.25},
         {2.0, 2.5, 2.75},
         3.0},
        {"a late frame does not move the end back", {1.0, 0.25}, {0.5, 0.25}, {1.0, 0.25}, 1.5},
        {"no duration known", {0.0, 1.0}, {0.0, 0.0}, {0.0, 1.0}, 1.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HeldFrames<int> held;
        EXPECT_FALSE(held.end());
        std::vector<double> placed;
        for (std::size_t i = 0; i < c.shown.size(); ++i)
            placed.push_back(held.place(c.shown[i], c.durations[i]));
        EXPECT_EQ(placed, c.placed);
        EXPECT_EQ(held.end(), c.end);
    }
}

}  // namespace
}  // namespace autoframe
