#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "results/records.h"

namespace autoframe::review {

// A rectangle in pixels of a picture, origin at its top-left corner.
struct PixelRect {
    double left = 0.0;
    double top = 0.0;
    double width = 0.0;
    double height = 0.0;

    friend bool operator==(const PixelRect&, const PixelRect&) = default;
};

// The part of `box` (fractions of the frame, origin top-left) that lies on a picture of
// `width` x `height` pixels, in that picture's pixels; none when no area of it is on the picture.
std::optional<PixelRect> boxOnPicture(const Observation& box, int width, int height);

// At most `limit` of the indices 0 .. count-1, evenly spread, the first and the last included,
// ascending; all of them when count <= limit. A limit of 1 keeps the first.
std::vector<std::size_t> thinEvenly(std::size_t count, std::size_t limit);

// The smallest of 1, 2, 5 times a power of ten that is at least `value` (> 0).
double niceCeiling(double value);

// The drawing area of a plot, in SVG user units (y grows downward).
struct PlotArea {
    double left = 0.0;
    double top = 0.0;
    double width = 0.0;
    double height = 0.0;
};

// Time to x and score to y inside a plot area. The time axis spans the samples' times (one
// second around a single time); the score axis runs from 0 at the bottom to a nice value at
// or above the highest score (at least 0.01, so that a run of zeros lies on the bottom line).
class PlotScale {
public:
    PlotScale(double firstSeconds, double lastSeconds, double highestScore, PlotArea area);

    double x(double seconds) const;
    double y(double score) const;
    double firstSeconds() const { return first_; }
    double lastSeconds() const { return last_; }
    double topScore() const { return top_; }

private:
    double first_, last_, top_;
    PlotArea area_;
};

// The indices of the `count` highest positive scores, highest first, the earlier first among
// equal scores.
std::vector<std::size_t> highestScores(const std::vector<double>& scores, std::size_t count);

// Text made safe inside HTML and SVG text and inside quoted attribute values.
std::string escapeHtml(std::string_view text);

// RFC 4648 base64 with padding, as data URIs take it.
std::string base64(std::span<const std::uint8_t> bytes);

// `value` with exactly `decimals` digits after the point, no locale involved; a negative value
// that rounds to zero reads as zero.
std::string fixed(double value, int decimals);

// The indices of the samples in time order (equal times in list order).
std::vector<std::size_t> timeOrder(const std::vector<Sample>& samples);

// One argument as a POSIX shell reads it back the same: as it is when it holds only letters,
// digits and _ - . / , : = + @ %, otherwise in single quotes.
std::string shellWord(const std::string& argument);

// The arguments as one line a POSIX shell reads back the same (shellWord of each, spaced).
std::string commandText(const std::vector<std::string>& arguments);

// Where labels go so that none covers another. For each label, in order (an earlier label keeps
// its place), the index of the first of its candidate rectangles that comes no nearer than `gap`
// to any rectangle chosen before it or `taken` from the start (other text); none (the label is
// left out) when every candidate does.
std::vector<std::optional<std::size_t>> placeLabels(
    const std::vector<std::vector<PixelRect>>& candidates, double gap,
    std::vector<PixelRect> taken = {});

// One frame shown on the page: the sample it belongs to and its JPEG thumbnail.
struct Thumbnail {
    std::size_t sample = 0;     // index into the sample list
    double frameSeconds = 0.0;  // the decoded frame's own time
    int width = 0;              // of the thumbnail, pixels
    int height = 0;
    std::vector<std::uint8_t> jpeg;
};

// What the header states besides what the samples give.
struct PageFacts {
    std::string videoName;         // as given on the command line
    double durationSeconds = 0.0;  // NaN when the container does not say
    int decodedWidth = 0;          // the frames as the detectors saw them
    int decodedHeight = 0;
    std::vector<std::string> command;  // the arguments of the command that made the page
    std::string pathName;              // the crop path file as given, when one is drawn
};

struct ReviewedPath;

// Frames on one page at most; longer runs are thinned evenly.
inline constexpr std::size_t maximumFramesShown = 300;

// The whole page: header, scene-score plot (one point per sample) and the frames in the order
// given, with the boxes of their samples drawn over them. With a crop path, also the window of
// the path's frame nearest each thumbnail's time, and a plot of the window's centre over time
// with the shots marked. Self-contained: no scripts, no fonts, nothing fetched.
std::string renderPage(const PageFacts& facts, const std::vector<Sample>& samples,
                       const std::vector<Thumbnail>& thumbnails,
                       const ReviewedPath* path = nullptr);

}  // namespace autoframe::review
