// autoframe-reframe run as a user runs it, on clips made from the bundled one.
#include <sys/stat.h>

#include <cmath>
#include <filesystem>
#include <sstream>

#include <gtest/gtest.h>

#include "platform/ffmpeg/frame_source.h"
#include "platform/real_services.h"
#include "tests/pattern_clips.h"
#include "tests/support.h"

namespace autoframe {
namespace {

using testing::makeFixture;
using testing::runProgram;

const bool librariesSilenced = (silenceLibraries(), true);

std::string bundled() { return std::string(AUTOFRAME_SOURCE_DIR) + "/samples/pedestrians.mp4"; }

// 4 s at 10 frames a second, 768 x 576, with a cut at 2 s (the picture turned negative and
// mirrored) and a tone as AAC.
std::string clipWithCutAndSound() {
    return makeFixture(
        "reframe-cut.mp4",
        "-i '" + bundled() +
            "' -f lavfi -i sine=frequency=440:duration=4 -filter_complex "
            "\"[0:v]trim=0:2,setpts=PTS-STARTPTS[a];[0:v]trim=4:6,setpts=PTS-STARTPTS,hflip,negate["
            "b];"
            "[a][b]concat=n=2:v=1[v]\" -map \"[v]\" -map 1:a -c:v libx264 -preset veryfast "
            "-pix_fmt yuv420p -c:a aac -b:a 64k -shortest");
}

std::string probe(const std::string& video, const std::string& entries) {
    return testing::commandOutput(
        "ffprobe -v error -count_frames -select_streams v:0 -show_entries " + entries +
        " -of default=nw=1:nk=1 '" + video + "'");
}

struct PathFrame {
    double time;
    int x, y, width, height;
};

// The frames of a crop path (one {"time":…,"x":…,…} object per frame, in order).
std::vector<PathFrame> pathFrames(const std::string& json) {
    std::vector<PathFrame> frames;
    for (auto at = json.find("{\"time\":"); at != std::string::npos;
         at = json.find("{\"time\":", at + 1)) {
        PathFrame f{};
        if (std::sscanf(json.c_str() + at,
                        "{\"time\":%lf,\"x\":%d,\"y\":%d,\"width\":%d,\"height\":%d}", &f.time,
                        &f.x, &f.y, &f.width, &f.height) == 5) {
            frames.push_back(f);
        }
    }
    return frames;
}

TEST(ReframeEndToEnd, NineBySixteenKeepsFramesSoundAndJumpsOnlyAtTheCut) {
    const std::string clip = clipWithCutAndSound();
    ASSERT_FALSE(clip.empty());
    const std::string out = testing::privatePath("reframed.mp4");
    const std::string path = testing::privatePath("reframed.path.json");
    std::filesystem::remove(out);
    std::filesystem::remove(path);
    const auto run = runProgram(AUTOFRAME_REFRAME, {"--path", path, clip, out});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find("rendering: done in"), std::string::npos) << run.err;

    // Every frame kept, same length, sound copied as it was.
    EXPECT_EQ(probe(out, "stream=width,height"), "324\n576\n");
    EXPECT_EQ(probe(out, "stream=nb_read_frames"), probe(clip, "stream=nb_read_frames"));
    const double duration = std::stod(probe(out, "format=duration"));
    EXPECT_NEAR(duration, std::stod(probe(clip, "format=duration")), 0.1);
    const std::string sound = testing::audioPacketsMd5(clip);
    ASSERT_FALSE(sound.empty());
    EXPECT_EQ(testing::audioPacketsMd5(out), sound);

    // The path: one window a frame, inside the picture; moves of more than 5 % of the width in
    // one frame only at the cut, where a shot starts.
    const std::string json = testing::readFile(path);
    const auto frames = pathFrames(json);
    ASSERT_EQ(frames.size(), 40u) << json.substr(0, 300);
    for (std::size_t i = 0; i < frames.size(); ++i) {
        SCOPED_TRACE(frames[i].time);
        EXPECT_NEAR(frames[i].time, i / 10.0, 1e-6);
        EXPECT_EQ(frames[i].width, 324);
        EXPECT_EQ(frames[i].height, 576);
        EXPECT_GE(frames[i].x, 0);
        EXPECT_LE(frames[i].x + frames[i].width, 768);
        if (i > 0 && std::abs(frames[i].x - frames[i - 1].x) > 0.05 * 768) {
            EXPECT_NEAR(frames[i].time, 2.0, 0.21) << "a jump away from the cut";
        }
    }
    EXPECT_NE(json.find("{\"start\":2"), std::string::npos) << json.substr(json.find("\"shots\""));

    // The rendered frames are the source's pixels in the path's windows.
    auto source = openFrameSource(clip);
    auto rendered = openFrameSource(out);
    for (const std::size_t i : {std::size_t(5), std::size_t(25)}) {
        SCOPED_TRACE(i);
        const auto a = source->frameAt(frames[i].time);
        const auto b = rendered->frameAt(frames[i].time);
        ASSERT_TRUE(a && b);
        ASSERT_EQ(b->frame.width, 324);
        double difference = 0;
        for (int y = 0; y < 576; ++y) {
            for (int x = 0; x < 324; ++x) {
                for (int c = 0; c < 3; ++c) {
                    difference += std::abs(
                        int(a->frame.bgr[(std::size_t(y) * 768 + std::size_t(x + frames[i].x)) * 3 +
                                         c]) -
                        int(b->frame.bgr[(std::size_t(y) * 324 + std::size_t(x)) * 3 + c]));
                }
            }
        }
        EXPECT_LT(difference / (324.0 * 576 * 3), 6.0);
    }
}

TEST(ReframeEndToEnd, BadInputGivesOneLineAndNoFile) {
    const std::string dir = testing::fixtureDir();
    const std::string tone = makeFixture("tone.wav", "-f lavfi -i sine=d=1");
    ASSERT_FALSE(tone.empty());
    const std::string locked = dir + "/locked-folder";
    std::filesystem::create_directories(locked);
    ::chmod(locked.c_str(), 0500);
    const bool root = ::geteuid() == 0;  // root writes into any folder
    const std::string out = testing::privatePath("bad-input-out.mp4");
    struct Case {
        std::vector<std::string> arguments;
        std::string line;
        std::string output;
    };
    std::vector<Case> cases = {
        {{dir + "/missing.mp4", out},
         "Reframe failed: cannot open '" + dir + "/missing.mp4': No such file or directory\n",
         out},
        {{tone, out}, "Reframe failed: '" + tone + "' has no video stream\n", out},
    };
    for (const char* aspect : {"0:1", "9:", "abc"}) {
        cases.push_back({{"--aspect", aspect, bundled(), out},
                         "Reframe failed: bad aspect '" + std::string(aspect) +
                             "': give two whole numbers from 1 to 10000 as W:H, like 9:16. "
                             "Usage: autoframe-reframe [--aspect W:H] [--rate N] [--samples FILE] "
                             "[--path FILE] [--quiet] <video> <output.mp4>\n",
                         out});
    }
    // A folder that is not there; and one that may not be written in (root may write anywhere).
    cases.push_back({{"--quiet", bundled(), dir + "/no-such-folder/out.mp4"},
                     "Reframe failed: cannot write '" + dir +
                         "/no-such-folder/out.mp4': No such file or directory\n",
                     dir + "/no-such-folder/out.mp4"});
    if (!root) {
        cases.push_back(
            {{"--quiet", bundled(), locked + "/out.mp4"},
             "Reframe failed: cannot write '" + locked + "/out.mp4': Permission denied\n",
             locked + "/out.mp4"});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.arguments));
        std::filesystem::remove(c.output);
        const auto run = runProgram(AUTOFRAME_REFRAME, c.arguments);
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err.find("Reframe failed"), run.err.rfind("Reframe failed"));
        EXPECT_EQ(run.err.substr(run.err.find("Reframe failed")), c.line);
        EXPECT_FALSE(std::filesystem::exists(c.output));
    }
    ::chmod(locked.c_str(), 0700);
}

}  // namespace
}  // namespace autoframe
