#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/error.h"
#include "core/frame.h"
#include "core/process.h"
#include "review/page.h"

namespace autoframe::review {

inline constexpr std::string_view usageText =
    "Usage: autoframe-review <video> <samples.json> <report.html>";

// The arguments as one line a POSIX shell reads back the same: each one that holds anything
// but letters, digits and _ - . / , : = + @ % goes in single quotes.
std::string commandText(const std::vector<std::string>& arguments);

// Longest side of a thumbnail on the page, pixels (smaller frames are not enlarged).
inline constexpr int thumbnailSide = 320;

// The frame as a JPEG scaled to fit thumbnailSide x thumbnailSide.
Expected<Thumbnail> thumbnailOf(const TimedFrame& frame, std::size_t sample);

// One review: reads the samples file, checks its times against the video, reads the frames
// (thinned to maximumFramesShown) with the helper's frame source and writes the page. The page
// file appears whole or not at all. Writes nothing to the streams; an error is returned instead.
Expected<void> makeReviewPage(const std::vector<std::string>& arguments);

// The failure line: "Review failed: " + description + line feed.
std::string failureLine(const Error& error);

// What `main` does: the exit status, after the failure line if any.
int finishReview(const Expected<void>& outcome, Process& process);

}  // namespace autoframe::review
