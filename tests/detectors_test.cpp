// The detectors on the models built into the binary, on real pictures (Debian's opencv-doc
// examples, installed by scripts/setup.sh), and their failures.
#include <gtest/gtest.h>
#include <sched.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/onnx/detectors.h"
#include "platform/onnx/input_planes.h"
#include "platform/onnx/models.h"
#include "platform/onnx/runtime.h"
#include "platform/onnx/thread_shares.h"
#include "platform/real_services.h"
#include "tests/support.h"

namespace autoframe {
namespace {

using testing::fixtureDir;
using testing::grayFrame;
using testing::readFile;

const std::string pictureDir = "/usr/share/doc/opencv-doc/examples/data/";

// A picture as a frame: ffmpeg turns it into a binary PPM (RGB), read here into packed BGR.
Frame picture(const std::string& name) {
    const std::string ppm =
        testing::makeFixture(name + ".ppm", "-i '" + pictureDir + name +
                                                "' -frames:v 1 -c:v ppm -pix_fmt rgb24 -f image2");
    if (ppm.empty()) {
        ADD_FAILURE() << "cannot convert " << pictureDir << name << " (package opencv-doc)";
        return {};
    }
    std::ifstream in(ppm, std::ios::binary);
    std::string magic;
    int maximum = 0;
    Frame frame;
    in >> magic >> frame.width >> frame.height >> maximum;
    in.get();
    if (magic != "P6" || maximum != 255 || frame.width <= 0 || frame.height <= 0) {
        ADD_FAILURE() << "unexpected PPM header in " << ppm;
        return {};
    }
    frame.bgr.resize(std::size_t(frame.width) * std::size_t(frame.height) * 3);
    in.read(reinterpret_cast<char*>(frame.bgr.data()), std::streamsize(frame.bgr.size()));
    for (std::size_t i = 0; i < frame.bgr.size(); i += 3) std::swap(frame.bgr[i], frame.bgr[i + 2]);
    return frame;
}

Frame crop(const Frame& from, int left, int top, int width, int height) {
    Frame frame;
    frame.width = width;
    frame.height = height;
    for (int y = top; y < top + height; ++y) {
        const auto row = from.bgr.begin() + (std::ptrdiff_t(y) * from.width + left) * 3;
        frame.bgr.insert(frame.bgr.end(), row, row + std::ptrdiff_t(width) * 3);
    }
    return frame;
}

struct Rect {
    double left, top, width, height;
};

double iou(const PixelBox& a, const Rect& b) {
    const double w = std::min(a.left + a.width, b.left + b.width) - std::max(a.left, b.left);
    const double h = std::min(a.top + a.height, b.top + b.height) - std::max(a.top, b.top);
    if (w <= 0 || h <= 0) return 0;
    return w * h / (a.width * a.height + b.width * b.height - w * h);
}

// Every required box is found (IoU >= 0.5) by a different detection, and every detection is one
// of the required or optional boxes.
void expectFound(const std::vector<PixelBox>& found, const std::vector<Rect>& required,
                 const std::vector<Rect>& optional) {
    std::vector<bool> used(found.size());
    for (const Rect& label : required) {
        std::size_t best = found.size();
        for (std::size_t i = 0; i < found.size(); ++i) {
            if (!used[i] && iou(found[i], label) >= 0.5 &&
                (best == found.size() || iou(found[i], label) > iou(found[best], label))) {
                best = i;
            }
        }
        EXPECT_LT(best, found.size()) << "nothing found at " << label.left << "," << label.top
                                      << " " << label.width << "x" << label.height;
        if (best < found.size()) used[best] = true;
    }
    for (std::size_t i = 0; i < found.size(); ++i) {
        if (used[i]) continue;
        const bool labelled = std::any_of(optional.begin(), optional.end(), [&](const Rect& label) {
            return iou(found[i], label) >= 0.5;
        });
        EXPECT_TRUE(labelled) << "unexpected box at " << found[i].left << "," << found[i].top << " "
                              << found[i].width << "x" << found[i].height;
    }
}

void expectSane(const std::vector<PixelBox>& boxes) {
    for (const PixelBox& box : boxes) {
        EXPECT_GT(box.width, 0);
        EXPECT_GT(box.height, 0);
        EXPECT_GE(box.confidence, 0.0f);
        EXPECT_LE(box.confidence, 1.0f);
    }
}

std::string describe(const Detections& d) {
    std::ostringstream text;
    for (const auto* list : {&d.faces, &d.humans}) {
        text << (list == &d.faces ? "faces:" : " humans:");
        for (const PixelBox& b : *list) {
            text << " (" << b.left << "," << b.top << " " << b.width << "x" << b.height << " "
                 << b.confidence << ")";
        }
    }
    return text.str();
}

// The ways the two networks can share the cores.
const std::pair<const char*, DetectorThreads> ways[] = {
    {"one after the other, 1 thread each", {{1, false}, {1, false}, false}},
    {"one after the other, 2 threads each", {{2, false}, {2, false}, false}},
    {"side by side, 1 thread each", {{1, false}, {1, false}, true}},
    {"side by side, 2 threads each", {{2, false}, {2, false}, true}},
};

class OnnxDetectors : public ::testing::Test {
protected:
    static void SetUpTestSuite() { silenceLibraries(); }
    std::unique_ptr<autoframe::Detectors> detectors = makeOnnxDetectors();
};

// Boxes labelled by hand on the pictures, in pixels: required ones must be found, optional ones
// may be, and nothing else may be found.
TEST_F(OnnxDetectors, FindThePeopleInPictures) {
    struct Case {
        const char* picture;
        std::vector<Rect> faces, optionalFaces;
        std::vector<Rect> humans, optionalHumans;
        bool crowd;  // a blurred crowd fills the background: other humans may be found there
    };
    const Case cases[] = {
        // Two men playing catch, both bodies whole but one cut by the bottom edge; one face
        // frontal, the other seen in profile from behind (optional).
        {"basketball1.png",
         {{70, 88, 36, 48}},
         {{510, 58, 42, 66}},
         {{35, 80, 130, 395}, {437, 22, 203, 458}},
         {},
         false},
        // A footballer in front of a blurred crowd: his face is the only sharp one.
        {"messi5.jpg", {{227, 90, 30, 42}}, {}, {{64, 61, 430, 275}}, {}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.picture);
        const Frame frame = picture(c.picture);
        auto found = detectors->detect(frame);
        ASSERT_TRUE(found.has_value()) << found.error().description;
        SCOPED_TRACE(describe(*found));
        expectFound(found->faces, c.faces, c.optionalFaces);
        std::vector<Rect> optionalHumans = c.optionalHumans;
        if (c.crowd) {
            for (const PixelBox& b : found->humans) {
                optionalHumans.push_back({b.left, b.top, b.width, b.height});
            }
        }
        expectFound(found->humans, c.humans, optionalHumans);
        expectSane(found->faces);
        expectSane(found->humans);
    }
}

TEST_F(OnnxDetectors, FindNobodyInPicturesWithoutPeople) {
    for (const char* name : {"fruits.jpg", "stuff.jpg", "home.jpg", "building.jpg"}) {
        SCOPED_TRACE(name);
        auto found = detectors->detect(picture(name));
        ASSERT_TRUE(found.has_value()) << found.error().description;
        EXPECT_TRUE(found->faces.empty()) << describe(*found);
        EXPECT_TRUE(found->humans.empty()) << describe(*found);
    }
}

// The networks run on sides padded to multiples of 32: frames of any size work, and a frame of
// another size in between (new blob shape, other padding) leaves the next result unchanged.
TEST_F(OnnxDetectors, HandleEverySizeAndReuseTheirBuffers) {
    const Frame people = picture("basketball1.png");
    ASSERT_EQ(people.width, 640);
    auto first = detectors->detect(people);
    ASSERT_TRUE(first.has_value()) << first.error().description;

    struct Case {
        const char* name;
        Frame frame;
        std::size_t faces, humans;
    };
    const Case cases[] = {
        {"1x1", grayFrame(1, 1, 128), 0, 0},
        {"7x5", grayFrame(7, 5, 255), 0, 0},
        // Once gave a face of infinite size: the net's log-size output overflowed exp().
        {"1 pixel tall", grayFrame(961, 1, 0), 0, 0},
        {"portrait 541x961", grayFrame(541, 961, 30), 0, 0},
        // The left man alone, on a frame of odd sides taller than wide.
        {"odd portrait crop", crop(people, 0, 23, 211, 457), 1, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto found = detectors->detect(c.frame);
        ASSERT_TRUE(found.has_value()) << found.error().description;
        EXPECT_EQ(found->faces.size(), c.faces) << describe(*found);
        EXPECT_EQ(found->humans.size(), c.humans) << describe(*found);
        for (const auto* list : {&found->faces, &found->humans}) {
            for (const PixelBox& box : *list) {
                EXPECT_LT(box.left, c.frame.width);
                EXPECT_LT(box.top, c.frame.height);
            }
        }
    }

    auto again = detectors->detect(people);
    ASSERT_TRUE(again.has_value()) << again.error().description;
    EXPECT_EQ(describe(*again), describe(*first));
}

// Side by side or one after the other, on any number of threads, the detections are the same to
// the last bit, frame after frame (each network keeps its buffers across frames, and the second
// looks at faces run while the person network runs).
TEST(BothNetworks, GiveTheSameDetectionsOnAnyThreads) {
    silenceLibraries();
    const Frame people = picture("basketball1.png");
    const Frame footballer = picture("messi5.jpg");
    const Frame frames[] = {people, footballer, crop(people, 0, 23, 211, 457), people};
    auto reference = makeOnnxDetectors(faceModel(), humanModel(), faceSettings, humanSettings,
                                       std::begin(ways)->second);
    std::vector<std::string> expected;
    for (const Frame& frame : frames) {
        auto found = reference->detect(frame);
        ASSERT_TRUE(found.has_value()) << found.error().description;
        expected.push_back(describe(*found));
    }
    ASSERT_NE(expected[0], describe({}));
    for (const auto& [way, threads] : ways) {
        SCOPED_TRACE(way);
        auto detectors =
            makeOnnxDetectors(faceModel(), humanModel(), faceSettings, humanSettings, threads);
        for (std::size_t i = 0; i < std::size(frames); ++i) {
            SCOPED_TRACE(i);
            auto found = detectors->detect(frames[i]);
            ASSERT_TRUE(found.has_value()) << found.error().description;
            EXPECT_EQ(describe(*found), expected[i]);
        }
    }
}

TEST_F(OnnxDetectors, EmptyFrameFindsNothingAndShortBufferFails) {
    auto empty = detectors->detect(Frame{});
    ASSERT_TRUE(empty.has_value());
    EXPECT_TRUE(empty->faces.empty());
    EXPECT_TRUE(empty->humans.empty());

    Frame shortFrame = grayFrame(4, 4, 0);
    shortFrame.bgr.pop_back();
    auto found = detectors->detect(shortFrame);
    ASSERT_FALSE(found.has_value());
    EXPECT_EQ(found.error().description,
              "face detector: a frame of 4x4 holds 47 bytes instead of 48");
}

// A model that cannot load fails the detection with an error naming the detector and carrying
// OpenCV's message on one line; nothing is thrown and nothing reaches stderr.
TEST(DetectorModels, ThatCannotLoadFailTheDetection) {
    silenceLibraries();
    const std::string junk = "this is not an ONNX graph";
    const auto junkBytes = std::as_bytes(std::span(junk.data(), junk.size()));
    const auto truncated = faceModel().first(faceModel().size() / 2);
    struct Case {
        const char* name;
        std::span<const std::byte> face, human;
        const char* prefix;
    };
    const Case cases[] = {
        {"junk face model", junkBytes, humanModel(), "face detector: "},
        {"truncated face model", truncated, humanModel(), "face detector: "},
        {"empty human model", faceModel(), {}, "human detector: "},
        {"face model as human model", faceModel(), faceModel(), "human detector: "},
        // Both fail: the face network's failure is the one reported, side by side too.
        {"junk face and human models", junkBytes, junkBytes, "face detector: "},
        {"truncated face model, empty human model", truncated, {}, "face detector: "},
    };
    for (const auto& [way, threads] : ways) {
        for (const auto& c : cases) {
            SCOPED_TRACE(c.name);
            SCOPED_TRACE(way);
            auto detectors =
                makeOnnxDetectors(c.face, c.human, faceSettings, humanSettings, threads);
            ::testing::internal::CaptureStderr();
            auto found = detectors->detect(grayFrame(64, 48, 0));
            auto again = detectors->detect(grayFrame(64, 48, 0));
            EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
            ASSERT_FALSE(found.has_value());
            const std::string& text = found.error().description;
            EXPECT_EQ(text.rfind(c.prefix, 0), 0u) << text;
            EXPECT_GT(text.size(), std::string(c.prefix).size() + 5) << text;
            EXPECT_EQ(text.find('\n'), std::string::npos) << text;
            EXPECT_EQ(found.error().domain, "AutoFramingDetection");
            ASSERT_FALSE(again.has_value());
            EXPECT_EQ(again.error().description, text);
        }
    }
}

// A picture 3 pixels wide and 2 tall whose values tell where they come from: 100 * colour
// (B 0, G 1, R 2) + 10 * row + column. Its rows lie 12 bytes apart, the 3 bytes past each row
// 255, which must not be read.
std::vector<std::uint8_t> numberedPicture() {
    std::vector<std::uint8_t> bytes(2 * 12, 255);
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 3; ++x) {
            for (int c = 0; c < 3; ++c) {
                bytes[std::size_t(y * 12 + x * 3 + c)] = std::uint8_t(100 * c + 10 * y + x);
            }
        }
    }
    return bytes;
}

TEST(InputPlanes, HoldThePictureInTheNetworksOrderAndPaddingElsewhere) {
    constexpr float p = -1;  // padding
    struct Case {
        const char* name;
        PlaneOrder order;
        Size input;
        std::array<std::int64_t, 4> shape;
        std::vector<float> planes;
    };
    const Case cases[] = {
        {"B, G, R", PlaneOrder::bgr, {4, 3}, {1, 3, 3, 4}, {0,   1,   2,   p, 10,  11,
                                                            12,  p,   p,   p, p,   p,  // B
                                                            100, 101, 102, p, 110, 111,
                                                            112, p,   p,   p, p,   p,  // G
                                                            200, 201, 202, p, 210, 211,
                                                            212, p,   p,   p, p,   p}},  // R
        // Each plane 2 x 2: (even row, even column), (odd, even), (even, odd), (odd, odd), each
        // B, G, R; the second rows of the planes come from the padding's rows 2 and 3.
        {"B, G, R by row and column parity",
         PlaneOrder::parityBgr,
         {4, 4},
         {1, 12, 2, 2},
         {0,  2,  p, p, 100, 102, p, p, 200, 202, p, p,    // rows 0, 2; columns 0, 2
          10, 12, p, p, 110, 112, p, p, 210, 212, p, p,    // rows 1, 3; columns 0, 2
          1,  p,  p, p, 101, p,   p, p, 201, p,   p, p,    // rows 0, 2; columns 1, 3
          11, p,  p, p, 111, p,   p, p, 211, p,   p, p}},  // rows 1, 3; columns 1, 3
    };
    const std::vector<std::uint8_t> picture = numberedPicture();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(inputShape(c.input, c.order), c.shape);
        std::vector<float> planes(inputFloats(c.input), 12345.0f);
        ASSERT_EQ(planes.size(), c.planes.size());
        fillPlanes(picture.data(), {3, 2}, 12, c.input, c.order, p, planes);
        EXPECT_EQ(planes, c.planes);
    }
}

// The person network built into the binary, given the 12 planes, gives to the last bit what the
// network it is made from gives on the picture itself (the pinned dynamic file, which the build
// keeps beside the one it makes): on a real picture whose odd sides leave padding in the middle
// of the sub-images.
TEST(InputPlanes, GiveThePersonNetworkWithoutSlicingTheOriginalsOutputs) {
    const std::string original = fixtureDir() + "/../../models/yolox_nano_dynamic.onnx";
    const std::string bytes = readFile(original);
    ASSERT_FALSE(bytes.empty()) << "cannot read " << original;
    const Frame frame = crop(picture("basketball1.png"), 0, 0, 301, 233);
    const Size input{320, 256};

    struct Run {
        std::span<const std::byte> model;
        PlaneOrder order;
        std::vector<float> output;
    };
    Run runs[] = {{std::as_bytes(std::span(bytes.data(), bytes.size())), PlaneOrder::bgr, {}},
                  {humanModel(), PlaneOrder::parityBgr, {}}};
    for (Run& run : runs) {
        auto model = onnx::Model::load(run.model, {1, false});
        ASSERT_TRUE(model.has_value()) << model.error().description;
        std::vector<float> planes(inputFloats(input));
        fillPlanes(frame.bgr.data(), {frame.width, frame.height}, std::size_t(frame.width) * 3,
                   input, run.order, 114.0f, planes);
        const auto shape = inputShape(input, run.order);
        auto ran = model->run(planes, shape);
        ASSERT_TRUE(ran.has_value()) << ran.error().description;
        auto output = model->output(0);
        ASSERT_TRUE(output.has_value()) << output.error().description;
        run.output.assign(output->values.begin(), output->values.end());
    }
    ASSERT_EQ(runs[0].output.size(), std::size_t(10 * 8 + 20 * 16 + 40 * 32) * 85);
    EXPECT_TRUE(runs[0].output == runs[1].output);
}

TEST(ThreadShares, SplitTheCoresBetweenTheNetworksAndTheDecoding) {
    struct Case {
        int cores;
        ThreadShares shares;
    };
    const Case cases[] = {
        {0, {.faces = 1, .humans = 1, .decoding = 1, .sideBySide = false}},
        {1, {.faces = 1, .humans = 1, .decoding = 1, .sideBySide = false}},
        {2, {.faces = 1, .humans = 1, .decoding = 1, .sideBySide = true}},
        {3, {.faces = 1, .humans = 1, .decoding = 1, .sideBySide = true}},
        {4, {.faces = 1, .humans = 2, .decoding = 1, .sideBySide = true}},
        {6, {.faces = 2, .humans = 3, .decoding = 1, .sideBySide = true}},
        {8, {.faces = 3, .humans = 4, .decoding = 1, .sideBySide = true}},
        {16, {.faces = 7, .humans = 8, .decoding = 1, .sideBySide = true}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.cores);
        const ThreadShares shares = shareThreads(c.cores);
        EXPECT_EQ(shares.faces, c.shares.faces);
        EXPECT_EQ(shares.humans, c.shares.humans);
        EXPECT_EQ(shares.decoding, c.shares.decoding);
        EXPECT_EQ(shares.sideBySide, c.shares.sideBySide);
    }
}

// The cores counted are those the process may run on, not the machine's: a thread narrowed to
// one core counts one.
TEST(ThreadShares, CountTheCoresThisProcessMayUse) {
    cpu_set_t all;
    CPU_ZERO(&all);
    ASSERT_EQ(sched_getaffinity(0, sizeof all, &all), 0);
    EXPECT_EQ(usableCores(), CPU_COUNT(&all));
    int counted = 0;
    std::thread narrowed([&] {
        cpu_set_t one;
        CPU_ZERO(&one);
        for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
            if (CPU_ISSET(cpu, &all)) {
                CPU_SET(cpu, &one);
                break;
            }
        }
        if (sched_setaffinity(0, sizeof one, &one) == 0) counted = usableCores();
    });
    narrowed.join();
    EXPECT_EQ(counted, 1);
}

}  // namespace
}  // namespace autoframe
