// From raw network outputs to frame boxes, on small hand-made tensors.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <type_traits>
#include <vector>

#include "analysis/network_boxes.h"

namespace autoframe {
namespace {

// A box in a network's input (with its score) or in the frame (with its confidence).
template <class Box>
void expectBox(const Box& c, double left, double top, double width, double height, float score) {
    EXPECT_DOUBLE_EQ(c.left, left);
    EXPECT_DOUBLE_EQ(c.top, top);
    EXPECT_DOUBLE_EQ(c.width, width);
    EXPECT_DOUBLE_EQ(c.height, height);
    if constexpr (std::is_same_v<Box, Candidate>) {
        EXPECT_EQ(c.score, score);
    } else {
        EXPECT_EQ(c.confidence, score);
    }
}

TEST(InputLayout, ScalesThenPadsToMultiplesOf32) {
    struct Case {
        const char* name;
        Size frame;
        double scale;
        InputLayout expected;
    };
    const Case cases[] = {
        {"landscape at 4/3", {960, 540}, 4.0 / 3.0, {{1280, 720}, {1280, 736}}},
        {"landscape at 1", {960, 540}, 1.0, {{960, 540}, {960, 544}}},
        {"landscape at 1.5", {960, 540}, 1.5, {{1440, 810}, {1440, 832}}},
        {"portrait at 0.8", {540, 960}, 0.8, {{432, 768}, {448, 768}}},
        {"sides round to the nearest pixel", {101, 99}, 0.5, {{51, 50}, {128, 128}}},
        {"tiny frames pad up to 128", {1, 1}, 1.0, {{1, 1}, {128, 128}}},
        {"never scaled below one pixel", {3, 961}, 0.1, {{1, 96}, {128, 128}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const InputLayout layout = inputLayout(c.frame, c.scale);
        EXPECT_EQ(layout.scaled, c.expected.scaled);
        EXPECT_EQ(layout.input, c.expected.input);
    }
}

TEST(CellBox, ReadsCentreOffsetAndLogSizeInCells) {
    // Grid 4 cells wide at stride 8: cell 5 is column 1, row 1, its corner at (8, 8).
    const float offsets[] = {0.5f, 0.25f, std::log(2.0f), 0.0f};
    expectBox(cellBox(5, 4, 8, offsets, 0.75f), 12 - 8, 10 - 4, 16, 8, 0.75f);
    // Column 0 of row 2 in a grid 3 wide at stride 32.
    const float centred[] = {0.0f, 0.0f, 0.0f, 0.0f};
    expectBox(cellBox(6, 3, 32, centred, 0.5f), -16, 64 - 16, 32, 32, 0.5f);
}

// A 64 x 32 input: grids of 8 x 4, 4 x 2 and 2 x 1 cells.
constexpr Size smallInput{64, 32};
constexpr std::size_t cellsOf[] = {32, 8, 2};

struct YuNetTensors {
    std::vector<float> cls[3], obj[3], bbox[3], kps[3];
    YuNetTensors() {
        for (std::size_t level = 0; level < 3; ++level) {
            cls[level].assign(cellsOf[level], 0.0f);
            obj[level].assign(cellsOf[level], 0.0f);
            bbox[level].assign(cellsOf[level] * 4, 0.0f);
            kps[level].assign(cellsOf[level] * 10, 0.0f);
        }
    }
    std::array<YuNetLevel, 3> levels() const {
        return {YuNetLevel{cls[0], obj[0], bbox[0], kps[0]},
                YuNetLevel{cls[1], obj[1], bbox[1], kps[1]},
                YuNetLevel{cls[2], obj[2], bbox[2], kps[2]}};
    }
};

TEST(DecodeYuNet, KeepsCellsScoringAtLeastTheThresholdStridesInOrder) {
    YuNetTensors t;
    // Stride 32, cell 1 (column 1): score sqrt(1 * 0.64) = 0.8; cls above 1 is clamped.
    t.cls[2][1] = 1.5f;
    t.obj[2][1] = 0.64f;
    // Stride 8, cell 9 (column 1, row 1), shifted by half a cell right: score sqrt(0.25) = 0.5.
    t.cls[0][9] = 0.25f;
    t.obj[0][9] = 1.0f;
    t.bbox[0][4 * 9] = 0.5f;
    // Below the threshold, negative (clamped to 0) and NaN: all dropped.
    t.cls[1][0] = 0.2f;
    t.obj[1][0] = 1.0f;
    t.cls[1][1] = -4.0f;
    t.obj[1][1] = -4.0f;
    t.cls[1][2] = std::numeric_limits<float>::quiet_NaN();
    t.obj[1][2] = 1.0f;

    std::vector<FaceCandidate> found;
    EXPECT_EQ(decodeYuNet(t.levels(), smallInput, 0.5f, found), std::nullopt);
    ASSERT_EQ(found.size(), 2u);
    expectBox(found[0].box, 12 - 4, 8 - 4, 8, 8, 0.5f);
    expectBox(found[1].box, 16, -16, 32, 32, std::sqrt(0.64f));
}

// Each landmark is an offset from its cell's corner in cells, like the box's centre, and does not
// depend on the box's size.
TEST(DecodeYuNet, ReadsTheFiveLandmarksOfTheirCell) {
    struct Case {
        const char* name;
        std::size_t level, cell;
        float logWidth;                 // of the box: landmarks are not scaled by it
        std::array<float, 10> offsets;  // x, y of each landmark, in cells
        std::array<Point, 5> expected;  // in input pixels
    };
    const Case cases[] = {
        // Stride 8, cell 10: column 2, row 1, corner (16, 8).
        {"stride 8, inside the cell",
         0,
         10,
         0.0f,
         {0.25f, 0.25f, 0.75f, 0.25f, 0.5f, 0.5f, 0.25f, 0.75f, 0.75f, 0.75f},
         {{{18, 10}, {22, 10}, {20, 12}, {18, 14}, {22, 14}}}},
        // Stride 16, cell 7: column 3, row 1, corner (48, 16); offsets may leave the cell.
        {"stride 16, beyond the cell, a wide box",
         1,
         7,
         2.0f,
         {-1.0f, 0.5f, 1.5f, 0.5f, 0.25f, 1.0f, -0.5f, 2.0f, 1.0f, 2.0f},
         {{{32, 24}, {72, 24}, {52, 32}, {40, 48}, {64, 48}}}},
        // Stride 32, cell 1: column 1, row 0, corner (32, 0).
        {"stride 32",
         2,
         1,
         0.0f,
         {0.5f, 0.25f, 0.5f, 0.25f, 0.5f, 0.5f, 0.5f, 0.75f, 0.5f, 0.75f},
         {{{48, 8}, {48, 8}, {48, 16}, {48, 24}, {48, 24}}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        YuNetTensors t;
        t.cls[c.level][c.cell] = 1.0f;
        t.obj[c.level][c.cell] = 1.0f;
        t.bbox[c.level][4 * c.cell + 2] = c.logWidth;
        std::copy(c.offsets.begin(), c.offsets.end(), t.kps[c.level].begin() + 10 * c.cell);
        std::vector<FaceCandidate> found;
        EXPECT_EQ(decodeYuNet(t.levels(), smallInput, 0.5f, found), std::nullopt);
        ASSERT_EQ(found.size(), 1u);
        for (std::size_t i = 0; i < 5; ++i) {
            SCOPED_TRACE(i);
            EXPECT_DOUBLE_EQ(found[0].landmarks[i].x, c.expected[i].x);
            EXPECT_DOUBLE_EQ(found[0].landmarks[i].y, c.expected[i].y);
        }
    }
}

TEST(DecodeYuNet, RefusesOutputsOfAnotherGrid) {
    YuNetTensors t;
    t.bbox[1].pop_back();
    std::vector<FaceCandidate> found;
    EXPECT_EQ(decodeYuNet(t.levels(), smallInput, 0.5f, found),
              "the stride 16 outputs do not hold 8 cells for an input of 64x32");
    YuNetTensors shortLandmarks;
    shortLandmarks.kps[2].pop_back();
    EXPECT_EQ(decodeYuNet(shortLandmarks.levels(), smallInput, 0.5f, found),
              "the stride 32 outputs do not hold 2 cells for an input of 64x32");
    EXPECT_EQ(decodeYuNet(YuNetTensors().levels(), {64, 64}, 0.5f, found),
              "the stride 8 outputs do not hold 64 cells for an input of 64x64");
}

std::vector<float> yoloxRows(Size input) {
    std::size_t rows = 0;
    for (const int stride : strides)
        rows += std::size_t(input.width / stride) * (input.height / stride);
    return std::vector<float>(rows * yoloxRowLength, 0.0f);
}

TEST(DecodeYoloxPeople, ScoresObjectnessTimesPersonInGridOrder) {
    struct Case {
        const char* name;
        Size input;
        std::size_t row;  // counted over all three grids
        float objectness, person;
        bool found;
        double left, top;  // of a box one cell wide and high
        int side;
    };
    const Case cases[] = {
        // Row 33 = stride 16, cell 1: column 1, row 0 of a grid 4 wide.
        {"second grid, landscape, score at the threshold", smallInput, 33, 0.9f, 0.5f, true, 16 - 8,
         -8, 16},
        // A portrait grid 4 wide and 8 high at stride 8: cell 9 is column 1, row 2.
        {"first grid, portrait", {32, 64}, 9, 1.0f, 0.5f, true, 8 - 4, 16 - 4, 8},
        // Last row = stride 32, last cell of a 2 x 1 grid: column 1.
        {"last grid, last cell", smallInput, 41, 0.5f, 1.0f, true, 32 - 16, -16, 32},
        {"below the threshold", smallInput, 0, 0.6f, 0.7f, false, 0, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<float> rows = yoloxRows(c.input);
        float* row = rows.data() + c.row * yoloxRowLength;
        row[4] = c.objectness;
        row[5] = c.person;
        row[6] = 1.0f;  // another class: not a person
        std::vector<Candidate> found;
        EXPECT_EQ(decodeYoloxPeople(rows, c.input, 0.45f, found), std::nullopt);
        ASSERT_EQ(found.size(), c.found ? 1u : 0u);
        if (c.found) expectBox(found[0], c.left, c.top, c.side, c.side, c.objectness * c.person);
    }
}

TEST(DecodeYoloxPeople, RefusesAnOutputOfAnotherSize) {
    std::vector<float> rows = yoloxRows(smallInput);
    rows.resize(rows.size() - yoloxRowLength);
    std::vector<Candidate> found;
    EXPECT_EQ(decodeYoloxPeople(rows, smallInput, 0.5f, found),
              "the output does not hold 42 rows of 85 values for an input of 64x32");
    EXPECT_TRUE(found.empty());
}

TEST(SuppressOverlaps, KeepsTheBestOfEachOverlappingGroup) {
    struct Case {
        const char* name;
        std::vector<PixelBox> boxes;
        float threshold;
        std::vector<std::size_t> kept;
    };
    const Case cases[] = {
        {"none", {}, 0.3f, {}},
        {"disjoint boxes all stay, best first",
         {{0, 0, 10, 10, 0.5f}, {20, 0, 10, 10, 0.9f}},
         0.3f,
         {1, 0}},
        // IoU of 10x10 boxes shifted by 5: 50 / 150 = 1/3.
        {"overlap above the threshold goes",
         {{0, 0, 10, 10, 0.5f}, {5, 0, 10, 10, 0.9f}},
         0.3f,
         {1}},
        {"overlap at most the threshold stays",
         {{0, 0, 10, 10, 0.5f}, {5, 0, 10, 10, 0.9f}},
         0.34f,
         {1, 0}},
        {"equal scores: the first given wins",
         {{0, 0, 10, 10, 0.5f}, {1, 0, 10, 10, 0.5f}},
         0.3f,
         {0}},
        // b overlaps a and c, a and c do not overlap: b goes, so c stays.
        {"a suppressed box suppresses nothing",
         {{0, 0, 10, 10, 0.9f}, {5, 0, 10, 10, 0.8f}, {10, 0, 10, 10, 0.7f}},
         0.3f,
         {0, 2}},
        {"empty boxes overlap nothing", {{0, 0, 0, 10, 0.9f}, {0, 0, 0, 10, 0.8f}}, 0.3f, {0, 1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(suppressOverlaps(c.boxes, c.threshold), c.kept);
    }
}

TEST(FrameBoxes, ScaleBackDropTooSmallAndNonFiniteThenSuppress) {
    // A 200 x 100 frame run at half size: 100 x 50 in an input of 128 x 128.
    const InputLayout layout = inputLayout({200, 100}, 0.5);
    const double inf = std::numeric_limits<double>::infinity();
    const std::vector<Candidate> candidates = {
        {10, 5, 20, 10, 0.6f},   // 40 x 20 in the frame
        {12, 5, 20, 10, 0.5f},   // overlaps the first: suppressed
        {60, 20, 2, 2, 0.9f},    // 4 px tall: dropped before suppression
        {61, 20, 20, 10, 0.4f},  // would be suppressed by the one above if that one stayed
        {0, 0, inf, 10, 0.99f},  // non-finite: dropped
    };
    NetSettings settings;
    settings.nmsThreshold = 0.3f;
    settings.minHeight = 5.0;
    const std::vector<PixelBox> boxes = frameBoxes(candidates, {200, 100}, layout, settings);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].left, 20);
    EXPECT_EQ(boxes[0].top, 10);
    EXPECT_EQ(boxes[0].width, 40);
    EXPECT_EQ(boxes[0].height, 20);
    EXPECT_EQ(boxes[0].confidence, 0.6f);
    EXPECT_EQ(boxes[1].left, 122);
    EXPECT_EQ(boxes[1].confidence, 0.4f);
}

TEST(FrameFaces, ScaleBoxesAndLandmarksBackAndDropNonFinite) {
    // A 300 x 100 frame run at 1.5 x 0.5 of its size (450 x 50): x shrinks by 1.5, y grows by 2.
    const InputLayout layout{{450, 50}, {480, 64}};
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const std::vector<FaceCandidate> candidates = {
        {{30, 5, 15, 10, 0.7f}, {{{33, 7}, {42, 7}, {36, 9}, {33, 12}, {42, 12}}}},
        {{0, 0, 10, 10, 0.9f}, {{{1, 1}, {nan, 2}, {3, 3}, {4, 4}, {5, 5}}}},
        {{60, 10, 3, 4, 0.6f}, {{{60, 10}, {61, 10}, {61, 11}, {60, 12}, {62, 12}}}},
    };
    const std::vector<FrameFace> faces = frameFaces(candidates, {300, 100}, layout);
    ASSERT_EQ(faces.size(), 2u);
    expectBox(faces[0].box, 20, 10, 10, 20, 0.7f);
    const Point expected[] = {{22, 14}, {28, 14}, {24, 18}, {22, 24}, {28, 24}};
    for (std::size_t i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        EXPECT_DOUBLE_EQ(faces[0].landmarks[i].x, expected[i].x);
        EXPECT_DOUBLE_EQ(faces[0].landmarks[i].y, expected[i].y);
    }
    expectBox(faces[1].box, 40, 20, 2, 8, 0.6f);
}

}  // namespace
}  // namespace autoframe
