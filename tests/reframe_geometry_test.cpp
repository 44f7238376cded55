// The reframe's geometry: upright windows back on stored pixels, snapping to whole pixels, the
// output size and turning planes upright. Hand-made cases, no video.
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "reframe/crop_geometry.h"

namespace autoframe::reframe {
namespace {

struct NamedTurn {
    const char* name;
    Orientation turn;
};

// The eight quarter turns, mirrored or not.
const NamedTurn allTurns[] = {
    {"upright", {1, 0, 0, 1}},       {"turned right", {0, 1, -1, 0}},
    {"upside down", {-1, 0, 0, -1}}, {"turned left", {0, -1, 1, 0}},
    {"mirrored", {-1, 0, 0, 1}},     {"flipped", {1, 0, 0, -1}},
    {"transposed", {0, 1, 1, 0}},    {"anti-transposed", {0, -1, -1, 0}},
};

TEST(StoredFractions, WindowOnAStoredPictureOf200x100) {
    struct Case {
        const char* name;
        Orientation turn;
        SourceWindow window;  // on the upright picture
        FractionRect expected;
    };
    // Upright 200x100 (or 100x200 when the turn swaps sides); the window spans x 10..40, y 20..60
    // of an upright 100x200 picture, or x 20..80, y 10..40 of an upright 200x100 one.
    const Case cases[] = {
        {"upright", {1, 0, 0, 1}, {20, 10, 60, 30}, {0.1, 0.1, 0.3, 0.3}},
        {"upside down", {-1, 0, 0, -1}, {20, 10, 60, 30}, {0.6, 0.6, 0.3, 0.3}},
        {"mirrored", {-1, 0, 0, 1}, {20, 10, 60, 30}, {0.6, 0.1, 0.3, 0.3}},
        {"flipped", {1, 0, 0, -1}, {20, 10, 60, 30}, {0.1, 0.6, 0.3, 0.3}},
        // Turned right: the stored top row is the upright right column.
        {"turned right", {0, 1, -1, 0}, {10, 20, 30, 40}, {0.1, 0.6, 0.2, 0.3}},
        {"turned left", {0, -1, 1, 0}, {10, 20, 30, 40}, {0.7, 0.1, 0.2, 0.3}},
        {"transposed", {0, 1, 1, 0}, {10, 20, 30, 40}, {0.1, 0.1, 0.2, 0.3}},
        {"anti-transposed", {0, -1, -1, 0}, {10, 20, 30, 40}, {0.7, 0.6, 0.2, 0.3}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const int uprightWidth = c.turn.swapsSides() ? 100 : 200;
        const int uprightHeight = c.turn.swapsSides() ? 200 : 100;
        const FractionRect got = storedFractions(c.window, uprightWidth, uprightHeight, c.turn);
        EXPECT_NEAR(got.x, c.expected.x, 1e-12);
        EXPECT_NEAR(got.y, c.expected.y, 1e-12);
        EXPECT_NEAR(got.width, c.expected.width, 1e-12);
        EXPECT_NEAR(got.height, c.expected.height, 1e-12);
    }
}

// A window of one upright pixel comes back to the stored pixel that turnPlane puts there: the two
// agree on every turn and every pixel.
TEST(StoredFractions, AgreesWithTurnPlaneOnEveryPixel) {
    constexpr int width = 5, height = 3;
    std::vector<std::uint8_t> stored(width * height);
    for (int i = 0; i < width * height; ++i) stored[i] = std::uint8_t(i);
    for (const NamedTurn& t : allTurns) {
        SCOPED_TRACE(t.name);
        const int uprightWidth = t.turn.swapsSides() ? height : width;
        const int uprightHeight = t.turn.swapsSides() ? width : height;
        std::vector<std::uint8_t> upright(width * height, 255);
        turnPlane(stored.data(), width, width, height, t.turn, upright.data(), uprightWidth);
        for (int y = 0; y < uprightHeight; ++y) {
            for (int x = 0; x < uprightWidth; ++x) {
                const FractionRect f = storedFractions(SourceWindow{double(x), double(y), 1, 1},
                                                       uprightWidth, uprightHeight, t.turn);
                const PixelRect p = snapToPixels(f, width, height, 1, 1);
                ASSERT_EQ(p.width, 1);
                ASSERT_EQ(p.height, 1);
                EXPECT_EQ(upright[y * uprightWidth + x], stored[p.y * width + p.x])
                    << "upright pixel " << x << ", " << y;
            }
        }
    }
}

TEST(StoredFractions, PixelShapeStaysInTheFractions) {
    // 1440x1080 stored with 4:3 pixels shows as 1920x1080: the right half of the upright picture
    // is the right half of the stored one.
    const FractionRect f =
        storedFractions(SourceWindow{960, 0, 960, 1080}, 1920, 1080, Orientation{});
    EXPECT_EQ(snapToPixels(f, 1440, 1080, 2, 2), (PixelRect{720, 0, 720, 1080}));
}

TEST(SnapToPixels, RoundsAndMovesInside) {
    struct Case {
        const char* name;
        FractionRect fractions;  // of a 100x50 picture
        int grid;
        PixelRect expected;
    };
    const Case cases[] = {
        {"whole pixels stay", {0.1, 0.2, 0.5, 0.4}, 1, {10, 10, 50, 20}},
        {"size to the nearest pixel", {0.1, 0.2, 0.506, 0.41}, 1, {10, 10, 51, 21}},
        {"corner to the nearest grid point", {0.031, 0.058, 0.5, 0.4}, 2, {4, 2, 50, 20}},
        {"corner just below a grid point", {0.029, 0.022, 0.5, 0.4}, 2, {2, 2, 50, 20}},
        {"odd corner without a grid", {0.03, 0.06, 0.5, 0.4}, 1, {3, 3, 50, 20}},
        {"past the right and bottom edges", {0.8, 0.9, 0.5, 0.4}, 1, {50, 30, 50, 20}},
        {"past the edges onto the grid", {0.8, 0.9, 0.49, 0.38}, 2, {50, 30, 49, 19}},
        {"before the left and top edges", {-0.2, -0.1, 0.5, 0.4}, 2, {0, 0, 50, 20}},
        {"larger than the picture", {-0.1, -0.1, 1.5, 1.2}, 2, {0, 0, 100, 50}},
        {"thinner than a pixel", {0.5, 0.5, 0.001, 0.001}, 1, {50, 25, 1, 1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(snapToPixels(c.fractions, 100, 50, c.grid, c.grid), c.expected);
    }
}

TEST(OutputSizeFor, EvenSidesNeverLargerThanTheWindow) {
    struct Case {
        double width, height;
        EvenSize expected;
    };
    const Case cases[] = {
        {608, 1080, {608, 1080}}, {607.9, 1079.5, {606, 1078}},
        {609, 1081, {608, 1080}}, {2.5, 3.9, {2, 2}},
        {1, 0.5, {2, 2}},         {std::numeric_limits<double>::quiet_NaN(), 10, {2, 10}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.height));
        EXPECT_EQ(outputSizeFor(c.width, c.height), c.expected);
    }
}

TEST(TurnPlane, MovesEveryPixelWhereTheTurnShowsIt) {
    // Stored 3x2, rows padded to 4 bytes:   1 2 3
    //                                       4 5 6
    const std::uint8_t stored[] = {1, 2, 3, 99, 4, 5, 6, 99};
    struct Case {
        const char* name;
        Orientation turn;
        std::vector<std::uint8_t> expected;  // upright rows, no padding
    };
    const Case cases[] = {
        {"upright", {1, 0, 0, 1}, {1, 2, 3, 4, 5, 6}},
        {"turned right", {0, 1, -1, 0}, {4, 1, 5, 2, 6, 3}},
        {"upside down", {-1, 0, 0, -1}, {6, 5, 4, 3, 2, 1}},
        {"turned left", {0, -1, 1, 0}, {3, 6, 2, 5, 1, 4}},
        {"mirrored", {-1, 0, 0, 1}, {3, 2, 1, 6, 5, 4}},
        {"flipped", {1, 0, 0, -1}, {4, 5, 6, 1, 2, 3}},
        {"transposed", {0, 1, 1, 0}, {1, 4, 2, 5, 3, 6}},
        {"anti-transposed", {0, -1, -1, 0}, {6, 3, 5, 2, 4, 1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const int uprightWidth = c.turn.swapsSides() ? 2 : 3;
        std::vector<std::uint8_t> upright(6, 0);
        turnPlane(stored, 4, 3, 2, c.turn, upright.data(), uprightWidth);
        EXPECT_EQ(upright, c.expected);
    }
}

TEST(IsWindow, FiniteWithAPositiveSize) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    struct Case {
        SourceWindow window;
        bool expected;
    };
    const Case cases[] = {
        {{0, 0, 1, 1}, true},    {{-5, -5, 0.5, 0.5}, true}, {{0, 0, 0, 1}, false},
        {{0, 0, 1, -1}, false},  {{nan, 0, 1, 1}, false},    {{0, inf, 1, 1}, false},
        {{0, 0, inf, 1}, false}, {{0, 0, 1, nan}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.window.x) + " " + std::to_string(c.window.y) + " " +
                     std::to_string(c.window.width) + " " + std::to_string(c.window.height));
        EXPECT_EQ(isWindow(c.window), c.expected);
    }
}

}  // namespace
}  // namespace autoframe::reframe
