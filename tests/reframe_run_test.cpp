// A whole reframe through the interfaces: fake frame source, detectors, frame times and renderer.
#include <cstdio>
#include <filesystem>

#include <gtest/gtest.h>

#include "reframe/command_line.h"
#include "reframe/run.h"
#include "results/json_reader.h"
#include "tests/support.h"

namespace autoframe::reframe {
namespace {

using testing::FakeProcess;
using testing::FakeServices;

// 4 s of 1920 x 1080 at 10 frames a second; records the render asked for.
class FakeMedia final : public ReframeMedia {
public:
    FakeMedia() {
        for (int n = 0; n < 40; ++n) frames.seconds.push_back(n / 10.0);
        frames.upright = {1920, 1080};
        frames.endSeconds = 4.0;
    }
    Expected<SourceFrames> sourceFrames(const std::string& video) override {
        asked.push_back(video);
        if (!framesError.description.empty()) return std::unexpected(framesError);
        return frames;
    }
    Expected<void> render(const RenderJob& job) override {
        jobs.push_back(job);
        for (std::size_t done = 1; done <= job.windows.size(); ++done) job.progress(done);
        if (!renderError.description.empty()) return std::unexpected(renderError);
        return {};
    }
    SourceFrames frames;
    Error framesError, renderError;
    std::vector<std::string> asked;
    std::vector<RenderJob> jobs;
};

struct Reframe {
    FakeServices services;
    FakeMedia media;
    double now = 0.0;

    // Runs with these arguments; each reading of the clock is half a second after the last.
    std::pair<int, FakeProcess> run(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), "autoframe-reframe");
        FakeProcess process(arguments);
        const Environment environment{process, services, media, [this] { return now += 0.5; }};
        const int status = finishReframe(runReframe(environment), process);
        return {status, process};
    }
};

std::string joined(const std::vector<std::string>& parts) {
    std::string all;
    for (const auto& part : parts) all += part;
    return all;
}

TEST(ReframeRun, AnalysesPlansRendersAndWritesThePath) {
    Reframe reframe;
    // A face at the right of every frame (the fake frames are 4 x 4 pixels).
    for (int i = 0; i < 20; ++i) {
        reframe.services.detectors->replies.push_back(
            Detections{{PixelBox{3, 1, 0.8, 1, 0.9f}}, {}});
    }
    const std::string path = testing::privatePath("reframe-path.json");
    std::filesystem::remove(path);
    const auto [status, process] = reframe.run({"--path", path, "in.mp4", "out.mp4"});
    ASSERT_EQ(status, 0) << joined(process.err);
    EXPECT_TRUE(process.out.empty());

    // The analysis ran on the video (the fakes went with it: the face came from them).
    EXPECT_EQ(reframe.services.openedPaths, std::vector<std::string>{"in.mp4"});

    ASSERT_EQ(reframe.media.jobs.size(), 1u);
    const RenderJob& job = reframe.media.jobs[0];
    EXPECT_EQ(job.input, "in.mp4");
    EXPECT_EQ(job.output, "out.mp4");
    EXPECT_EQ(job.outputSize, (Size{608, 1080}));
    ASSERT_EQ(job.windows.size(), 40u);
    for (const CropWindow& window : job.windows) {
        EXPECT_EQ(window.width, 608);
        EXPECT_EQ(window.height, 1080);
        EXPECT_GT(window.x, 1920 / 2);  // towards the face, on the right
        EXPECT_LE(window.x + window.width, 1920);
        EXPECT_EQ(window.x % 2, 0);
    }
    // Plain progress lines (standard error is no terminal here), each stage closed.
    const std::string err = joined(process.err);
    EXPECT_NE(err.find("analysing: 0%\n"), std::string::npos) << err;
    EXPECT_NE(err.find("analysing: done in"), std::string::npos) << err;
    EXPECT_NE(err.find("rendering: done in"), std::string::npos) << err;

    // The path: one entry per frame, the windows rendered.
    const std::string json = testing::readFile(path);
    const auto first = json.find("{\"time\":0,\"x\":" + std::to_string(job.windows[0].x) +
                                 ",\"y\":0,\"width\":608,\"height\":1080}");
    EXPECT_NE(first, std::string::npos) << json.substr(0, 200);
    EXPECT_NE(json.find("\"shots\":["), std::string::npos);
}

TEST(ReframeRun, SavedSamplesNeedNoAnalysis) {
    Reframe reframe;
    const std::string samples = testing::privatePath("reframe-samples.json");
    testing::writeFile(samples, R"([{"timeSeconds":0,"sceneScore":0,"faces":[{"x":0.05,"y":0.2,)"
                                R"("width":0.1,"height":0.2,"confidence":0.9}],"humans":[]}])");
    const auto [status, process] =
        reframe.run({"--quiet", "--aspect", "1:1", "--samples", samples, "in.mp4", "out.mp4"});
    ASSERT_EQ(status, 0) << joined(process.err);
    EXPECT_TRUE(process.err.empty());  // quiet
    EXPECT_TRUE(reframe.services.openedPaths.empty());
    ASSERT_EQ(reframe.media.jobs.size(), 1u);
    EXPECT_EQ(reframe.media.jobs[0].outputSize, (Size{1080, 1080}));
    EXPECT_EQ(reframe.media.jobs[0].windows.front().x, 0);  // the face is at the left edge
}

TEST(ReframeRun, FailuresGiveOneLineAndNoPath) {
    const std::string path = testing::privatePath("reframe-failed-path.json");
    const std::string missing = testing::privatePath("no-such-samples.json");
    std::filesystem::remove(missing);
    struct Case {
        const char* name;
        std::vector<std::string> arguments;
        Error framesError, renderError;
        std::string line;
    };
    const Case cases[] = {
        {"bad aspect",
         {"--aspect", "0:1", "in.mp4", "out.mp4"},
         {},
         {},
         "Reframe failed: bad aspect '0:1': give two whole numbers from 1 to 10000 as W:H, like "
         "9:16. " +
             std::string(usageText) + "\n"},
        {"the video cannot be read",
         {"--path", path, "in.mp4", "out.mp4"},
         {"AutoFramingVideo", 2, "cannot open 'in.mp4': No such file or directory"},
         {},
         "Reframe failed: cannot open 'in.mp4': No such file or directory\n"},
        {"samples file missing",
         {"--samples", missing, "in.mp4", "out.mp4"},
         {},
         {},
         "Reframe failed: cannot read '" + missing + "': No such file or directory\n"},
        {"the render fails",
         {"--path", path, "in.mp4", "out.mp4"},
         {},
         {"AutoFramingVideo", 7, "cannot write 'out.mp4': Permission denied"},
         "Reframe failed: cannot write 'out.mp4': Permission denied\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(path);
        Reframe reframe;
        reframe.media.framesError = c.framesError;
        reframe.media.renderError = c.renderError;
        const auto [status, process] = reframe.run(c.arguments);
        EXPECT_EQ(status, 1);
        EXPECT_TRUE(process.out.empty());
        ASSERT_FALSE(process.err.empty());
        EXPECT_EQ(process.err.back(), c.line);
        EXPECT_FALSE(std::filesystem::exists(path));
    }
}

}  // namespace
}  // namespace autoframe::reframe
