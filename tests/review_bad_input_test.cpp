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
    return run.err.starts_with(prefix) ? run.err.substr(prefix.size())
                                       : "(helper said: " + run.err + ")";
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
    writeFile(dir + "/untyped.json",
              R"([{"timeSeconds":"0","sceneScore":0,"faces":[],"humans":[]}])");
    writeFile(dir + "/late.json", "[" + sample(0) + "," + sample(5) + "]");
    writeFile(dir + "/early.json", "[" + sample(-0.5) + "]");
    writeFile(dir + "/notes.mp4", "These are notes, not a video.\n");
    // Crop paths: one cut short, one with a window off by half a pixel, one planned on full HD
    // (windows 608 x 1080) where the clip is 160 x 90.
    const std::string window = R"({"time":0,"x":55,"y":0,"width":50,"height":90})";
    writeFile(dir + "/cut-path.json", R"({"frames":[)" + window);
    writeFile(dir + "/half-pixel.json",
              R"({"frames":[{"time":0,"x":55.5,"y":0,"width":50,"height":90}],"shots":[]})");
    writeFile(dir + "/hd-path.json",
              R"({"frames":[{"time":0,"x":656,"y":0,"width":608,"height":1080}],"shots":[]})");
    const std::string v = clip();
    const std::string usage =
        "Review failed: Usage: autoframe-review [--path <crop-path.json>] "
        "<video> <samples.json> <report.html>\n";
    struct Case {
        const char* name;
        std::vector<std::string> arguments;
        std::string line;  // the whole of stderr
    };
    const Case cases[] = {
        {"no arguments", {}, usage},
        {"two arguments", {v, good}, usage},
        {"four arguments", {v, good, page, "extra"}, usage},
        {"--path without its file", {v, good, page, "--path"}, usage},
        {"--path twice", {"--path", good, v, good, page, "--path", good}, usage},
        {"missing crop path",
         {"--path", dir + "/none.json", v, good, page},
         "Review failed: cannot read '" + dir + "/none.json': No such file or directory\n"},
        {"crop path cut short",
         {v, good, page, "--path", dir + "/cut-path.json"},
         "Review failed: '" + dir + "/cut-path.json' is not a crop path: byte " +
             std::to_string(11 + window.size()) +
             ": expected ',' or ']' after an array element, found the end of the text\n"},
        {"crop window off by half a pixel",
         {v, good, page, "--path", dir + "/half-pixel.json"},
         "Review failed: '" + dir +
             "/half-pixel.json' is not a crop path: frame 0 member \"x\" "
             "(byte 25): expected a whole number of pixels from 0, found 55.5\n"},
        {"crop path of another size",
         {v, good, page, "--path", dir + "/hd-path.json"},
         "Review failed: '" + dir + "/hd-path.json' is not a crop path of '" + v +
             "': its windows of 608 x 1080 pixels span the height of a 1920 x 1080 source, which "
             "decodes at 960 x 540, not at 160 x 90 as the video does\n"},
        {"missing samples file",
         {v, dir + "/none.json", page},
         "Review failed: cannot read '" + dir + "/none.json': No such file or directory\n"},
        {"samples file a folder",
         {v, dir, page},
         "Review failed: cannot read '" + dir + "': Is a directory\n"},
        {"samples cut short",
         {v, dir + "/cut.json", page},
         "Review failed: '" + dir + "/cut.json' is not a list of samples: byte " +
             std::to_string(sample(0).size() + 2) +
             ": expected a value, found the end of the text\n"},
        {"a time as a string",
         {v, dir + "/untyped.json", page},
         "Review failed: '" + dir +
             "/untyped.json' is not a list of samples: sample 0 member "
             "\"timeSeconds\" (byte 16): expected a number, found a string\n"},
        {"a time after the end",
         {v, dir + "/late.json", page},
         "Review failed: sample 1 at 5.000 s lies outside '" + v + "' (0 s to 3.000 s)\n"},
        {"a time before the start",
         {v, dir + "/early.json", page},
         "Review failed: sample 0 at -0.500 s lies outside '" + v + "' (0 s to 3.000 s)\n"},
        {"missing video",
         {dir + "/none.mp4", good, page},
         "Review failed: " + helperReason(dir + "/none.mp4")},
        {"text named .mp4",
         {dir + "/notes.mp4", good, page},
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

    // With a crop path: 9:16 windows of the 160 x 90 clip, drawn on each 160 x 90 thumbnail.
    writeFile(dir + "/path.json", R"({"frames":[{"time":0,"x":0,"y":0,"width":50,"height":90},)"
                                  R"({"time":1.5,"x":55,"y":0,"width":50,"height":90},)"
                                  R"({"time":2.9,"x":110,"y":0,"width":50,"height":90}],)"
                                  R"("shots":[{"start":0,"end":2.9,"mode":"follow"}]})");
    const auto withPath =
        runProgram(AUTOFRAME_REVIEW, {"--path", dir + "/path.json", clip(), good, page}, {}, 60);
    EXPECT_EQ(withPath.status, 0) << withPath.err;
    EXPECT_EQ(withPath.err, "");
    const std::string drawn = readFile(page);
    for (const char* rect :
         {R"(<rect class="window" x="0.0" y="0.0" width="50.0" height="90.0">)",
          R"(<rect class="window" x="55.0" y="0.0" width="50.0" height="90.0">)",
          R"(<rect class="window" x="110.0" y="0.0" width="50.0" height="90.0">)"}) {
        EXPECT_NE(drawn.find(rect), std::string::npos) << rect;
    }
    EXPECT_NE(drawn.find("3 windows of 50 × 90 pixels in the 160 × 90 source"), std::string::npos);
}

}  // namespace
}  // namespace autoframe
