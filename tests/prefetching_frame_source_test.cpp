#include <atomic>
#include <chrono>
#include <thread>

#include <gtest/gtest.h>

#include "driver/prefetching_frame_source.h"
#include "driver/sampling_loop.h"
#include "tests/support.h"

namespace autoframe {
namespace {

// Answers with a frame whose width encodes the time, or an error at one time; slow enough for
// overlapping use to show, and fails the test if it is ever entered twice at once.
class ScriptedSource final : public FrameSource {
public:
    explicit ScriptedSource(double failAt = -1) : failAt_(failAt) {}
    Expected<TimedFrame> frameAt(double seconds) override {
        EXPECT_FALSE(busy_.exchange(true)) << "entered twice at once";
        requests.push_back(seconds);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        busy_ = false;
        if (seconds == failAt_) return fail("Test", 1, "no frame at " + std::to_string(seconds));
        return TimedFrame{testing::grayFrame(int(seconds) + 1, 1, 0), seconds + 0.01};
    }
    Expected<double> statedDurationSeconds() override { return 4.0; }
    std::vector<double> requests;

private:
    double failAt_;
    std::atomic<bool> busy_{false};
};

TEST(PrefetchingFrameSource, AnswersEachRequestAsTheInnerSourceDoes) {
    struct Case {
        const char* name;
        double failAt;
        std::vector<double> asked;
        std::vector<double> innerRequests;
    };
    const Case cases[] = {
        {"whole schedule, nothing past its end", -1, {0, 1, 2, 3, 4}, {0, 1, 2, 3, 4}},
        {"an error stops the reading ahead", 2, {0, 1, 2}, {0, 1, 2}},
        {"a request off the schedule is answered directly", -1, {0, 3}, {0, 1, 3, 4}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedSource inner(c.failAt);
        {
            const Schedule schedule{0.0, 1.0, 4.5};
            PrefetchingFrameSource ahead(inner, nextOn(schedule));
            for (double t : c.asked) {
                const auto answer = ahead.frameAt(t);
                if (t == c.failAt) {
                    ASSERT_FALSE(answer);
                    EXPECT_EQ(answer.error().description, "no frame at " + std::to_string(t));
                } else {
                    ASSERT_TRUE(answer);
                    EXPECT_EQ(answer->seconds, t + 0.01);
                    EXPECT_EQ(answer->frame.width, int(t) + 1);
                }
            }
        }  // waits for any frame still being read ahead
        EXPECT_EQ(inner.requests, c.innerRequests);
    }
}

TEST(PrefetchingFrameSource, ReadsAheadExactlyTheTimesTheLoopRequests) {
    // Tenth steps accumulate rounding: reading ahead at from + k * step would miss every request.
    const RunParameters parameters{"clip.mp4", 0.0, 1.0, 10.0};
    ScriptedSource inner;
    testing::FakeDetectors detectors;
    const testing::FakeGrayRenderer gray;
    std::vector<double> asked;
    {
        const Schedule schedule = Schedule::of(parameters);
        PrefetchingFrameSource ahead(inner, nextOn(schedule));
        testing::FakeFrameSource recorder;  // only to learn what the loop asks for
        ASSERT_TRUE(sampleVideo(parameters, schedule, recorder, detectors, gray));
        asked = recorder.requests;
        ASSERT_TRUE(sampleVideo(parameters, schedule, ahead, detectors, gray));
    }
    ASSERT_EQ(asked.size(), 10u);
    EXPECT_EQ(inner.requests, asked);  // each decoded once, none past the end
}

}  // namespace
}  // namespace autoframe
