#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/error.h"
#include "core/frame.h"

namespace autoframe::reframe {

inline constexpr std::string_view usageText =
    "Usage: autoframe-reframe [--aspect W:H] [--rate N] [--samples FILE] [--path FILE] [--quiet] "
    "<video> <output.mp4>";

// Analysis samples a second when --rate is not given: at 5 the crop plans kept the main subject
// in more frames than at 4, with fewer reversals (README, "Reframing").
inline constexpr double defaultRate = 5.0;
// Rates above this ask for more analysis than any frame rate people record gives back.
inline constexpr double highestRate = 120.0;

struct Options {
    std::string video;
    std::string output;
    Size aspect{9, 16};                  // the shape of the output, width : height
    double rate = defaultRate;           // analysis samples a second
    std::optional<std::string> samples;  // a saved run of the helper to plan from
    std::optional<std::string> path;     // where to write the crop path as JSON
    bool quiet = false;                  // no progress on standard error
};

// The shape W:H: two whole numbers from 1 to 10000, as "9:16".
std::optional<Size> parseAspect(std::string_view text);

// The arguments after the program name: options first or anywhere, each once, then the video
// and the output. The error says what is wrong, after the usage text.
Expected<Options> parseCommandLine(const std::vector<std::string>& arguments);

}  // namespace autoframe::reframe
