#pragma once

// The texts of everything that goes wrong reading a video, shared by the parts of the frame source.

#include <string>

#include "core/error.h"
#include "core/error_codes.h"
#include "core/text.h"

namespace autoframe::ffmpeg {

// Larger pictures are refused rather than allocated.
inline constexpr int largestSide = 16384;

// FFmpeg's own text for one of its error codes, e.g. "No such file or directory".
std::string errorText(int code);

std::unexpected<Error> videoError(VideoCode code, std::string description);

// "cannot open 'name': reason"
std::unexpected<Error> cannotOpen(const std::string& name, const std::string& reason);

// "cannot decode 'name': reason"
std::unexpected<Error> cannotDecode(VideoCode code, const std::string& name,
                                    const std::string& reason);

// A picture larger than largestSide on either side.
std::unexpected<Error> tooLarge(const std::string& name, int width, int height);

}  // namespace autoframe::ffmpeg
