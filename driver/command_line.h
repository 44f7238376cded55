#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/error.h"

namespace autoframe {

inline constexpr std::string_view usageText = "Usage: helper <video> <from> <to> <fps>";

Error usageError();

struct RunParameters {
    std::string video;
    double from = 0.0;
    double to = 0.0;
    double fps = 0.0;
};

// The number rule: the whole text must be one strtod subject sequence in the "C" locale,
// with no leading white space and nothing left over. Locale settings of the process are ignored.
std::optional<double> parseNumber(const std::string& text);

// The four arguments after the program name, checked: from < to, fps > 0, all three finite.
// Any fault gives the usage error.
Expected<RunParameters> parseCommandLine(const std::vector<std::string>& arguments);

}  // namespace autoframe
