// The reframe renderer on small videos made at test time with the ffmpeg command. The pattern
// clip's frames carry their number as eight black or white blocks across the middle band (rows
// 24 to 72 of 96) and a white 24x24 marker in the top-left corner: a window on the band tells which
// source frame an output frame shows, a window on a corner which way up it was cut.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <sstream>

#include <gtest/gtest.h>

#include "core/text.h"
#include "platform/ffmpeg/frame_source.h"
#include "platform/ffmpeg/frame_times.h"
#include "platform/ffmpeg/reframe_writer.h"
#include "platform/ffmpeg/staged_file.h"
#include "platform/real_services.h"
#include "tests/pattern_clips.h"
#include "tests/support.h"

namespace autoframe::reframe {
namespace {

namespace fs = std::filesystem;
using testing::audioPacketsMd5;
using testing::brightness;
using testing::commandOutput;
using testing::fromPattern;
using testing::makeFixture;
using testing::privatePath;
using testing::readBytes;
using testing::withDisplayMatrix;
using testing::x264;

const bool librariesSilenced = (silenceLibraries(), true);

std::vector<double> numbersIn(const std::string& text) {
    std::vector<double> numbers;
    std::string spaced = text;
    std::replace(spaced.begin(), spaced.end(), ',', ' ');
    std::istringstream in(spaced);
    for (double value; in >> value;) numbers.push_back(value);
    return numbers;
}

// The presentation time of every video frame as ffprobe decodes them.
std::vector<double> probedFrameTimes(const std::string& path) {
    return numbersIn(
        commandOutput("ffprobe -v error -select_streams v:0 -show_entries "
                      "frame=best_effort_timestamp_time -of csv=p=0 " +
                      quoted(path)));
}

double probedDuration(const std::string& path) {
    const auto numbers = numbersIn(commandOutput(
        "ffprobe -v error -show_entries format=duration -of csv=p=0 " + quoted(path)));
    return numbers.empty() ? -1.0 : numbers.front();
}

std::string probed(const std::string& path, const std::string& stream, const std::string& entry) {
    std::string text =
        commandOutput("ffprobe -v error -select_streams " + stream +
                      " -show_entries stream=" + entry + " -of csv=p=0 " + quoted(path));
    while (!text.empty() && (text.back() == '\n' || text.back() == ',')) text.pop_back();
    return text;
}

// The number in a frame showing the pattern's band, blocks an eighth of the width each.
int bandNumber(const Frame& frame) {
    int number = 0;
    for (int bit = 0; bit < 8; ++bit) {
        number = number * 2 + (brightness(frame, (bit + 0.5) / 8.0, 0.5) > 128);
    }
    return number;
}

// Every frame of a video through the helper's own frame source, by the times frameTimes gives.
std::vector<Frame> decodedFrames(const std::string& path) {
    std::vector<Frame> frames;
    const auto times = frameTimes(path);
    if (!times) return frames;
    auto source = openFrameSource(path);
    for (const double t : times->seconds) {
        auto got = source->frameAt(t);
        if (!got) break;
        frames.push_back(std::move(got->frame));
    }
    return frames;
}

// A fresh folder of this test process for outputs.
std::string outputFolder(const std::string& name) {
    const std::string folder = privatePath(name);
    fs::remove_all(folder);
    fs::create_directories(folder);
    return folder;
}

std::vector<std::string> filesIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

WindowForFrame fixedWindow(SourceWindow window) {
    return [window](std::size_t, double) -> Expected<SourceWindow> { return window; };
}

RenderRequest request(const std::string& input, const std::string& output, EvenSize size,
                      WindowForFrame window) {
    RenderRequest r;
    r.input = input;
    r.output = output;
    r.size = size;
    r.window = std::move(window);
    return r;
}

// ---------------------------------------------------------------------------------------------
// Frame times

struct TimedClip {
    const char* name;
    std::function<std::string()> make;
    std::vector<double> times;  // every frame's, in display order
    bool fromPackets;
    int uprightWidth = 160, uprightHeight = 96;
};

std::vector<double> timesWithGap(int frames, double fps, double gapAfter = 1e9, double gap = 0) {
    std::vector<double> times;
    for (int n = 0; n < frames; ++n) times.push_back(n / fps + (n >= gapAfter ? gap : 0.0));
    return times;
}

// 0.48 s (twelve frames) missing after frame 25: a variable frame rate.
std::string withGap(const std::string& name, const std::string& encoding) {
    return fromPattern(
        name, "-frames:v 50 -vf \"setpts=PTS+gte(N\\,25)*0.48/TB\" -vsync passthrough " + encoding);
}

std::vector<TimedClip> timedClips() {
    return {
        {"H.264 in MP4 with B-frames",
         [] { return fromPattern("times-h264.mp4", "-t 2 " + x264 + " -bf 3"); },
         timesWithGap(50, 25), true},
        {"H.264 in MKV", [] { return fromPattern("times-h264.mkv", "-t 2 " + x264); },
         timesWithGap(50, 25), true},
        {"H.264 in MPEG-TS, starting at 1.4 s",
         [] { return fromPattern("times-h264.ts", "-t 2 " + x264 + " -bf 2"); },
         timesWithGap(50, 25), false},
        {"MPEG-4 Part 2 in AVI",
         [] { return fromPattern("times-mpeg4.avi", "-t 2 -c:v mpeg4 -q:v 3"); },
         timesWithGap(50, 25), false},
        {"variable rate H.264 in MP4", [] { return withGap("times-gap.mp4", x264 + " -bf 3"); },
         timesWithGap(50, 25, 25, 0.48), true},
        {"variable rate in MKV", [] { return withGap("times-gap.mkv", x264); },
         timesWithGap(50, 25, 25, 0.48), true},
        {"shown turned",
         [] {
             return fromPattern("times-turned.mp4", "-t 2 -vf transpose=cclock " + x264,
                                withDisplayMatrix(0, 1, -1, 0));
         },
         timesWithGap(50, 25), true},
        {"wide pixels", [] { return fromPattern("times-sar.mp4", "-t 2 -vf setsar=2 " + x264); },
         timesWithGap(50, 25), true, 320, 96},
    };
}

TEST(FrameTimes, EveryFrameOnTheHelpersClock) {
    for (const TimedClip& clip : timedClips()) {
        SCOPED_TRACE(clip.name);
        const std::string path = clip.make();
        ASSERT_FALSE(path.empty());
        const auto quick = frameTimes(path);
        const auto decoded = frameTimes(path, TimeReading::decoding);
        ASSERT_TRUE(quick) << quick.error().description;
        ASSERT_TRUE(decoded) << decoded.error().description;
        EXPECT_EQ(quick->fromPackets, clip.fromPackets);
        EXPECT_FALSE(decoded->fromPackets);
        // Reading packets gives what decoding gives, to the last bit.
        EXPECT_EQ(quick->seconds, decoded->seconds);
        EXPECT_EQ(quick->endSeconds, decoded->endSeconds);
        ASSERT_EQ(quick->seconds.size(), clip.times.size());
        for (std::size_t i = 0; i < clip.times.size(); ++i) {
            EXPECT_NEAR(quick->seconds[i], clip.times[i], 1e-3) << "frame " << i;
        }
        EXPECT_NEAR(quick->endSeconds, clip.times.back() + 0.04, 1e-3);
        for (const auto& got : {*quick, *decoded}) {
            EXPECT_EQ(got.uprightWidth, clip.uprightWidth);
            EXPECT_EQ(got.uprightHeight, clip.uprightHeight);
        }
        // The helper's frame source answers each time with that very frame.
        auto source = openFrameSource(path);
        for (std::size_t i = 0; i < quick->seconds.size(); i += 7) {
            const auto frame = source->frameAt(quick->seconds[i]);
            ASSERT_TRUE(frame) << frame.error().description;
            EXPECT_EQ(frame->seconds, quick->seconds[i]) << "frame " << i;
        }
    }
}

TEST(FrameTimes, RefusesWhatTheFrameSourceRefuses) {
    const std::string tone = makeFixture("reframe-tone.m4a", "-f lavfi -i sine=d=1 -c:a aac");
    ASSERT_FALSE(tone.empty());
    const std::string folder = outputFolder("times-folder");
    struct Case {
        const char* name;
        std::string path;
        std::string expected;
    };
    const Case cases[] = {
        {"audio only", tone, quoted(tone) + " has no video stream"},
        {"a folder", folder, "cannot open " + quoted(folder) + ": Is a directory"},
        {"missing", folder + "/missing.mp4",
         "cannot open " + quoted(folder + "/missing.mp4") + ": No such file or directory"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto got = frameTimes(c.path);
        ASSERT_FALSE(got);
        EXPECT_EQ(got.error().description, c.expected);
    }
}

// ---------------------------------------------------------------------------------------------
// Rendering

// A 2 s clip of the pattern as H.264 in MP4 with B-frames and a 440 Hz AAC track.
std::string patternWithAac() {
    return fromPattern("render-aac.mp4", "-f lavfi -i sine=f=440:d=2 -t 2 -map 0:v -map 1:a " +
                                             x264 + " -bf 3 -c:a aac -b:a 96k");
}

// The band of the pattern, whole: output frame i must show number i.
const SourceWindow band{0, 24, 160, 48};

TEST(RenderReframe, EveryFrameInItsTimeAndDurationKept) {
    struct Case {
        const char* name;
        std::function<std::string()> make;
    };
    const Case cases[] = {
        {"H.264 in MP4 with B-frames and audio", patternWithAac},
        {"variable rate in MKV", [] { return withGap("render-gap.mkv", x264); }},
        {"MPEG-TS starting at 1.4 s",
         [] { return fromPattern("render.ts", "-t 2 " + x264 + " -bf 2"); }},
        {"MPEG-4 Part 2 in AVI",
         [] { return fromPattern("render-mpeg4.avi", "-t 2 -c:v mpeg4 -q:v 3"); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string input = c.make();
        ASSERT_FALSE(input.empty());
        const auto source = frameTimes(input);
        ASSERT_TRUE(source) << source.error().description;
        const std::string output = outputFolder("render-times") + "/out.mp4";
        std::vector<std::pair<std::size_t, double>> asked;
        auto r = request(input, output, {160, 48},
                         [&](std::size_t index, double seconds) -> Expected<SourceWindow> {
                             asked.emplace_back(index, seconds);
                             return band;
                         });
        const auto rendered = renderReframe(r);
        ASSERT_TRUE(rendered) << rendered.error().description;
        EXPECT_EQ(rendered->frames, source->seconds.size());

        // Asked for every frame once, in order, at the times frameTimes gives.
        ASSERT_EQ(asked.size(), source->seconds.size());
        for (std::size_t i = 0; i < asked.size(); ++i) {
            EXPECT_EQ(asked[i].first, i);
            EXPECT_EQ(asked[i].second, source->seconds[i]) << "frame " << i;
        }
        // Out come the same frames at the same times, each showing its source frame.
        const auto outTimes = probedFrameTimes(output);
        ASSERT_EQ(outTimes.size(), source->seconds.size());
        for (std::size_t i = 0; i < outTimes.size(); ++i) {
            EXPECT_NEAR(outTimes[i], source->seconds[i], 1e-4) << "frame " << i;
        }
        const auto frames = decodedFrames(output);
        ASSERT_EQ(frames.size(), source->seconds.size());
        for (std::size_t i = 0; i < frames.size(); ++i) {
            ASSERT_EQ(frames[i].width, 160);
            ASSERT_EQ(frames[i].height, 48);
            EXPECT_EQ(bandNumber(frames[i]), int(i)) << "frame " << i;
        }
        const double oneFrame = 0.04;
        EXPECT_NEAR(probedDuration(output), probedDuration(input), oneFrame);
        EXPECT_NEAR(probedDuration(output), source->endSeconds, oneFrame);
        EXPECT_EQ(filesIn(fs::path(output).parent_path()), std::vector<std::string>{"out.mp4"});
    }
}

// Where the window lies, what the output shows there: fractions of the output and the expected
// level, white (the marker) or black.
struct Probe {
    double x, y;
    bool white;
};

struct WindowCase {
    const char* name;
    SourceWindow window;
    EvenSize size;
    std::vector<Probe> probes;
};

const std::vector<WindowCase>& windowCases() {
    static const std::vector<WindowCase> cases = {
        {"the marker at its own size", {0, 0, 24, 24}, {24, 24}, {{0.5, 0.5, true}}},
        {"a black corner", {136, 72, 24, 24}, {24, 24}, {{0.5, 0.5, false}}},
        {"the marker's corner, halved",
         {0, 0, 48, 48},
         {24, 24},
         {{0.2, 0.2, true}, {0.8, 0.2, false}, {0.2, 0.8, false}, {0.8, 0.8, false}}},
        {"the marker's right edge in the middle",
         {12, 0, 24, 24},
         {24, 24},
         {{0.2, 0.5, true}, {0.8, 0.5, false}}},
        {"a fractional corner rounds to the marker",
         {0.7, 0.6, 24, 24},
         {24, 24},
         {{0.5, 0.5, true}}},
        {"past the top-left corner, moved inside",
         {-30, -30, 24, 24},
         {24, 24},
         {{0.5, 0.5, true}}},
        {"past the bottom-right corner, moved inside",
         {150, 90, 24, 24},
         {24, 24},
         {{0.5, 0.5, false}}},
    };
    return cases;
}

void expectProbes(const Frame& frame, const std::vector<Probe>& probes) {
    for (const Probe& p : probes) {
        const double level = brightness(frame, p.x, p.y);
        if (p.white) {
            EXPECT_GT(level, 200) << "at " << p.x << ", " << p.y;
        } else {
            EXPECT_LT(level, 55) << "at " << p.x << ", " << p.y;
        }
    }
}

// The same upright pattern stored in other ways: the windows are on the upright picture.
TEST(RenderReframe, CutsTheWindowOfTheUprightPicture) {
    struct Source {
        const char* name;
        std::function<std::string()> make;
    };
    const Source sources[] = {
        {"upright", [] { return fromPattern("window.mp4", "-t 0.4 " + x264); }},
        {"stored turned left, shown turned right",
         [] {
             return fromPattern("window-turned.mp4", "-t 0.4 -vf transpose=cclock " + x264,
                                withDisplayMatrix(0, 1, -1, 0));
         }},
        {"stored upside down, shown turned back",
         [] {
             return fromPattern("window-flipped.mp4", "-t 0.4 -vf hflip,vflip " + x264,
                                withDisplayMatrix(-1, 0, 0, -1));
         }},
        {"stored mirrored, shown mirrored back",
         [] {
             return fromPattern("window-mirrored.mp4", "-t 0.4 -vf hflip " + x264,
                                withDisplayMatrix(-1, 0, 0, 1));
         }},
        {"stored at half width with pixels twice as wide",
         [] { return fromPattern("window-sar.mp4", "-t 0.4 -vf scale=80:96,setsar=2 " + x264); }},
        {"not 4:2:0 (RGB)",
         [] { return fromPattern("window-rgb.mkv", "-t 0.4 -pix_fmt rgb24 -c:v ffv1"); }},
        {"4:2:2 at 10 bits",
         [] { return fromPattern("window-422.mkv", "-t 0.4 -pix_fmt yuv422p10le -c:v ffv1"); }},
    };
    for (const Source& s : sources) {
        SCOPED_TRACE(s.name);
        const std::string input = s.make();
        ASSERT_FALSE(input.empty());
        for (const WindowCase& c : windowCases()) {
            SCOPED_TRACE(c.name);
            const std::string output = outputFolder("render-window") + "/out.mp4";
            const auto rendered =
                renderReframe(request(input, output, c.size, fixedWindow(c.window)));
            ASSERT_TRUE(rendered) << rendered.error().description;
            const auto frames = decodedFrames(output);
            ASSERT_EQ(frames.size(), 10u);
            for (const Frame& frame : frames) {
                ASSERT_EQ(frame.width, c.size.width);
                ASSERT_EQ(frame.height, c.size.height);
                expectProbes(frame, c.probes);
            }
        }
        // The number band, the whole width: the blocks in their order.
        const std::string output = outputFolder("render-window") + "/band.mp4";
        const auto rendered = renderReframe(request(input, output, {160, 48}, fixedWindow(band)));
        ASSERT_TRUE(rendered) << rendered.error().description;
        const auto frames = decodedFrames(output);
        ASSERT_EQ(frames.size(), 10u);
        for (std::size_t i = 0; i < frames.size(); ++i) EXPECT_EQ(bandNumber(frames[i]), int(i));
    }
}

// A window that moves and changes size from frame to frame: each frame is cut by its own window.
TEST(RenderReframe, EachFrameHasItsOwnWindow) {
    const std::string input = fromPattern("moving.mp4", "-t 1 " + x264);
    ASSERT_FALSE(input.empty());
    const auto cases = windowCases();
    const std::string output = outputFolder("render-moving") + "/out.mp4";
    const auto rendered = renderReframe(
        request(input, output, {24, 24}, [&](std::size_t index, double) -> Expected<SourceWindow> {
            return cases[index % cases.size()].window;
        }));
    ASSERT_TRUE(rendered) << rendered.error().description;
    const auto frames = decodedFrames(output);
    ASSERT_EQ(frames.size(), 25u);
    for (std::size_t i = 0; i < frames.size(); ++i) {
        SCOPED_TRACE("frame " + std::to_string(i) + ": " + cases[i % cases.size()].name);
        expectProbes(frames[i], cases[i % cases.size()].probes);
    }
}

TEST(RenderReframe, AudioCopiedWhereMp4HoldsItElseEncodedAsAac) {
    struct Case {
        const char* name;
        std::string file;
        std::string audio;  // the ffmpeg command's audio encoding
        AudioHandling expected;
        std::string codec;        // in the output
        bool samePackets = true;  // false: the same frames, their ADTS headers dropped as MP4 wants
    };
    const Case cases[] = {
        {"AAC in MP4", "audio-aac.mp4", "-c:a aac -b:a 96k", AudioHandling::copied, "aac"},
        {"AAC in MPEG-TS", "audio-aac.ts", "-c:a aac -b:a 96k", AudioHandling::copied, "aac",
         false},
        {"MP3 in MKV", "audio-mp3.mkv", "-c:a libmp3lame -b:a 96k", AudioHandling::copied, "mp3"},
        {"Opus in MKV", "audio-opus.mkv", "-c:a libopus -b:a 64k", AudioHandling::copied, "opus"},
        {"PCM in MOV", "audio-pcm.mov", "-c:a pcm_s16le", AudioHandling::encodedAsAac, "aac"},
        {"PCM at 24 bits in MKV", "audio-pcm24.mkv", "-c:a pcm_s24le", AudioHandling::encodedAsAac,
         "aac"},
        {"FLAC in MKV", "audio-flac.mkv", "-c:a flac", AudioHandling::encodedAsAac, "aac"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string input = fromPattern(
            c.file, "-f lavfi -i sine=f=440:d=2:sample_rate=48000 -t 2 -map 0:v -map 1:a " + x264 +
                        " -bf 3 " + c.audio);
        ASSERT_FALSE(input.empty());
        const std::string output = outputFolder("render-audio") + "/out.mp4";
        const auto rendered = renderReframe(request(input, output, {160, 48}, fixedWindow(band)));
        ASSERT_TRUE(rendered) << rendered.error().description;
        EXPECT_EQ(rendered->audio, c.expected);
        EXPECT_EQ(probed(output, "a", "codec_name"), c.codec);
        EXPECT_EQ(probed(output, "v", "codec_name"), "h264");
        if (c.expected == AudioHandling::copied && c.samePackets) {
            const std::string md5 = audioPacketsMd5(output);
            EXPECT_FALSE(md5.empty());
            EXPECT_EQ(md5, audioPacketsMd5(input));
        }
        // The audio lasts as long as before and starts with the video.
        const auto durations = numbersIn(probed(output, "a", "duration"));
        ASSERT_EQ(durations.size(), 1u);
        EXPECT_NEAR(durations[0], 2.0, 0.05);
        const auto starts = numbersIn(probed(output, "a", "start_time"));
        ASSERT_EQ(starts.size(), 1u);
        EXPECT_NEAR(starts[0], 0.0, 0.03);
        EXPECT_NEAR(probedDuration(output), probedDuration(input), 0.04);
    }
}

TEST(RenderReframe, ReportsProgressAfterEveryFrame) {
    const std::string input = patternWithAac();
    ASSERT_FALSE(input.empty());
    const std::string output = outputFolder("render-progress") + "/out.mp4";
    std::vector<RenderProgress> reports;
    auto r = request(input, output, {24, 24}, fixedWindow({0, 0, 24, 24}));
    r.expectedFrames = 50;
    r.progress = [&](const RenderProgress& p) { reports.push_back(p); };
    ASSERT_TRUE(renderReframe(r));
    ASSERT_EQ(reports.size(), 50u);
    for (std::size_t i = 0; i < reports.size(); ++i) {
        EXPECT_EQ(reports[i].framesDone, i + 1);
        EXPECT_EQ(reports[i].framesTotal, 50u);
        EXPECT_NEAR(reports[i].secondsDone, 0.04 * double(i + 1), 1e-6);
        EXPECT_NEAR(reports[i].secondsTotal, 2.0, 0.05);
    }
}

// ---------------------------------------------------------------------------------------------
// Failures: one line naming the file and the step; nothing left at the output but what was there.

const std::string previousBytes = "an earlier file";

// The folder of the output holds only the earlier file, unchanged.
void expectOnlyTheEarlierFile(const std::string& output) {
    EXPECT_EQ(filesIn(fs::path(output).parent_path()),
              std::vector<std::string>{fs::path(output).filename().string()});
    const auto bytes = readBytes(output);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), previousBytes);
}

TEST(RenderReframe, FailureMidwayLeavesTheEarlierFileAndNothingElse) {
    const std::string input = patternWithAac();
    ASSERT_FALSE(input.empty());
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        const char* name;
        WindowForFrame window;
        std::string expected;
    };
    const Case cases[] = {
        {"the planner fails at frame 30",
         [](std::size_t index, double) -> Expected<SourceWindow> {
             if (index == 30) return fail("Planner", 1, "no window for frame 30");
             return SourceWindow{0, 0, 24, 24};
         },
         "no window for frame 30"},
        {"a window without a size at frame 12",
         [nan](std::size_t index, double) -> Expected<SourceWindow> {
             return index == 12 ? SourceWindow{nan, 0, 24, 24} : SourceWindow{0, 0, 24, 24};
         },
         "the crop window of frame 12 at 0.480 s of " + quoted(input) +
             " is not a window: nan, 0, 24 x 24"},
        {"a window of no width at frame 0",
         [](std::size_t, double) -> Expected<SourceWindow> {
             return SourceWindow{0, 0, 0, 24};
         },
         "the crop window of frame 0 at 0.000 s of " + quoted(input) +
             " is not a window: 0, 0, 0 x 24"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string output = outputFolder("render-midway") + "/out.mp4";
        std::ofstream(output) << previousBytes;
        const auto rendered = renderReframe(request(input, output, {24, 24}, c.window));
        ASSERT_FALSE(rendered);
        EXPECT_EQ(rendered.error().description, c.expected);
        expectOnlyTheEarlierFile(output);
    }
}

TEST(RenderReframe, RefusesInputsAndOutputsItCannotUse) {
    const std::string input = patternWithAac();
    const std::string tone = makeFixture("reframe-tone.m4a", "-f lavfi -i sine=d=1 -c:a aac");
    ASSERT_FALSE(input.empty());
    ASSERT_FALSE(tone.empty());
    const std::string folder = outputFolder("render-refused");
    const std::string output = folder + "/out.mp4";
    struct Case {
        const char* name;
        std::string input;
        std::string output;
        EvenSize size;
        std::string expected;
    };
    const Case cases[] = {
        {"no video", tone, output, {24, 24}, quoted(tone) + " has no video stream"},
        {"a missing input",
         folder + "/none.mp4",
         output,
         {24, 24},
         "cannot open " + quoted(folder + "/none.mp4") + ": No such file or directory"},
        {"a folder as input",
         folder,
         output,
         {24, 24},
         "cannot open " + quoted(folder) + ": Is a directory"},
        {"a missing output folder",
         input,
         folder + "/none/out.mp4",
         {24, 24},
         "cannot write " + quoted(folder + "/none/out.mp4") + ": No such file or directory"},
        {"a folder as output",
         input,
         folder,
         {24, 24},
         "cannot write " + quoted(folder) + ": Is a directory"},
        {"an odd output size",
         input,
         output,
         {25, 24},
         "cannot write " + quoted(output) +
             ": the output size 25x24 is not two even numbers between 2 and 16384"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto rendered =
            renderReframe(request(c.input, c.output, c.size, fixedWindow({0, 0, 24, 24})));
        ASSERT_FALSE(rendered);
        EXPECT_EQ(rendered.error().description, c.expected);
        EXPECT_TRUE(filesIn(folder).empty());
    }
}

TEST(RenderReframe, NeverWritesOverItsInput) {
    const std::string master = patternWithAac();
    ASSERT_FALSE(master.empty());
    const std::string folder = outputFolder("render-self");
    const std::string input = folder + "/clip.mp4";
    fs::copy_file(master, input);
    const auto before = readBytes(input);
    const auto rendered =
        renderReframe(request(input, input, {24, 24}, fixedWindow({0, 0, 24, 24})));
    ASSERT_FALSE(rendered);
    EXPECT_EQ(rendered.error().description,
              "cannot write " + quoted(input) + ": it is the video being read");
    EXPECT_EQ(readBytes(input), before);
    EXPECT_EQ(filesIn(folder), std::vector<std::string>{"clip.mp4"});
}

// Runs `body` in a child process without root's rights (as nobody), so that folder permissions
// hold; gives its text back.
std::string asNobody(const std::function<std::string()>& body) {
    int pipeEnds[2];
    if (::pipe(pipeEnds) != 0) return "no pipe";
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipeEnds[0]);
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(2);
        const std::string text = body();
        const bool written = ::write(pipeEnds[1], text.data(), text.size()) == ssize_t(text.size());
        ::_exit(written ? 0 : 1);
    }
    ::close(pipeEnds[1]);
    std::string text;
    char buffer[1024];
    for (ssize_t n; (n = ::read(pipeEnds[0], buffer, sizeof buffer)) > 0;)
        text.append(buffer, std::size_t(n));
    ::close(pipeEnds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? text : "child failed";
}

TEST(RenderReframe, UnwritableFolderFailsBeforeDecoding) {
    const std::string master = patternWithAac();
    ASSERT_FALSE(master.empty());
    const std::string folder = outputFolder("render-locked");
    const std::string input = folder + "/clip.mp4";
    const std::string output = folder + "/out.mp4";
    fs::copy_file(master, input);
    ::chmod(input.c_str(), 0644);
    ::chmod(folder.c_str(), 0555);
    bool asked = false;
    const std::string got = asNobody([&] {
        const auto rendered = renderReframe(
            request(input, output, {24, 24}, [&](std::size_t, double) -> Expected<SourceWindow> {
                asked = true;
                return SourceWindow{0, 0, 24, 24};
            }));
        return rendered ? std::string("rendered")
                        : rendered.error().description + (asked ? " (asked)" : "");
    });
    ::chmod(folder.c_str(), 0755);
    EXPECT_EQ(got, "cannot write " + quoted(output) + ": Permission denied");
    EXPECT_EQ(filesIn(folder), std::vector<std::string>{"clip.mp4"});
}

}  // namespace
}  // namespace autoframe::reframe
