// The FFmpeg frame source on small videos made at test time with the ffmpeg command. Each frame of
// the pattern clip carries its own number as eight black or white blocks and a white marker in its
// top-left corner, so that a decoded frame tells which frame it is and which way up it stands.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <set>
#include <tuple>

#include <gtest/gtest.h>

#include "analysis/signature.h"
#include "core/number_text.h"
#include "core/text.h"
#include "driver/prefetching_frame_source.h"
#include "platform/ffmpeg/frame_source.h"
#include "platform/opencv/gray.h"
#include "platform/real_services.h"
#include "results/json_reader.h"
#include "tests/pattern_clips.h"
#include "tests/support.h"

namespace autoframe {
namespace {

using testing::brightness;
using testing::evenTimes;
using testing::fixtureDir;
using testing::fromPattern;
using testing::makeFixture;
using testing::readBytes;
using testing::runShell;
using testing::withDisplayMatrix;
using testing::x264;

// As in the helper: the libraries' own logging stays off.
const bool librariesSilenced = (silenceLibraries(), true);

// The number drawn in a pattern frame (blocks 20 of 160 pixels wide in the middle band).
int frameNumber(const Frame& frame) {
    int number = 0;
    for (int bit = 0; bit < 8; ++bit) {
        number = number * 2 + (brightness(frame, (20.0 * bit + 10.0) / 160.0, 48.0 / 96.0) > 128);
    }
    return number;
}

// The marker is in the top-left corner and the three other corners are black.
bool isUpright(const Frame& frame) {
    const double near = 12.0 / 160.0, far = 148.0 / 160.0, top = 12.0 / 96.0, bottom = 84.0 / 96.0;
    return brightness(frame, near, top) > 192 && brightness(frame, far, top) < 64 &&
           brightness(frame, near, bottom) < 64 && brightness(frame, far, bottom) < 64;
}

bool isWellFormed(const Frame& frame) {
    return frame.width > 0 && frame.height > 0 &&
           frame.bgr.size() == std::size_t(frame.width) * std::size_t(frame.height) * 3;
}

// The index of the frame nearest to `seconds` within the tolerance, or -1.
int nearestFrame(const std::vector<double>& frameTimes, double seconds) {
    int best = -1;
    for (int n = 0; n < int(frameTimes.size()); ++n) {
        const double distance = std::abs(frameTimes[n] - seconds);
        if (distance <= FrameSource::toleranceSeconds &&
            (best < 0 || distance < std::abs(frameTimes[best] - seconds))) {
            best = n;
        }
    }
    return best;
}

// Requests `requests` in order and checks each answer against the pattern.
void expectPatternFrames(FrameSource& source, const std::vector<double>& frameTimes,
                         const std::vector<double>& requests) {
    for (const double t : requests) {
        SCOPED_TRACE("requested " + std::to_string(t) + " s");
        const int expected = nearestFrame(frameTimes, t);
        ASSERT_GE(expected, 0) << "bad test: no frame near the request";
        const auto got = source.frameAt(t);
        ASSERT_TRUE(got) << got.error().description;
        ASSERT_TRUE(isWellFormed(got->frame));
        EXPECT_EQ(frameNumber(got->frame), expected);
        EXPECT_NEAR(got->seconds, frameTimes[expected], 1e-6);
        EXPECT_LE(std::abs(got->seconds - t), FrameSource::toleranceSeconds + 1e-9);
        EXPECT_TRUE(isUpright(got->frame));
    }
}

struct Clip {
    const char* id;  // the test's name
    const char* name;
    std::function<std::string()> make;
    double fps = 25;
    int frames = 100;
};

void PrintTo(const Clip& clip, std::ostream* out) { *out << clip.name; }

std::vector<Clip> contractClips() {
    return {
        {"H264InMp4", "H.264 in MP4 with B-frames",
         [] { return fromPattern("h264.mp4", "-t 4 " + x264 + " -bf 3"); }},
        {"H264InMkv", "H.264 in MKV", [] { return fromPattern("h264.mkv", "-t 4 " + x264); }},
        {"H264InMpegTs", "H.264 in MPEG-TS, first timestamp 1.4 s",
         [] { return fromPattern("h264.ts", "-t 4 " + x264 + " -bf 2"); }},
        {"HevcInMp4", "HEVC in MP4",
         [] {
             return fromPattern("hevc.mp4",
                                "-t 4 -c:v libx265 -preset ultrafast -tag:v hvc1 "
                                "-x265-params log-level=none");
         }},
        {"Vp9InWebm", "VP9 in WebM",
         [] {
             return fromPattern("vp9.webm",
                                "-t 4 -c:v libvpx-vp9 -deadline realtime -cpu-used 8 "
                                "-crf 30 -b:v 0");
         }},
        {"Av1InMkv", "AV1 in MKV",
         [] { return fromPattern("av1.mkv", "-t 4 -c:v libaom-av1 -cpu-used 8 -crf 30 -g 25"); }},
        {"Mpeg4InAvi", "MPEG-4 Part 2 in AVI",
         [] { return fromPattern("mpeg4.avi", "-t 4 -c:v mpeg4 -q:v 3"); }},
        {"ProResInMov", "ProRes in MOV",
         [] { return fromPattern("prores.mov", "-t 4 -c:v prores_ks -profile:v 0"); }},
        {"MjpegInAvi", "MJPEG in AVI",
         [] { return fromPattern("mjpeg.avi", "-t 4 -c:v mjpeg -q:v 3"); }},
        {"H264At10FpsDelayedByBFrames",
         "H.264 at 10 fps, B-frames delaying decode by 0.2 s, keyframe every second",
         [] {
             return fromPattern("h264-10fps.mp4",
                                "-vf setpts=2.5*PTS -r 10 " + x264 + " -bf 3 -g 10 -frames:v 100");
         },
         10, 100},
        {"WithACoverPicture", "video with a cover picture as a second stream",
         [] {
             const std::string cover =
                 makeFixture("cover.png", "-f lavfi -i color=red:s=320x320 -frames:v 1");
             if (cover.empty()) return std::string();
             return fromPattern("with-cover.mp4", "-i " + quoted(cover) + " -map 1 -map 0 -t 4 " +
                                                      x264 +
                                                      " -c:v:0 png -disposition:v:0 attached_pic");
         }},
    };
}

// The frame source as the helper runs it: each next request of a known plan decoded ahead on a
// worker while the caller works on the answer before.
class DecodedAhead final : public FrameSource {
public:
    DecodedAhead(std::unique_ptr<FrameSource> inner, std::vector<double> plan)
        : inner_(std::move(inner)), plan_(std::move(plan)), ahead_(*inner_, [this](double) {
              return asked_ < plan_.size() ? std::optional(plan_[asked_]) : std::nullopt;
          }) {}

    Expected<TimedFrame> frameAt(double seconds) override {
        ++asked_;
        return ahead_.frameAt(seconds);
    }
    Expected<double> statedDurationSeconds() override { return ahead_.statedDurationSeconds(); }

private:
    std::unique_ptr<FrameSource> inner_;
    std::vector<double> plan_;
    std::size_t asked_ = 0;  // requests so far: the next one planned is plan_[asked_]
    PrefetchingFrameSource ahead_;
};

// One contract for every codec and container: each test runs on each clip, with every request
// answered when it comes and with the next one decoded ahead.
class FrameSourceContract : public ::testing::TestWithParam<std::tuple<Clip, bool>> {
protected:
    void SetUp() override {
        path = clip().make();
        ASSERT_FALSE(path.empty()) << "could not make the fixture: " << clip().name;
        times = evenTimes(clip().frames, clip().fps);
    }
    const Clip& clip() const { return std::get<0>(GetParam()); }
    // The source on the clip, for requests made in the order of `plan`.
    std::unique_ptr<FrameSource> open(const std::vector<double>& plan) const {
        auto source = openFrameSource(path);
        if (!std::get<1>(GetParam())) return source;
        return std::make_unique<DecodedAhead>(std::move(source), plan);
    }
    std::string path;
    std::vector<double> times;  // of every frame
};

INSTANTIATE_TEST_SUITE_P(Clips, FrameSourceContract,
                         ::testing::Combine(::testing::ValuesIn(contractClips()),
                                            ::testing::Bool()),
                         [](const ::testing::TestParamInfo<std::tuple<Clip, bool>>& info) {
                             return std::string(std::get<0>(info.param).id) +
                                    (std::get<1>(info.param) ? "DecodedAhead" : "OnRequest");
                         });

TEST_P(FrameSourceContract, SparseIncreasingRequestsGetTheNearestFrame) {
    const double last = times.back();
    // Repeats, a step inside one frame, long jumps (seeks), the last frame from just past it.
    const std::vector<double> requests = {-0.1, 0.013,       0.51,        0.51, 0.53,       1.234,
                                          2.91, last - 0.93, last - 0.51, last, last + 0.09};
    expectPatternFrames(*open(requests), times, requests);
}

TEST_P(FrameSourceContract, EveryFrameInTurn) {
    std::vector<double> requests;
    for (double t : times) requests.push_back(t + 0.1 / clip().fps);
    expectPatternFrames(*open(requests), times, requests);
}

TEST_P(FrameSourceContract, RequestsCloserThanTheFramesGetEachFrameAlikeEveryTime) {
    // Four requests a frame, from the start and again after a jump: every answer is the nearest
    // frame, and all answers for one frame are the same picture, with the same pixels.
    const double step = 0.25 / clip().fps;
    std::vector<double> requests;
    for (double t = 0.0; t < 0.5; t += step) requests.push_back(t);
    for (double t = times.back() - 1.0; t < times.back() - 0.7; t += step) requests.push_back(t);
    auto source = open(requests);
    std::map<int, TimedFrame> first;
    for (const double t : requests) {
        SCOPED_TRACE("requested " + std::to_string(t) + " s");
        const auto got = source->frameAt(t);
        ASSERT_TRUE(got) << got.error().description;
        const int number = frameNumber(got->frame);
        EXPECT_EQ(number, nearestFrame(times, t));
        EXPECT_NE(got->picture, 0u);
        const auto [seen, isNew] = first.try_emplace(number, *got);
        if (!isNew) {
            EXPECT_TRUE(got->frame.bgr == seen->second.frame.bgr);
            EXPECT_EQ(got->picture, seen->second.picture);
        }
    }
    std::set<std::uint64_t> pictures;
    for (const auto& [number, timed] : first) pictures.insert(timed.picture);
    EXPECT_EQ(pictures.size(), first.size()) << "two frames given as one picture";
}

TEST_P(FrameSourceContract, PastTheEndFailsNamingTheEnd) {
    auto source = open({1.0, 10.5});
    ASSERT_TRUE(source->frameAt(1.0));
    const auto past = source->frameAt(10.5);
    ASSERT_FALSE(past);
    EXPECT_EQ(past.error().description,
              "no frame within 0.120 s of 10.500 s in '" + path + "'; the video ends at " +
                  std::string(clip().fps == 25 ? "4.000" : "10.000") + " s");
}

TEST_P(FrameSourceContract, FirstRequestFarIntoTheVideo) {
    // Seeking straight from the start, and again from there by less than one keyframe interval.
    const std::vector<double> requests = {times.back() - 1.5, times.back() - 0.7};
    expectPatternFrames(*open(requests), times, requests);
}

// ---------------------------------------------------------------------------------------------
// Particular clips and settings.

TEST(FrameSource, FromMemoryAsFromTheFile) {
    const std::string path = fromPattern("h264.mp4", "-t 4 " + x264 + " -bf 3");
    ASSERT_FALSE(path.empty());
    const auto bytes = readBytes(path);
    auto source = openFrameSourceOnMemory(bytes, "clip.mp4");
    expectPatternFrames(*source, evenTimes(100, 25), {0.0, 0.51, 2.91, 3.0, 3.96});
    const auto past = source->frameAt(4.2);
    ASSERT_FALSE(past);
    EXPECT_EQ(past.error().description,
              "no frame within 0.120 s of 4.200 s in 'clip.mp4'; the video ends at 4.000 s");
}

TEST(FrameSource, DecodeSettingsDoNotChangeTheAnswers) {
    const std::string path = fromPattern("h264-gop25.mp4", "-t 10 " + x264 + " -bf 3 -g 25");
    ASSERT_FALSE(path.empty());
    const std::vector<double> requests = {0.3, 1.96, 2.0, 2.04, 4.69, 4.71, 5.0, 7.99, 9.11, 9.96};
    const DecodeSettings variants[] = {
        {1, false, false}, {1, true, false}, {1, false, true}, {1, true, true}, {0, true, true}};
    for (const auto& settings : variants) {
        SCOPED_TRACE(::testing::Message()
                     << "threads " << settings.decoderThreads << ", skip "
                     << settings.skipNonReference << ", seek " << settings.seekForward);
        auto source = openFfmpegFrameSource(path, settings);
        expectPatternFrames(*source, evenTimes(250, 25), requests);
    }
}

TEST(FrameSource, LongGroupOfPictures) {
    // One keyframe in 10 s: every request decodes on from the last one.
    const std::string path = fromPattern("h264-long-gop.mp4", "-t 10 " + x264 + " -bf 3 -g 300");
    ASSERT_FALSE(path.empty());
    auto source = openFrameSource(path);
    expectPatternFrames(*source, evenTimes(250, 25), {0.51, 5.0, 5.03, 9.49});
}

// Videos whose frames are further apart than the tolerance: where no frame lies within it, the
// frame on screen answers for the requested time.
TEST(FrameSource, SparseFramesAnswerWithTheFrameOnScreen) {
    struct Request {
        double seconds;
        int frame;          // pattern number shown, -1: the request fails
        double answersFor;  // the time given with the frame
    };
    struct Case {
        const char* name;
        std::function<std::string()> make;
        std::vector<Request> requests;
        std::string failure;  // of the last request, after the file's name
    };
    const Case cases[] = {
        {"AVI at 15 fps whose stream repeats frames: one coded frame every 0.4 s",
         [] {
             return fromPattern("sparse-repeats.avi",
                                "-vf \"select='not(mod(n\\,10))',setpts=N*0.4/TB\" "
                                "-fps_mode passthrough -r 15 -c:v mpeg4 -q:v 3 -t 4");
         },
         {{0.0, 0, 0.0},
          {0.25, 0, 0.25},
          {0.5, 10, 0.4},
          {1.0, 20, 1.0},
          {1.1, 30, 1.2},
          {2.6, 60, 2.6},
          {3.65, 90, 3.6},
          {3.7, 90, 3.6},
          {3.8, -1, 0}},
         "; the video ends at 3.667 s"},
        {"2 frames a second, asked 4 times a second, with B-frames",
         [] {
             return fromPattern("two-fps.mp4",
                                "-vf \"select='not(mod(n\\,25))',setpts=N*0.5/TB\" "
                                "-fps_mode passthrough -r 2 " +
                                    x264 + " -bf 2");
         },
         {{0.0, 0, 0.0},
          {0.25, 0, 0.25},
          {0.5, 25, 0.5},
          {0.75, 25, 0.75},
          {4.75, 225, 4.75},
          {5.0, -1, 0}},
         "; the video ends at 5.000 s"},
        {"variable frame rate with a gap of 4 s",
         [] {
             return fromPattern("vfr-gap.mkv",
                                "-vf \"setpts='if(lt(N,25),N*0.04,5+(N-25)*0.04)/TB'\" "
                                "-frames:v 50 -fps_mode passthrough " +
                                    x264);
         },
         {{0.5, 12, 0.48},
          {1.0, 24, 0.96},
          {2.0, 24, 2.0},
          {4.5, 24, 4.5},
          {4.9, 25, 5.0},
          {5.5, 37, 5.48},
          {6.1, -1, 0}},
         "; the video ends at 6.000 s"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = c.make();
        ASSERT_FALSE(path.empty());
        auto source = openFrameSource(path);
        for (const Request& r : c.requests) {
            SCOPED_TRACE("requested " + std::to_string(r.seconds) + " s");
            const auto got = source->frameAt(r.seconds);
            if (r.frame < 0) {
                ASSERT_FALSE(got);
                EXPECT_EQ(got.error().description, "no frame within 0.120 s of " +
                                                       numberText(r.seconds, 3) + " s in '" + path +
                                                       "'" + c.failure);
                continue;
            }
            ASSERT_TRUE(got) << got.error().description;
            EXPECT_EQ(frameNumber(got->frame), r.frame);
            EXPECT_NEAR(got->seconds, r.answersFor, 1e-9);
        }
    }
}

TEST(FrameSource, VariableFrameRateWithAGap) {
    // Frames 0-49 every 0.04 s, then nothing until 2.52 s, then frames 50-79 every 0.12 s.
    const std::string path = fromPattern(
        "vfr.mkv", "-vf \"setpts='if(lt(N,50),N*0.04,2.52+(N-50)*0.12)/TB'\" -frames:v 80 " + x264 +
                       " -fps_mode passthrough");
    ASSERT_FALSE(path.empty());
    std::vector<double> times;
    for (int n = 0; n < 80; ++n) times.push_back(n < 50 ? n * 0.04 : 2.52 + (n - 50) * 0.12);
    auto source = openFrameSource(path);
    expectPatternFrames(*source, times, {0.51, 1.99, 2.06});
    const auto inGap = source->frameAt(2.2);  // frame 49 is on screen until 2.52 s
    ASSERT_TRUE(inGap) << inGap.error().description;
    EXPECT_EQ(frameNumber(inGap->frame), 49);
    EXPECT_EQ(inGap->seconds, 2.2);
    expectPatternFrames(*source, times, {2.42, 2.56, 2.62, 5.98});
}

TEST(FrameSource, StreamStartingLateStillStartsAtZero) {
    // The MPEG-TS muxer starts the clock at 1.4 s; a container start offset of 3 s on top.
    const std::string path = fromPattern("offset.ts", "-t 4 " + x264 + " -output_ts_offset 3");
    ASSERT_FALSE(path.empty());
    auto source = openFrameSource(path);
    expectPatternFrames(*source, evenTimes(100, 25), {0.0, 1.0, 3.96});
    const auto before = openFrameSource(path)->frameAt(-0.5);
    ASSERT_FALSE(before);
    EXPECT_EQ(before.error().description, "no frame within 0.120 s of -0.500 s in '" + path +
                                              "'; the next frame is at 0.000 s");
}

// ---------------------------------------------------------------------------------------------
// Upright pictures.

TEST(FrameSourcePicture, DisplayMatrixTurnsAndMirrorsUpright) {
    struct Case {
        const char* name;
        const char* stored;  // what the camera stored: the upright pattern turned back
        int a, b, c, d;      // the display matrix
    };
    const Case cases[] = {
        {"quarter turn clockwise", "transpose=cclock", 0, 1, -1, 0},
        {"half turn", "hflip,vflip", -1, 0, 0, -1},
        {"quarter turn anticlockwise", "transpose=clock", 0, -1, 1, 0},
        {"mirrored", "hflip", -1, 0, 0, 1},
        {"mirrored across the diagonal", "transpose=cclock_flip", 0, 1, 1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string name = "turned-" + std::string(c.stored) + ".mp4";
        const std::string path = fromPattern(name, "-t 1 -vf " + std::string(c.stored) + " " + x264,
                                             withDisplayMatrix(c.a, c.b, c.c, c.d));
        ASSERT_FALSE(path.empty());
        auto source = openFrameSource(path);
        expectPatternFrames(*source, evenTimes(25, 25), {0.0, 0.49});
        const auto got = source->frameAt(0.52);
        ASSERT_TRUE(got);
        EXPECT_EQ(got->frame.width, 160);
        EXPECT_EQ(got->frame.height, 96);
    }
}

TEST(FrameSourcePicture, FitsWithin960KeepingTheDisplayShape) {
    struct Case {
        const char* name;
        const char* file;
        const char* filters;
        int width, height;
        bool turn = false;
    };
    const Case cases[] = {
        {"HD landscape", "size-1280x720.mp4", "scale=1280:720,setsar=1", 960, 540},
        {"portrait", "size-720x1280.mp4", "scale=720:1280,setsar=1", 540, 960},
        {"landscape stored, shown turned", "size-1280x720-turned.mp4",
         "scale=720:1280,setsar=1,transpose=cclock", 540, 960, true},
        {"small is never enlarged", "size-160x96.mp4", "null", 160, 96},
        {"wide pixels", "size-640x480-sar4to3.mp4", "scale=640:480,setsar=4/3", 853, 480},
        {"anamorphic HD", "size-1440x1080-sar4to3.mp4", "scale=1440:1080,setsar=4/3", 960, 540},
        {"tall pixels", "size-200x100-sar1to2.mp4", "scale=200:100,setsar=1/2", 100, 100},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path =
            fromPattern(c.file, "-frames:v 3 -vf " + std::string(c.filters) + " " + x264,
                        c.turn ? withDisplayMatrix(0, 1, -1, 0) : testing::FixtureFinish{});
        ASSERT_FALSE(path.empty());
        const auto got = openFrameSource(path)->frameAt(0.04);
        ASSERT_TRUE(got) << got.error().description;
        ASSERT_TRUE(isWellFormed(got->frame));
        EXPECT_EQ(got->frame.width, c.width);
        EXPECT_EQ(got->frame.height, c.height);
        EXPECT_EQ(frameNumber(got->frame), 1);
    }
}

// Four stripes of gray 0, 64, 192 and 255 (full-range values), for checking levels.
std::string levelsClip(const std::string& name, const std::string& encoding) {
    const std::string stripes =
        makeFixture("stripes.mkv",
                    "-f lavfi -i \"color=black:s=160x96:r=25:d=1,format=gray,"
                    "geq=lum='if(lt(X,40),0,if(lt(X,80),64,if(lt(X,120),192,255)))'\" -c:v ffv1");
    if (stripes.empty()) return "";
    return makeFixture(name, "-i " + quoted(stripes) + " " + encoding);
}

TEST(FrameSourcePicture, AnyPixelFormatComesOutFullRange) {
    struct Case {
        const char* name;
        const char* file;
        std::string encoding;
        ColorMatrix matrix = ColorMatrix::bt601;
    };
    const Case cases[] = {
        {"8-bit 4:2:0 limited range", "levels-420-limited.mp4", x264},
        {"8-bit 4:2:0 full range by format", "levels-420-jpeg.mp4",
         "-c:v libx264 -pix_fmt yuvj420p"},
        {"8-bit 4:2:0 full range by flag", "levels-420-full.mkv",
         "-vf scale=out_range=full -color_range pc -c:v libx264 -pix_fmt yuv420p"},
        {"8-bit 4:4:4", "levels-444.mp4", "-c:v libx264 -pix_fmt yuv444p"},
        {"10-bit 4:2:0 HEVC", "levels-420-10.mp4",
         "-c:v libx265 -pix_fmt yuv420p10le -x265-params log-level=none"},
        {"10-bit 4:2:2 ProRes", "levels-422-10.mov", "-c:v prores_ks -profile:v 2"},
        {"10-bit 4:4:4 with alpha, ProRes 4444", "levels-4444.mov",
         "-c:v prores_ks -profile:v 4 -pix_fmt yuva444p10le"},
        {"RGB with alpha, PNG", "levels-rgba.mov", "-c:v png -pix_fmt rgba"},
        {"MJPEG 4:2:2", "levels-mjpeg.avi", "-c:v mjpeg -pix_fmt yuvj422p -q:v 2"},
        {"BT.709 tagged", "levels-709.mp4",
         x264 + " -colorspace bt709 -color_primaries bt709 -color_trc bt709", ColorMatrix::bt709},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = levelsClip(c.file, c.encoding);
        ASSERT_FALSE(path.empty()) << "could not make the fixture";
        const auto got = openFrameSource(path)->frameAt(0.5);
        ASSERT_TRUE(got) << got.error().description;
        ASSERT_TRUE(isWellFormed(got->frame));
        const double expected[] = {0, 64, 192, 255};
        for (int stripe = 0; stripe < 4; ++stripe) {
            SCOPED_TRACE(::testing::Message() << "stripe of gray " << expected[stripe]);
            for (const double fy : {0.2, 0.5, 0.8}) {
                EXPECT_NEAR(brightness(got->frame, (40.0 * stripe + 20.0) / 160.0, fy),
                            expected[stripe], 3.0);
            }
        }
        EXPECT_EQ(got->frame.matrix, c.matrix);
    }
}

TEST(FrameSourcePicture, LimitedRangeBlackAndWhiteRenderAsTheEndsOfTheGrayScale) {
    // Luma 16 is black and 235 white in limited-range video: decoded and rendered, they must give
    // the ends of the gray scale, not 16 and 235.
    for (auto [colour, level] : {std::pair{"black", 0}, std::pair{"white", 255}}) {
        SCOPED_TRACE(colour);
        const std::string path = makeFixture(
            std::string("limited-") + colour + ".mp4",
            std::string("-f lavfi -i color=") + colour +
                ":size=96x54:rate=5 -t 1 -c:v libx264 -pix_fmt yuv420p -color_range tv");
        ASSERT_FALSE(path.empty());
        auto source = openFrameSource(path);
        const auto frame = source->frameAt(0.4);
        ASSERT_TRUE(frame) << frame.error().description;
        EXPECT_EQ(signature(frame->frame, OpenCvGrayRenderer{}),
                  Signature(signatureWidth * signatureHeight, std::uint8_t(level)));
    }
}

// ---------------------------------------------------------------------------------------------
// Files that are no video.

TEST(FrameSourceErrors, BadFilesFailAtTheFirstRequestNamingStepFileAndReason) {
    const std::string dir = fixtureDir();
    std::ofstream(dir + "/notes.txt") << "Shopping list\nmilk\n";
    std::ofstream(dir + "/empty.mp4");
    const std::string fifo = dir + "/pipe.mp4";
    ASSERT_TRUE(::mkfifo(fifo.c_str(), 0600) == 0 || errno == EEXIST);
    const std::string tone = makeFixture("tone.wav", "-f lavfi -i sine=d=1");
    const std::string song =
        makeFixture("song-with-cover.m4a",
                    "-f lavfi -i sine=d=1 -f lavfi -i color=red:s=64x64:d=0.04 "
                    "-frames:v 1 -map 0 -map 1 -c:a aac -c:v png "
                    "-disposition:v attached_pic");
    const std::string huge =
        makeFixture("wide-16400.mkv", "-f lavfi -i color=black:s=16400x16 -frames:v 1 -c:v ffv1");
    ASSERT_FALSE(tone.empty());
    ASSERT_FALSE(song.empty());
    ASSERT_FALSE(huge.empty());

    const struct {
        std::string path;
        std::string description;
    } cases[] = {
        {dir + "/missing.mp4", "cannot open '" + dir + "/missing.mp4': No such file or directory"},
        {dir, "cannot open '" + dir + "': Is a directory"},
        {fifo, "cannot open '" + fifo + "': not a regular file"},
        {dir + "/notes.txt",
         "cannot open '" + dir + "/notes.txt': Invalid data found when processing input"},
        {dir + "/empty.mp4",
         "cannot open '" + dir + "/empty.mp4': Invalid data found when processing input"},
        {tone, "'" + tone + "' has no video stream"},
        {song, "'" + song + "' has no video stream"},
        {huge, "'" + huge + "' has pictures of 16400x16 pixels; at most 16384x16384 are supported"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        auto source = openFrameSource(c.path);
        const auto first = source->frameAt(0);
        ASSERT_FALSE(first);
        EXPECT_EQ(first.error().description, c.description);
        const auto second = source->frameAt(1);  // the same failure again, not a crash
        ASSERT_FALSE(second);
        EXPECT_EQ(second.error().description, c.description);
    }
}

TEST(FrameSourceErrors, NothingIsOpenedBeforeTheFirstRequest) {
    // The file comes into being after the source was made on its path.
    const std::string clip = fromPattern("h264.mp4", "-t 4 " + x264 + " -bf 3");
    ASSERT_FALSE(clip.empty());
    const std::string later = testing::privatePath("later.mp4");
    std::filesystem::remove(later);
    auto source = openFrameSource(later);
    std::filesystem::copy_file(clip, later);
    expectPatternFrames(*source, evenTimes(100, 25), {1.0});
    std::filesystem::remove(later);
}

TEST(FrameSourceErrors, DamagedBytesFailCleanly) {
    const std::string clip = fromPattern("h264.mp4", "-t 4 " + x264 + " -bf 3");
    ASSERT_FALSE(clip.empty());
    auto bytes = readBytes(clip);
    // Cut in half, and overwritten in the middle: either frames or an error, never a crash.
    std::vector<std::uint8_t> half(bytes.begin(), bytes.begin() + std::ptrdiff_t(bytes.size() / 2));
    auto damaged = bytes;
    for (std::size_t i = damaged.size() / 3; i < damaged.size() / 3 + 2000; ++i) damaged[i] ^= 0x5a;
    for (const std::vector<std::uint8_t>* variant : {&half, &damaged}) {
        auto source = openFrameSourceOnMemory(*variant, "clip.mp4");
        for (double t = 0; t < 4; t += 0.3) {
            const auto got = source->frameAt(t);
            if (!got) break;
            EXPECT_TRUE(isWellFormed(got->frame));
            EXPECT_LE(std::abs(got->seconds - t), FrameSource::toleranceSeconds + 1e-9);
        }
    }
}

// ---------------------------------------------------------------------------------------------
// The whole helper on real files.

TEST(FrameSourceEndToEnd, TurnedVideoAndBadFilesThroughTheHelper) {
    const std::string turned =
        fromPattern("turned-transpose=cclock.mp4", "-t 1 -vf transpose=cclock " + x264,
                    withDisplayMatrix(0, 1, -1, 0));
    ASSERT_FALSE(turned.empty());
    const auto ok = testing::runHelper({turned, "0.5", "0.6", "25"});
    EXPECT_EQ(ok.status, 0);
    EXPECT_EQ(ok.err, "");
    const auto samples = decodeSamples(ok.out);
    ASSERT_TRUE(samples) << samples.error().description << "\n" << ok.out;
    ASSERT_EQ(samples->size(), 3u);  // 0.5, 0.54, 0.58
    EXPECT_EQ(samples->front().timeSeconds(), 0.5);

    const std::string dir = fixtureDir();
    const auto directory = testing::runHelper({dir, "0", "1", "1"});
    EXPECT_EQ(directory.status, 1);
    EXPECT_EQ(directory.out, "");
    EXPECT_EQ(directory.err, "Auto framing failed: cannot open '" + dir + "': Is a directory\n");

    const auto past = testing::runHelper({turned, "0.5", "2", "1"});
    EXPECT_EQ(past.status, 1);
    EXPECT_EQ(past.out, "");
    EXPECT_EQ(past.err, "Auto framing failed: no frame within 0.120 s of 1.500 s in '" + turned +
                            "'; the video ends at 1.000 s\n");
}

}  // namespace
}  // namespace autoframe
