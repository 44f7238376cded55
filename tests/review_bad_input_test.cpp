// autoframe-review on bad input: one failure line, exit status 1, and no page (an earlier page
// under the same name stays as it was, and no half-written file is left beside it).
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "tests/support.h"

namespace autoframe {
namespace {

namespace fs = std::filesystem;
using testing::runHelper;
using testing::runProgram;

using testing::readFile;
using testing::writeFile;

std::string sample(double seconds) {
    return R"({"timeSeconds":)" + std::to_string(seconds) +
           R"(,"sceneScore":0,"faces":[],"humans":[{"x":0.1,"y":0.1,"width":0.2,"height":0.5,"confidence":0.9}]})";
}

// A 3 s clip.
std::string clip() {
    return testing::makeFixture("review/clip.mp4",
                                "-f lavfi -i testsrc=size=160x90:rate=10 -t 3 -c:v libx264 "
                                "-pix_fmt yuv420p -g 10");
}

// What the helper says after its prefix for a video it cannot read.
std::string helperReason(const std::string& video) {
    const auto run = runHelper({video, "0", "1", "1"});
    const std::string prefix = "Auto framing failed: ";
    return run.err.starts_with(prefix) ? run.err.substr(prefix.size()) : "(helper said: " + run.err + ")";
}

class ReviewBadInput : public ::testing::Test {
protected:
    void SetUp() override {
        fs::remove_all(dir);
        fs::create_directories(dir);
        ASSERT_FALSE(clip().empty());
        writeFile(good, "[" + sample(0) + "," + sample(1.5) + "," + sample(2.9) + "]\n");
    }
    void TearDown() override { fs::remove_all(dir); }

    const std::string dir = testing::privatePath("review-bad-input");
    const std::string good = dir + "/good.json";
    const std::string page = dir + "/page.html";
};

TEST_F(ReviewBadInput, FailsWithOneLineAndLeavesNoPage) {
    writeFile(dir + "/cut.json", "[" + sample(0) + ",");
    writeFile(dir + "/untyped.json", R"([{"timeSeconds":"0","sceneScore":0,"faces":[],"humans":[]}])");
    writeFile(dir + "/late.json", "[" + sample(0) + "," + sample(5) + "]");
    writeFile(dir + "/early.json", "[" + sample(-0.5) + "]");
    writeFile(dir + "/notes.mp4", "These are notes, not a video.\n");
    const std::string v = clip();
    const std::string usage =
        "Review failed: Usage: autoframe-review <video> <samples.json> <report.html>\n";
    struct Case {
        const char* name;
        std::vector<std::string> arguments;
        std::string line;  // the whole of stderr
    };
    const Case cases[] = {
        {"no arguments", {}, usage},
        {"two arguments", {v, good}, usage},
        {"four arguments", {v, good, page, "extra"}, usage},
        {"missing samples file", {v, dir + "/none.json", page},
         "Review failed: cannot read '" + dir + "/none.json': No such file or directory\n"},
        {"samples file a folder", {v, dir, page},
         "Review failed: cannot read '" + dir + "': Is a directory\n"},
        {"samples cut short", {v, dir + "/cut.json", page},
         "Review failed: '" + dir + "/cut.json' is not a list of samples: byte " +
             std::to_string(sample(0).size() + 2) +
             ": expected a value, found the end of the text\n"},
        {"a time as a string", {v, dir + "/untyped.json", page},
         "Review failed: '" + dir + "/untyped.json' is not a list of samples: sample 0 member "
         "\"timeSeconds\" (byte 16): expected a number, found a string\n"},
        {"a time after the end", {v, dir + "/late.json", page},
         "Review failed: sample 1 at 5.000 s lies outside '" + v + "' (0 s to 3.000 s)\n"},
        {"a time before the start", {v, dir + "/early.json", page},
         "Review failed: sample 0 at -0.500 s lies outside '" + v + "' (0 s to 3.000 s)\n"},
        {"missing video", {dir + "/none.mp4", good, page},
         "Review failed: " + helperReason(dir + "/none.mp4")},
        {"text named .mp4", {dir + "/notes.mp4", good, page},
         "Review failed: " + helperReason(dir + "/notes.mp4")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        writeFile(page, "an earlier page");
        const auto run = runProgram(AUTOFRAME_REVIEW, c.arguments, {}, 60);
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, c.line);
        EXPECT_EQ(readFile(page), "an earlier page");
        std::vector<std::string> left;
        for (const auto& entry : fs::directory_iterator(dir)) {
            if (entry.path().filename().string().find("partial") != std::string::npos) {
                left.push_back(entry.path().string());
            }
        }
        EXPECT_EQ(left, std::vector<std::string>{});
    }
}

TEST_F(ReviewBadInput, AnUnwritablePageIsAnErrorAndTheGoodCaseWrites) {
    const std::string nowhere = dir + "/no/such/folder/page.html";
    const auto refused = runProgram(AUTOFRAME_REVIEW, {clip(), good, nowhere}, {}, 60);
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.err,
              "Review failed: cannot write '" + nowhere + "': No such file or directory\n");
    EXPECT_FALSE(fs::exists(nowhere));

    writeFile(page, "an earlier page");
    const auto written = runProgram(AUTOFRAME_REVIEW, {clip(), good, page}, {}, 60);
    EXPECT_EQ(written.status, 0) << written.err;
    EXPECT_EQ(written.out, "");
    EXPECT_EQ(written.err, "");
    const std::string html = readFile(page);
    EXPECT_TRUE(html.starts_with("<!DOCTYPE html>"));
    EXPECT_TRUE(html.ends_with("</html>\n"));
    EXPECT_NE(html.find("160 × 90 pixels as decoded"), std::string::npos);
    EXPECT_NE(html.find("3 samples from 0.000 s to 2.900 s"), std::string::npos);
}

}  // namespace
}  // namespace autoframe
