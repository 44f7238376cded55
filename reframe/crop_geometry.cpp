#include "reframe/crop_geometry.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace autoframe::reframe {

bool isWindow(const SourceWindow& w) {
    return std::isfinite(w.x) && std::isfinite(w.y) && std::isfinite(w.width) &&
           std::isfinite(w.height) && w.width > 0 && w.height > 0;
}

FractionRect storedFractions(const SourceWindow& window, int uprightWidth, int uprightHeight,
                             Orientation turn) {
    // Upright fractions (u, v) come from stored ones (s, t) by the turn's matrix, then a shift
    // that puts the picture back at 0; the matrix is a signed permutation, so its inverse is its
    // transpose.
    const double shiftU = (turn.a < 0) + (turn.c < 0);
    const double shiftV = (turn.b < 0) + (turn.d < 0);
    const auto stored = [&](double u, double v) {
        u -= shiftU;
        v -= shiftV;
        return std::pair{turn.a * u + turn.b * v, turn.c * u + turn.d * v};
    };
    const auto [s0, t0] = stored(window.x / uprightWidth, window.y / uprightHeight);
    const auto [s1, t1] = stored((window.x + window.width) / uprightWidth,
                                 (window.y + window.height) / uprightHeight);
    return FractionRect{std::min(s0, s1), std::min(t0, t1), std::abs(s1 - s0), std::abs(t1 - t0)};
}

namespace {

// One side: the length rounded within [1, extent], the start on the grid and inside.
std::pair<int, int> snapSide(double start, double length, int extent, int grid) {
    const int size = int(std::clamp(std::lround(length), 1L, long(extent)));
    const int last = extent - size;  // the furthest start that keeps the side inside
    long at = std::lround(start / grid) * grid;
    if (at > last) at = last / grid * grid;
    if (at < 0) at = 0;
    return {int(at), size};
}

}  // namespace

PixelRect snapToPixels(const FractionRect& f, int width, int height, int gridX, int gridY) {
    const auto [x, w] = snapSide(f.x * width, f.width * width, width, std::max(1, gridX));
    const auto [y, h] = snapSide(f.y * height, f.height * height, height, std::max(1, gridY));
    return PixelRect{x, y, w, h};
}

EvenSize outputSizeFor(double windowWidth, double windowHeight) {
    const auto even = [](double side) {
        if (!(side >= 2.0)) return 2;
        return int(std::min(side, 1e9) / 2) * 2;
    };
    return EvenSize{even(windowWidth), even(windowHeight)};
}

void turnPlane(const std::uint8_t* from, std::ptrdiff_t fromStride, int width, int height,
               Orientation t, std::uint8_t* to, std::ptrdiff_t toStride) {
    if (t.isIdentity()) {
        for (int q = 0; q < height; ++q) {
            std::memcpy(to + q * toStride, from + q * fromStride, std::size_t(width));
        }
        return;
    }
    const int offsetX = (t.a < 0 ? width - 1 : 0) + (t.c < 0 ? height - 1 : 0);
    const int offsetY = (t.b < 0 ? width - 1 : 0) + (t.d < 0 ? height - 1 : 0);
    // Each stored pixel moves by the same step along a row: one pointer increment per pixel.
    const std::ptrdiff_t step = t.a + t.b * toStride;
    for (int q = 0; q < height; ++q) {
        const std::uint8_t* row = from + q * fromStride;
        std::uint8_t* out = to + (t.d * q + offsetY) * toStride + (t.c * q + offsetX);
        for (int p = 0; p < width; ++p, out += step) *out = row[p];
    }
}

}  // namespace autoframe::reframe
