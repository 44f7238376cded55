#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "core/frame.h"

namespace autoframe {

// Renders a whole frame as 8-bit gray (0 black, 255 white), reduced by averaging every source
// pixel under each value, with the luma weights of the frame's colour matrix.
class GrayRenderer {
public:
    virtual ~GrayRenderer() = default;
    // width x height values, rows top first; nothing when the frame cannot be rendered.
    virtual std::optional<std::vector<std::uint8_t>> render(const Frame& frame, int width,
                                                            int height) const = 0;
};

}  // namespace autoframe
