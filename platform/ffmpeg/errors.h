#pragma once

// The texts of everything that goes wrong reading a video, shared by the parts of the frame source.

#include <string>

#include "core/error.h"

namespace autoframe::ffmpeg {

// The error domain of everything that goes wrong reading a video.
inline constexpr const char* videoErrorDomain = "AutoFramingVideo";

// Larger pictures are refused rather than allocated.
inline constexpr int largestSide = 16384;

// FFmpeg's own text for one of its error codes, e.g. "No such file or directory".
std::string errorText(int code);

std::string quoted(const std::string& name);

std::unexpected<Error> videoError(int code, std::string description);

// "cannot open 'name': reason"
std::unexpected<Error> cannotOpen(const std::string& name, const std::string& reason);

// "cannot decode 'name': reason"
std::unexpected<Error> cannotDecode(int code, const std::string& name, const std::string& reason);

// A picture larger than largestSide on either side.
std::unexpected<Error> tooLarge(const std::string& name, int width, int height);

}  // namespace autoframe::ffmpeg
