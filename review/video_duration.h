#pragma once

#include <string>

namespace autoframe::review {

// How long the video's best video stream lasts as its container states it, in seconds, or NaN
// when the container does not say or cannot be read. Only for the page and for checking sample
// times: frames come from the frame source, which also reports what is wrong with the file.
double statedDuration(const std::string& path);

}  // namespace autoframe::review
