#include "reframe/progress.h"

#include <algorithm>
#include <cmath>

namespace autoframe::reframe {
namespace {

constexpr int barWidth = 30;
constexpr double barInterval = 0.1;   // seconds between redraws of the bar
constexpr double lineInterval = 1.0;  // seconds between plain lines

std::string percentText(double share) {
    return std::to_string(int(std::floor(share * 100.0))) + "%";
}

// Right-aligned in the four columns of "100%", so that the bar's line keeps its place.
std::string padded(const std::string& percent) {
    return std::string(percent.size() < 4 ? 4 - percent.size() : 0, ' ') + percent;
}

}  // namespace

std::string clockText(double seconds) {
    if (!std::isfinite(seconds) || seconds < 0) return "?";
    const long whole = long(std::ceil(seconds));
    const long h = whole / 3600, m = whole / 60 % 60, s = whole % 60;
    const auto two = [](long v) { return (v < 10 ? "0" : "") + std::to_string(v); };
    return h > 0 ? std::to_string(h) + ":" + two(m) + ":" + two(s)
                 : std::to_string(m) + ":" + two(s);
}

std::string ProgressText::update(std::string_view stage, double done, double total,
                                 double elapsed) {
    if (style_ == Style::quiet) return "";
    const double interval = style_ == Style::bar ? barInterval : lineInterval;
    if (lastShown_ >= 0 && elapsed - lastShown_ < interval) return "";
    lastShown_ = elapsed;
    const bool known = total > 0 && done >= 0;
    const double share = known ? std::clamp(done / total, 0.0, 1.0) : 0.0;
    const std::string left =
        known && done > 0 ? clockText(elapsed * (total - done) / done) + " left" : "";
    if (style_ == Style::lines) {
        std::string line = std::string(stage) + ": ";
        line += known ? percentText(share) : "…";
        if (!left.empty()) line += ", " + left;
        return line + "\n";
    }
    const int filled = int(std::floor(share * barWidth));
    return "\r" + std::string(stage) + " [" + std::string(std::size_t(filled), '#') +
           std::string(std::size_t(barWidth - filled), '-') + "] " +
           (known ? padded(percentText(share)) : std::string("   ?")) + "  " + left + "\x1b[K";
}

std::string ProgressText::finish(std::string_view stage, double elapsed) {
    lastShown_ = -1.0;
    switch (style_) {
        case Style::quiet: return "";
        case Style::lines: return std::string(stage) + ": done in " + clockText(elapsed) + "\n";
        case Style::bar:
            return "\r" + std::string(stage) + " [" + std::string(barWidth, '#') + "] 100%  " +
                   clockText(elapsed) + "\x1b[K\n";
    }
    return "";
}

}  // namespace autoframe::reframe
