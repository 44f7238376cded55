#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "platform/frame.h"

namespace autoframe {

// The whole frame rendered as 8-bit gray (0 black, 255 white), stretched to width x height with a
// fast reduction filter; rows top first. Nothing when the frame cannot be rendered.
std::optional<std::vector<std::uint8_t>> renderGray(const Frame& frame, int width, int height);

}  // namespace autoframe
