#include "reframe/command_line.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "core/error_codes.h"
#include "driver/command_line.h"

namespace autoframe::reframe {
namespace {

std::unexpected<Error> usage(const std::string& problem) {
    return fail(ReframeCode::usage, problem + ". " + std::string(usageText));
}

std::optional<int> side(std::string_view text) {
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
    if (value < 1 || value > 10000) return std::nullopt;
    return value;
}

}  // namespace

std::optional<Size> parseAspect(std::string_view text) {
    const auto colon = text.find(':');
    if (colon == std::string_view::npos) return std::nullopt;
    const auto width = side(text.substr(0, colon));
    const auto height = side(text.substr(colon + 1));
    if (!width || !height) return std::nullopt;
    return Size{*width, *height};
}

Expected<Options> parseCommandLine(const std::vector<std::string>& arguments) {
    Options options;
    std::vector<std::string> positional;
    std::vector<std::string> seen;
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--quiet") {
            options.quiet = true;
            continue;
        }
        const bool takesValue = argument == "--aspect" || argument == "--rate" ||
                                argument == "--samples" || argument == "--path";
        if (!takesValue) {
            if (argument.starts_with("--")) return usage("unknown option " + argument);
            positional.push_back(argument);
            continue;
        }
        if (std::find(seen.begin(), seen.end(), argument) != seen.end()) {
            return usage(argument + " given twice");
        }
        seen.push_back(argument);
        if (i + 1 >= arguments.size()) return usage(argument + " needs a value");
        const std::string& value = arguments[++i];
        if (argument == "--aspect") {
            const auto aspect = parseAspect(value);
            if (!aspect) {
                return usage("bad aspect '" + value +
                             "': give two whole numbers from 1 to 10000 as W:H, like 9:16");
            }
            options.aspect = *aspect;
        } else if (argument == "--rate") {
            const auto rate = parseNumber(value);
            if (!rate || !(*rate > 0) || !(*rate <= highestRate)) {
                return usage("bad rate '" + value + "': give samples a second above 0, at most " +
                             std::to_string(int(highestRate)));
            }
            options.rate = *rate;
        } else if (argument == "--samples") {
            options.samples = value;
        } else {
            options.path = value;
        }
    }
    if (positional.size() != 2) return usage("give the video and the output file");
    options.video = positional[0];
    options.output = positional[1];
    return options;
}

}  // namespace autoframe::reframe
