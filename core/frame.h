#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace autoframe {

// The luma weights of the video's colour space, so that gray levels can be rendered from
// the colour pixels the way the video means them.
enum class ColorMatrix { bt601, bt709 };

// A width and a height in pixels (or the two sides of a shape, as in 9:16).
struct Size {
    int width = 0;
    int height = 0;
    friend bool operator==(const Size&, const Size&) = default;
};

// A picture of `width` x `height` pixels shown within `maxSide` on either side: scaled down to fit
// (never up), each side rounded, at least 1.
inline Size fittedWithin(double width, double height, int maxSide) {
    const double scale = std::min({1.0, maxSide / width, maxSide / height});
    const auto rounded = [maxSide](double value) {
        return int(std::clamp(std::lround(value), 1L, long(maxSide)));
    };
    return Size{rounded(width * scale), rounded(height * scale)};
}

// One decoded picture, upright as the video is meant to be shown, already converted to full
// range: packed 8-bit B, G, R (OpenCV's channel order), rows top first, no padding between rows.
struct Frame {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> bgr;  // width * height * 3 bytes
    ColorMatrix matrix = ColorMatrix::bt601;
};

struct TimedFrame {
    Frame frame;
    // The time the frame answers for, 0 at the start of the video: its own presentation time, or
    // the time asked for while the frame is on screen then (see FrameSource::frameAt).
    double seconds = 0.0;
    // Which decoded picture the frame shows: two frames with the same number, other than 0, are
    // the same picture. 0: not known.
    std::uint64_t picture = 0;
};

}  // namespace autoframe
