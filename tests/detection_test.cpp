#include <gtest/gtest.h>

#include "analysis/detection.h"
#include "tests/support.h"

namespace autoframe {
namespace {

using testing::FakeDetectors;
using testing::grayFrame;

void expectObservation(const Observation& actual, const Observation& expected) {
    // Exact: each value is one double division of the pixel value by the frame side.
    EXPECT_EQ(actual.x(), expected.x());
    EXPECT_EQ(actual.y(), expected.y());
    EXPECT_EQ(actual.width(), expected.width());
    EXPECT_EQ(actual.height(), expected.height());
    EXPECT_EQ(actual.confidence(), expected.confidence());
}

TEST(Observation, PixelBoxesBecomeFractionsOfTheFrame) {
    struct Case {
        const char* name;
        PixelBox box;
        int frameWidth, frameHeight;
        Observation expected;
    };
    const Case cases[] = {
        {"inside", {50, 50, 40, 30, 0.5f}, 200, 100, {0.25, 0.5, 0.2, 0.3, 0.5}},
        {"top edge at the top of the frame", {0, 0, 200, 40, 1.0f}, 200, 100, {0, 0, 1, 0.4, 1}},
        {"negative sizes are read by the edges",
         {90, 80, -40, -30, 0.5f},
         200,
         100,
         {0.25, 0.5, 0.2, 0.3, 0.5}},
        {"negative fractional sizes",
         {10.5, 20.25, -0.5, -0.25, 0.5f},
         200,
         100,
         {0.05, 0.2, 0.0025, 0.0025, 0.5}},
        {"past the top-left edges, not clamped",
         {-20, -10, 240, 130, 0.25f},
         200,
         100,
         {-0.1, -0.1, 1.2, 1.3, 0.25}},
        {"past the bottom-right edges, not clamped",
         {180, 90, 40, 20, 0.25f},
         200,
         100,
         {0.9, 0.9, 0.2, 0.2, 0.25}},
        {"portrait frame: x by width, y by height",
         {27, 96, 54, 192, 0.5f},
         540,
         960,
         {0.05, 0.1, 0.1, 0.2, 0.5}},
        {"one-pixel frame", {0, 0, 1, 1, 0.5f}, 1, 1, {0, 0, 1, 1, 0.5}},
        {"a 32-bit confidence is widened, not rounded to a short decimal",
         {0, 0, 2, 1, 0.8f},
         2,
         1,
         {0, 0, 1, 1, 0.800000011920929}},
        {"zero and one confidence", {0, 0, 0, 0, 0.0f}, 2, 1, {0, 0, 0, 0, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        expectObservation(observation(c.box, c.frameWidth, c.frameHeight), c.expected);
    }
}

TEST(DetectRectangles, ConvertsEveryBoxInTheDetectorsOrder) {
    FakeDetectors detectors;
    // Faces in the order B, A (the worse one first); humans independent of faces.
    detectors.replies.push_back(
        Detections{{{100, 0, 50, 50, 0.25f}, {0, 0, 100, 100, 0.75f}},
                   {{0, 0, 200, 100, 0.5f}, {100, 50, 100, 50, 0.5f}, {-10, -10, 20, 20, 0.125f}}});
    auto found = detectRectangles(grayFrame(200, 100, 0), detectors);
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(detectors.calls, 1);
    ASSERT_EQ(found->faces.size(), 2u);
    expectObservation(found->faces[0], {0.5, 0, 0.25, 0.5, 0.25});
    expectObservation(found->faces[1], {0, 0, 0.5, 1, 0.75});
    ASSERT_EQ(found->humans.size(), 3u);
    expectObservation(found->humans[0], {0, 0, 1, 1, 0.5});
    expectObservation(found->humans[1], {0.5, 0.5, 0.5, 0.5, 0.5});
    expectObservation(found->humans[2], {-0.05, -0.1, 0.1, 0.2, 0.125});
}

TEST(DetectRectangles, NothingFoundGivesEmptyLists) {
    FakeDetectors detectors;
    auto found = detectRectangles(grayFrame(8, 8, 0), detectors);
    ASSERT_TRUE(found.has_value());
    EXPECT_TRUE(found->faces.empty());
    EXPECT_TRUE(found->humans.empty());
}

TEST(DetectRectangles, PassesTheDetectorsErrorOnUnchanged) {
    FakeDetectors detectors;
    detectors.replies.push_back(
        std::unexpected(Error{"AutoFramingDetection", 2, "face detector: out of memory"}));
    auto found = detectRectangles(grayFrame(8, 8, 0), detectors);
    ASSERT_FALSE(found.has_value());
    EXPECT_EQ(found.error().domain, "AutoFramingDetection");
    EXPECT_EQ(found.error().code, 2);
    EXPECT_EQ(found.error().description, "face detector: out of memory");
}

}  // namespace
}  // namespace autoframe
