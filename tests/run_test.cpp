#include <gtest/gtest.h>

#include "driver/run.h"
#include "tests/support.h"

namespace autoframe {
namespace {

using testing::FakeProcess;
using testing::FakeServices;
using testing::grayFrame;

TEST(Run, WritesTheJsonInOneWriteAndNothingElse) {
    FakeProcess process({"helper", "clip.mp4", "0", "1", "2"});
    FakeServices services;
    services.source->replies.push_back(TimedFrame{grayFrame(4, 4, 0), 0.04});
    services.source->replies.push_back(TimedFrame{grayFrame(4, 4, 0), 0.48});
    const int status = finishRun(runAutoFraming(process, services), process);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(services.openedPaths, std::vector<std::string>{"clip.mp4"});
    ASSERT_EQ(process.out.size(), 1u);
    EXPECT_EQ(process.out[0], R"([{"timeSeconds":0.04,"sceneScore":0,"faces":[],"humans":[]},)"
                              R"({"timeSeconds":0.48,"sceneScore":0,"faces":[],"humans":[]}])");
    EXPECT_TRUE(process.err.empty());
}

TEST(Run, FailureWritesOneLineAndNoJson) {
    struct Case {
        const char* name;
        std::vector<std::string> arguments;
        int failingRequest;  // 0: none
        const char* line;
    };
    const Case cases[] = {
        {"usage",
         {"helper", "clip.mp4", "1", "0", "2"},
         0,
         "Auto framing failed: Usage: helper <video> <from> <to> <fps>\n"},
        {"third frame request fails",
         {"helper", "clip.mp4", "0", "5", "1"},
         3,
         "Auto framing failed: no frame near 2 s\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeProcess process(c.arguments);
        FakeServices services;
        for (int i = 1; i < c.failingRequest; ++i) {
            services.source->replies.push_back(TimedFrame{grayFrame(4, 4, 0), double(i)});
        }
        if (c.failingRequest) {
            services.source->replies.push_back(
                std::unexpected(Error{"Video", 5, "no frame near 2 s"}));
        }
        const int status = finishRun(runAutoFraming(process, services), process);
        EXPECT_EQ(status, 1);
        EXPECT_TRUE(process.out.empty());
        EXPECT_EQ(process.err, std::vector<std::string>{c.line});
    }
}

TEST(Run, EmptyDescriptionStillEndsTheLine) {
    EXPECT_EQ(failureLine(Error{"X", 1, ""}), "Auto framing failed: \n");
}

TEST(Run, EmptyScheduleSucceedsWithoutTouchingTheVideo) {
    FakeProcess process({"helper", "/no/such/file.mp4", "1", "1.0005", "30"});
    FakeServices services;
    services.source->replies.push_back(std::unexpected(Error{"Video", 1, "must not be asked"}));
    const auto outcome = runAutoFraming(process, services);
    ASSERT_TRUE(outcome);
    EXPECT_EQ(process.out, std::vector<std::string>{"[]"});
}

}  // namespace
}  // namespace autoframe
