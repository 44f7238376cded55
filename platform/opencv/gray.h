#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "core/frame.h"
#include "core/gray.h"

namespace autoframe {

// How the frame is reduced: averaging every source pixel under each value, or sampling it
// bilinearly at each value's centre.
enum class ReductionFilter { area, bilinear };

// The whole frame rendered as 8-bit gray (0 black, 255 white), stretched to width x height;
// rows top first. Nothing when the frame cannot be rendered.
std::optional<std::vector<std::uint8_t>> renderGray(const Frame& frame, int width, int height,
                                                    ReductionFilter filter = ReductionFilter::area);

// Gray rendering on OpenCV's resize, by area averaging.
class OpenCvGrayRenderer final : public GrayRenderer {
public:
    std::optional<std::vector<std::uint8_t>> render(const Frame& frame, int width,
                                                    int height) const override {
        return renderGray(frame, width, height);
    }
};

}  // namespace autoframe
