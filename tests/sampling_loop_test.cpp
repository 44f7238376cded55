#include <limits>

#include <gtest/gtest.h>

#include "driver/sampling_loop.h"
#include "tests/support.h"

namespace autoframe {
namespace {

using testing::FakeDetectors;
using testing::FakeFrameSource;
using testing::grayFrame;

Expected<std::vector<Sample>> run(FakeFrameSource& source, FakeDetectors& detectors, double from,
                                  double to, double fps) {
    const RunParameters parameters{"video.mp4", from, to, fps};
    return sampleVideo(parameters, Schedule::of(parameters), source, detectors,
                       testing::FakeGrayRenderer{});
}

TEST(SamplingLoop, RequestsEachTimeAsThePreviousPlusTheStep) {
    struct Case {
        const char* name;
        double from, to, fps;
        std::vector<double> requested;
    };
    const Case cases[] = {
        {"quarter steps", 0, 1, 4, {0, 0.25, 0.5, 0.75}},
        {"tenth steps accumulate rounding",
         0,
         1,
         10,
         {0, 0.1, 0.2, 0.30000000000000004, 0.4, 0.5, 0.6, 0.7, 0.7999999999999999,
          0.8999999999999999}},
        {"repeated addition, not from + k * step",
         0,
         2.001,
         3,
         {0, 0.3333333333333333, 0.6666666666666666, 1.0, 1.3333333333333333, 1.6666666666666665,
          1.9999999999999998}},
        {"span of a millisecond or less is empty", 1, 1.0005, 4, {}},
        {"negative times pass unchanged", -1, 0, 2, {-1, -0.5}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeFrameSource source;
        FakeDetectors detectors;
        const auto samples = run(source, detectors, c.from, c.to, c.fps);
        ASSERT_TRUE(samples) << samples.error().description;
        EXPECT_EQ(source.requests, c.requested);
        EXPECT_EQ(samples->size(), c.requested.size());
        EXPECT_EQ(detectors.calls, int(c.requested.size()));
    }
}

TEST(SamplingLoop, ClampsActualTimesIntoTheSpan) {
    constexpr double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        double actual, expected;
    };
    const Case cases[] = {{0.9, 1.0}, {1.0, 1.0}, {1.5, 1.5}, {3.0, 3.0},
                          {3.1, 3.0}, {nan, 3.0}, {0.0, 1.0}, {-1e300, 1.0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.actual);
        EXPECT_EQ(clampTime(c.actual, 1.0, 3.0), c.expected);
    }
    FakeFrameSource source;
    FakeDetectors detectors;
    source.replies.push_back(TimedFrame{grayFrame(4, 4, 0), 0.88});
    source.replies.push_back(TimedFrame{grayFrame(4, 4, 0), nan});
    const auto samples = run(source, detectors, 1.0, 3.0, 1);
    ASSERT_TRUE(samples);
    ASSERT_EQ(samples->size(), 2u);
    EXPECT_EQ((*samples)[0].timeSeconds(), 1.0);
    EXPECT_EQ((*samples)[1].timeSeconds(), 3.0);
}

TEST(SamplingLoop, ScoresEachFrameAgainstThePreviousOne) {
    FakeFrameSource source;
    FakeDetectors detectors;
    for (std::uint8_t level : {255, 255, 0}) {
        source.replies.push_back(TimedFrame{grayFrame(48, 28, level), 0});
    }
    Detections found;
    found.faces.push_back(PixelBox{12, 7, 24, 14, 0.5f});
    found.humans.push_back(PixelBox{0, 0, 48, 28, 0.25f});
    detectors.replies.push_back(found);
    const auto samples = run(source, detectors, 0, 3, 1);
    ASSERT_TRUE(samples);
    ASSERT_EQ(samples->size(), 3u);
    EXPECT_EQ((*samples)[0].sceneScore(), 0.0);  // no previous frame
    EXPECT_EQ((*samples)[1].sceneScore(), 0.0);
    EXPECT_EQ((*samples)[2].sceneScore(), 1.0);
    EXPECT_EQ((*samples)[0].faces(), std::vector{Observation(0.25, 0.25, 0.5, 0.5, 0.5)});
    EXPECT_EQ((*samples)[0].humans(), std::vector{Observation(0, 0, 1, 1, 0.25)});
    EXPECT_TRUE((*samples)[1].faces().empty());
}

TEST(SamplingLoop, APictureAnsweringRequestsInARowIsDetectedOnce) {
    // Pictures by number; 0 is a picture the source cannot tell apart, so it is always looked at.
    const std::uint64_t pictures[] = {1, 1, 1, 2, 1, 0, 0, 3, 3};
    const int detectedAt[] = {0, 3, 4, 5, 6, 7};  // the requests the detectors see
    FakeFrameSource source;
    FakeDetectors detectors;
    for (std::size_t i = 0; i < std::size(pictures); ++i) {
        source.replies.push_back(TimedFrame{grayFrame(4, 4, 0), double(i), pictures[i]});
    }
    for (const int request : detectedAt) {
        Detections found;  // a face whose confidence tells which detection gave it
        found.faces.push_back(PixelBox{0, 0, 4, 4, float(request) / 10.0f});
        detectors.replies.push_back(found);
    }
    const auto samples = run(source, detectors, 0, 9, 1);
    ASSERT_TRUE(samples) << samples.error().description;
    ASSERT_EQ(samples->size(), std::size(pictures));
    EXPECT_EQ(detectors.calls, int(std::size(detectedAt)));
    const int givenBy[] = {0, 0, 0, 3, 4, 5, 6, 7, 7};
    for (std::size_t i = 0; i < samples->size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ((*samples)[i].timeSeconds(), double(i));
        ASSERT_EQ((*samples)[i].faces().size(), 1u);
        EXPECT_EQ((*samples)[i].faces()[0].confidence(), double(float(givenBy[i]) / 10.0f));
    }
}

TEST(SamplingLoop, FirstErrorEndsTheRun) {
    const Error broken{"Test", 7, "frame 3 is broken"};
    {
        SCOPED_TRACE("frame source fails at the third request");
        FakeFrameSource source;
        FakeDetectors detectors;
        source.replies.push_back(TimedFrame{grayFrame(4, 4, 0), 0});
        source.replies.push_back(TimedFrame{grayFrame(4, 4, 0), 1});
        source.replies.push_back(std::unexpected(broken));
        const auto samples = run(source, detectors, 0, 10, 1);
        ASSERT_FALSE(samples);
        EXPECT_EQ(samples.error().description, "frame 3 is broken");
        EXPECT_EQ(source.requests.size(), 3u);
        EXPECT_EQ(detectors.calls, 2);
    }
    {
        SCOPED_TRACE("detectors fail at the second frame");
        FakeFrameSource source;
        FakeDetectors detectors;
        detectors.replies.push_back(Detections{});
        detectors.replies.push_back(std::unexpected(broken));
        const auto samples = run(source, detectors, 0, 10, 1);
        ASSERT_FALSE(samples);
        EXPECT_EQ(samples.error().description, "frame 3 is broken");
        EXPECT_EQ(source.requests.size(), 2u);
    }
}

TEST(SamplingLoop, RefusesSchedulesWithoutAnEndOfTheirOwn) {
    struct Case {
        const char* name;
        double from, to, fps;
        const char* description;
    };
    const Case cases[] = {
        {"rate so high the schedule is endless", 0, 1, 1e300,
         "the span from 0 s to 1 s at 1e+300 frames per second asks for more than 1000000 frames"},
        {"a long span at a modest rate", 0, 1e7, 1,
         "the span from 0 s to 1e+07 s at 1 frames per second asks for more than 1000000 "
         "frames"},
        {"step too small to move a large time", 1e17, 1e17 + 1e3, 1000,
         "the sampling step 0.001 s no longer advances the requested time at 1e+17 s"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeFrameSource source;
        FakeDetectors detectors;
        const auto samples = run(source, detectors, c.from, c.to, c.fps);
        ASSERT_FALSE(samples);
        EXPECT_EQ(samples.error().description, c.description);
        EXPECT_LE(source.requests.size(), 1u);
    }
}

}  // namespace
}  // namespace autoframe
