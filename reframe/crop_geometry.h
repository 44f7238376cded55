#pragma once

// Where a crop window of the upright picture lies in the stored one, how it snaps to whole
// pixels, the size of the output picture, and turning one plane of pixels upright. Plain
// arithmetic: no FFmpeg here.

#include <cstddef>
#include <cstdint>

#include "core/orientation.h"

namespace autoframe::reframe {

// A window on the upright picture, in its pixels (square ones): what the planner chooses.
struct SourceWindow {
    double x = 0.0;
    double y = 0.0;
    double width = 0.0;
    double height = 0.0;
};

// A rectangle of whole stored pixels.
struct PixelRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool operator==(const PixelRect&) const = default;
};

// The same rectangle as fractions of the picture's width and height.
struct FractionRect {
    double x = 0.0;
    double y = 0.0;
    double width = 0.0;
    double height = 0.0;
};

// True when every value is finite and the size is positive.
bool isWindow(const SourceWindow& window);

// The window (upright pixels of an upright picture of uprightWidth x uprightHeight) as fractions
// of the stored picture. Fractions carry the pixel shape along: a stored picture of wide pixels is
// narrower in stored pixels than upright, and the same fraction of it.
FractionRect storedFractions(const SourceWindow& window, int uprightWidth, int uprightHeight,
                             Orientation turn);

// The fractions as whole pixels of a stored picture of width x height: the size rounded to the
// nearest pixel (at least 1, at most the picture), the corner rounded to the nearest multiple of
// the grid (the chroma subsampling: 2 for 4:2:0) and moved inside the picture. A window reaching
// past an edge is moved in, one larger than the picture shrinks to it.
PixelRect snapToPixels(const FractionRect& fractions, int width, int height, int gridX, int gridY);

// The output size for a window: each side rounded down to an even number (the encoder's 4:2:0
// needs even sides), at least 2, never more than the window (no enlarging).
struct EvenSize {
    int width = 0;
    int height = 0;
    bool operator==(const EvenSize&) const = default;
};
EvenSize outputSizeFor(double windowWidth, double windowHeight);

// Copies a plane of width x height one-byte samples, as stored, to `to` turned upright (its
// width and height swapped when the turn swaps sides). Strides in bytes.
void turnPlane(const std::uint8_t* from, std::ptrdiff_t fromStride, int width, int height,
               Orientation turn, std::uint8_t* to, std::ptrdiff_t toStride);

}  // namespace autoframe::reframe
