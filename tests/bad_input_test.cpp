// The helper on files that real users and attackers hand it: every case ends within seconds with
// either one failure line and empty stdout, or (where the damage can be concealed) complete JSON.
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "results/json_reader.h"
#include "tests/support.h"

namespace autoframe {
namespace {

namespace fs = std::filesystem;
using testing::fixtureDir;
using testing::runHelper;

const std::string dir = fixtureDir() + "/bad-input";

using testing::readFile;
using testing::writeFile;

// A 3 s clip, index at the front so that a cut file still has its header.
std::string goodClip() {
    return testing::makeFixture("bad-input/good.mp4",
                                "-f lavfi -i testsrc=size=160x90:rate=10 -t 3 -c:v libx264 "
                                "-pix_fmt yuv420p -g 10 -movflags +faststart");
}

std::string prefixOf(const std::string& source, double fraction, const std::string& name) {
    const std::string bytes = readFile(source);
    const std::string path = dir + "/" + name;
    writeFile(path, bytes.substr(0, std::size_t(double(bytes.size()) * fraction)));
    return path;
}

// The number of samples in the helper's JSON, read back strictly; -1 (and a test failure naming
// the fault) when it is not the helper's JSON.
int sampleCount(const std::string& json) {
    const auto samples = decodeSamples(json);
    if (!samples) {
        ADD_FAILURE() << samples.error().description << "\n" << json;
        return -1;
    }
    return int(samples->size());
}

struct BadInput {
    const char* name;
    std::string path;
    const char* mentions;     // expected in the failure line
    bool mayConceal = false;  // success is fine if the JSON is complete
};

TEST(BadInput, FailsCleanlyOrConcealsCompletely) {
    fs::create_directories(dir);
    writeFile(dir + "/empty.mp4", "");
    writeFile(dir + "/notes.mp4", "These are notes, not a video.\n");
    fs::create_directories(dir + "/folder.mp4");
    const std::string fifo = dir + "/pipe.mp4";
    fs::remove(fifo);
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string audio = testing::makeFixture(
        "bad-input/audio.mp4", "-f lavfi -i sine=frequency=440:duration=3 -c:a aac");
    ASSERT_FALSE(audio.empty());
    // Raw streams whose headers claim absurd sizes: one past the helper's own limit, and one
    // so large that the demuxer itself gives up on it.
    writeFile(dir + "/wide.y4m",
              "YUV4MPEG2 W20000 H64 F25:1 Ip A1:1 C420jpeg\nFRAME\n" + std::string(4096, '\x80'));
    writeFile(dir + "/huge.y4m", "YUV4MPEG2 W20000 H20000 F25:1 Ip A1:1 C420jpeg\nFRAME\n" +
                                     std::string(4096, '\x80'));
    ASSERT_FALSE(goodClip().empty());
    std::string overwritten = readFile(goodClip());
    ASSERT_GT(overwritten.size(), 8192u);
    for (std::size_t i = overwritten.size() / 2; i < overwritten.size() / 2 + 2048; ++i) {
        overwritten[i] = char(i * 7919);
    }
    writeFile(dir + "/overwritten.mp4", overwritten);

    const BadInput cases[] = {
        {"zero-byte file", dir + "/empty.mp4", "empty.mp4"},
        {"text named .mp4", dir + "/notes.mp4", "notes.mp4"},
        {"directory", dir + "/folder.mp4", "folder.mp4"},
        {"named pipe", fifo, "pipe.mp4"},
        {"audio only", audio, "no video stream"},
        {"picture wider than the limit", dir + "/wide.y4m", "20000x64"},
        {"absurd dimensions", dir + "/huge.y4m", "huge.y4m"},
        {"cut in the header", prefixOf(goodClip(), 0.01, "cut-header.mp4"), "cut-header.mp4"},
        {"cut after the first frames", prefixOf(goodClip(), 0.2, "cut-early.mp4"), "cut-early.mp4"},
        {"cut in the middle", prefixOf(goodClip(), 0.6, "cut-middle.mp4"), "cut-middle.mp4"},
        {"bytes overwritten in the middle", dir + "/overwritten.mp4", "overwritten.mp4", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto run = runHelper({c.path, "0", "3", "2"}, {}, 60);
        ASSERT_FALSE(run.timedOut);
        if (c.mayConceal && run.status == 0) {
            EXPECT_EQ(run.err, "");
            EXPECT_EQ(sampleCount(run.out), 6);
            continue;
        }
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.out, "");
        EXPECT_TRUE(run.err.starts_with("Auto framing failed: ")) << run.err;
        EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
        EXPECT_NE(run.err.find(c.mentions), std::string::npos) << run.err;
    }
}

TEST(BadInput, OddPathsWork) {
    ASSERT_FALSE(goodClip().empty());
    const std::string odd = dir + "/a clip with spaces, ümlauts & ünïcødé — 映像.mp4";
    fs::copy_file(goodClip(), odd, fs::copy_options::overwrite_existing);
    const auto run = runHelper({odd, "0", "3", "2"}, {}, 120);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(sampleCount(run.out), 6);
}

}  // namespace
}  // namespace autoframe
