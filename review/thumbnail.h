#pragma once

#include <cstddef>

#include "core/error.h"
#include "core/frame.h"
#include "review/page.h"

namespace autoframe::review {

// Longest side of a thumbnail on the page, pixels (smaller frames are not enlarged).
inline constexpr int thumbnailSide = 320;

// The frame as a JPEG scaled to fit thumbnailSide x thumbnailSide.
Expected<Thumbnail> thumbnailOf(const TimedFrame& frame, std::size_t sample);

}  // namespace autoframe::review
