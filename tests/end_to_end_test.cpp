// Runs the built helper as the host does and checks the exact bytes of both streams.
#include <cmath>
#include <string>

#include <gtest/gtest.h>

#include "results/json_reader.h"
#include "tests/support.h"

namespace autoframe {
namespace {

using testing::runHelper;

constexpr const char* usageLine = "Auto framing failed: Usage: helper <video> <from> <to> <fps>\n";

TEST(EndToEnd, PeopleInTheBundledClipAreFound) {
    const auto run =
        runHelper({std::string(AUTOFRAME_SOURCE_DIR) + "/samples/pedestrians.mp4", "0", "8", "1"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    const auto samples = decodeSamples(run.out);
    ASSERT_TRUE(samples) << samples.error().description << "\n" << run.out;
    std::vector<double> times;
    std::size_t boxes = 0;
    for (const Sample& sample : *samples) {
        times.push_back(sample.timeSeconds());
        boxes += sample.faces().size() + sample.humans().size();
        EXPECT_FALSE(sample.humans().empty()) << "at " << sample.timeSeconds() << " s";
    }
    EXPECT_EQ(times, (std::vector<double>{0, 1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(samples->front().sceneScore(), 0.0);
    // A dozen people walk through every frame: far more boxes than frames.
    EXPECT_GE(boxes, 16u) << run.out;
}

// Videos whose frames lie further apart than the tolerance, made from the bundled clip (10 frames
// a second): every request is answered, by the frame on screen where none is near.
TEST(EndToEnd, VideosWithSparseFramesAnswerEveryRequest) {
    const std::string clip = std::string(AUTOFRAME_SOURCE_DIR) + "/samples/pedestrians.mp4";
    const std::string from = "-i '" + clip + "' -an ";
    struct Case {
        const char* name;
        std::string file, encoding;
        std::vector<std::string> span;
        std::string pastTheEnd;  // with `to` at 12 s: the first time that fails, and the reason
    };
    const Case cases[] = {
        {"AVI whose stream repeats frames: one coded frame every 0.4 s at 15 fps",
         "repeats.avi",
         "-vf \"select='not(mod(n\\,4))',setpts=N*0.4/TB\" -fps_mode passthrough -r 15 "
         "-c:v mpeg4 -q:v 3",
         {"0", "7.6", "4"},
         "7.750 s in '@'; the video ends at 7.667 s"},
        {"2 frames a second sampled 4 times a second",
         "two-fps.mp4",
         "-vf fps=2 -c:v libx264 -preset veryfast -pix_fmt yuv420p",
         {"0", "8", "4"},
         "8.000 s in '@'; the video ends at 8.000 s"},
        {"variable frame rate, nothing from 1 s to 5 s",
         "gap.mkv",
         "-vf \"setpts='if(lt(N,10),N*0.1,5+(N-10)*0.1)/TB'\" -frames:v 40 -fps_mode passthrough "
         "-c:v libx264 -preset veryfast -pix_fmt yuv420p",
         {"0", "8", "2"},
         "8.500 s in '@'; the video ends at 8.000 s"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string video = testing::makeFixture("sparse-" + c.file, from + c.encoding);
        ASSERT_FALSE(video.empty());
        std::vector<std::string> arguments = {video};
        arguments.insert(arguments.end(), c.span.begin(), c.span.end());
        const auto run = runHelper(arguments);
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.err, "");
        const auto samples = decodeSamples(run.out);
        ASSERT_TRUE(samples) << samples.error().description << "\n" << run.out;
        const double to = std::stod(c.span[1]), step = 1.0 / std::stod(c.span[2]);
        ASSERT_EQ(samples->size(), std::size_t(std::ceil(to / step - 0.001)));
        std::size_t people = 0;
        for (std::size_t i = 0; i < samples->size(); ++i) {
            EXPECT_LE(std::abs((*samples)[i].timeSeconds() - double(i) * step), 0.12 + 1e-9) << i;
            people += (*samples)[i].humans().size();
        }
        EXPECT_GE(people, samples->size()) << run.out;

        arguments[2] = "12";
        const auto past = runHelper(arguments);
        EXPECT_EQ(past.status, 1);
        EXPECT_EQ(past.out, "");
        std::string expected = "Auto framing failed: no frame within 0.120 s of " + c.pastTheEnd;
        expected.replace(expected.find('@'), 1, video);
        EXPECT_EQ(past.err, expected + "\n");
    }
}

TEST(EndToEnd, CommandLineFaultsGiveTheUsageLine) {
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"clip.mp4", "0", "1"},
        {"clip.mp4", "0", "1", "4", "extra"},
        {"clip.mp4", "1,5", "2", "4"},
        {"clip.mp4", "0", "1", "0"},
        {"clip.mp4", "0", "inf", "4"},
    };
    for (const auto& arguments : cases) {
        SCOPED_TRACE(::testing::PrintToString(arguments));
        const auto run = runHelper(arguments);
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, usageLine);
    }
}

TEST(EndToEnd, EmptySchedulePrintsAnEmptyArrayWhateverThePath) {
    const auto run = runHelper({"/no/such/video.mp4", "1", "1.0005", "30"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "[]");
    EXPECT_EQ(run.err, "");
}

TEST(EndToEnd, NumbersFollowTheCLocaleWhateverTheEnvironment) {
    // With a German locale in the environment "1,5" must still be refused and "1.5" accepted.
    const std::map<std::string, std::string> german{{"LC_ALL", "de_DE.UTF-8"},
                                                    {"LANG", "de_DE.UTF-8"}};
    const auto refused = runHelper({"clip.mp4", "1,5", "2", "4"}, german);
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.err, usageLine);
    const auto accepted = runHelper({"clip.mp4", "1.5", "1.5005", "4"}, german);
    EXPECT_EQ(accepted.status, 0);
    EXPECT_EQ(accepted.out, "[]");
    EXPECT_EQ(accepted.err, "");
}

TEST(EndToEnd, MissingVideoFailsWithOneLineNamingIt) {
    const auto run = runHelper({"/no/such/video.mp4", "0", "1", "1"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    ASSERT_FALSE(run.err.empty());
    EXPECT_TRUE(run.err.starts_with("Auto framing failed: ")) << run.err;
    EXPECT_NE(run.err.find("/no/such/video.mp4"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
}

}  // namespace
}  // namespace autoframe
