#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/error.h"
#include "core/process.h"
#include "core/services.h"
#include "review/page.h"

namespace autoframe::review {

inline constexpr std::string_view usageText =
    "Usage: autoframe-review [--path <crop-path.json>] <video> <samples.json> <report.html>";

// The files of one review, as given on the command line.
struct ReviewFiles {
    std::string video, samples, report;
    std::optional<std::string> path;  // the crop path to draw, if any
};

// The command line (arguments[0] the program): three files, and "--path" with its file before,
// between or after them, once; anything else is the usage error.
Expected<ReviewFiles> parseReviewArguments(const std::vector<std::string>& arguments);

// One review: reads the samples file (and the crop path, if given), checks the samples' times
// against the video, reads the frames (thinned to maximumFramesShown) with the frame source the
// services open (the helper's own) and writes the page. The page file appears whole or not at
// all. Writes nothing to the streams; an error is returned instead.
Expected<void> makeReviewPage(const std::vector<std::string>& arguments, Services& services);

// The failure line: "Review failed: " + description + line feed.
std::string failureLine(const Error& error);

// What `main` does: the exit status, after the failure line if any.
int finishReview(const Expected<void>& outcome, Process& process);

}  // namespace autoframe::review
