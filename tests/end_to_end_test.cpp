// Runs the built helper as the host does and checks the exact bytes of both streams.
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
