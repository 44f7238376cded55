#include "review/page.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <numeric>

#include "core/number_text.h"

namespace autoframe::review {

std::optional<PixelRect> boxOnPicture(const Observation& box, int width, int height) {
    const double w = width, h = height;
    const double left = std::clamp(box.x() * w, 0.0, w);
    const double right = std::clamp((box.x() + box.width()) * w, 0.0, w);
    const double top = std::clamp(box.y() * h, 0.0, h);
    const double bottom = std::clamp((box.y() + box.height()) * h, 0.0, h);
    if (!(right > left) || !(bottom > top)) return std::nullopt;
    return PixelRect{left, top, right - left, bottom - top};
}

std::vector<std::size_t> thinEvenly(std::size_t count, std::size_t limit) {
    std::vector<std::size_t> kept;
    if (count <= limit) {
        kept.resize(count);
        std::iota(kept.begin(), kept.end(), std::size_t{0});
        return kept;
    }
    if (limit == 0) return kept;
    if (limit == 1) return {0};
    // The i-th of `limit` points spread over 0 .. count-1, rounded to the nearest index. The
    // spacing exceeds 1, so no index comes twice.
    const std::size_t intervals = limit - 1, span = count - 1;
    for (std::size_t i = 0; i < limit; ++i) {
        kept.push_back((i * span + intervals / 2) / intervals);
    }
    return kept;
}

double niceCeiling(double value) {
    const double base = std::pow(10.0, std::floor(std::log10(value)));
    for (double m : {1.0, 2.0, 5.0}) {
        // Allow for the rounding of pow and log10: 0.3 must give 0.5, 0.2 must give 0.2.
        if (m * base >= value * (1 - 1e-12)) return m * base;
    }
    return 10 * base;
}

PlotScale::PlotScale(double firstSeconds, double lastSeconds, double highestScore, PlotArea area)
    : first_(firstSeconds), last_(lastSeconds), top_(niceCeiling(std::max(highestScore, 0.01))),
      area_(area) {
    if (!(last_ > first_)) {
        first_ -= 0.5;
        last_ = first_ + 1.0;
    }
}

double PlotScale::x(double seconds) const {
    return area_.left + (seconds - first_) / (last_ - first_) * area_.width;
}

double PlotScale::y(double score) const {
    return area_.top + area_.height - score / top_ * area_.height;
}

std::vector<std::size_t> highestScores(const std::vector<double>& scores, std::size_t count) {
    std::vector<std::size_t> order;
    for (std::size_t i = 0; i < scores.size(); ++i) {
        if (scores[i] > 0) order.push_back(i);
    }
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return scores[a] > scores[b]; });
    if (order.size() > count) order.resize(count);
    return order;
}

std::string escapeHtml(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\'': out += "&#39;"; break;
            default: out += c;
        }
    }
    return out;
}

std::string base64(std::span<const std::uint8_t> bytes) {
    static constexpr char alphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        const unsigned v = unsigned(bytes[i]) << 16 | unsigned(bytes[i + 1]) << 8 | bytes[i + 2];
        for (int shift : {18, 12, 6, 0}) out += alphabet[(v >> shift) & 63];
    }
    if (const std::size_t left = bytes.size() - i; left > 0) {
        const unsigned v = unsigned(bytes[i]) << 16 | (left == 2 ? unsigned(bytes[i + 1]) << 8 : 0);
        out += alphabet[(v >> 18) & 63];
        out += alphabet[(v >> 12) & 63];
        out += left == 2 ? alphabet[(v >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

std::string fixed(double value, int decimals) {
    std::string text = numberText(value, decimals);
    if (text.starts_with('-') && text.find_first_not_of("-0.") == std::string::npos) {
        text.erase(0, 1);  // a negative value that rounds to zero reads as 0
    }
    return text;
}

std::vector<std::size_t> timeOrder(const std::vector<Sample>& samples) {
    std::vector<std::size_t> order(samples.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return samples[a].timeSeconds() < samples[b].timeSeconds();
    });
    return order;
}

std::string commandText(const std::vector<std::string>& arguments) {
    std::string line;
    for (const std::string& argument : arguments) {
        if (!line.empty()) line += ' ';
        const bool plain = !argument.empty() &&
                           argument.find_first_not_of("abcdefghijklmnopqrstuvwxyz"
                                                      "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789"
                                                      "_-./,:=+@%") == std::string::npos;
        if (plain) {
            line += argument;
            continue;
        }
        line += '\'';
        for (char c : argument) line += c == '\'' ? std::string("'\\''") : std::string(1, c);
        line += '\'';
    }
    return line;
}

namespace {

// Digits after the point that tell ticks `step` apart.
int decimalsFor(double step) { return std::max(0, int(-std::floor(std::log10(step) + 1e-9))); }

std::string seconds(double value) { return fixed(value, 3) + " s"; }
std::string score(double value) { return fixed(value, 4); }

std::string plural(std::size_t n, std::string_view one, std::string_view many) {
    return std::to_string(n) + " " + std::string(n == 1 ? one : many);
}

std::string boxCounts(const Sample& sample) {
    return plural(sample.faces().size(), "face", "faces") + " · " +
           plural(sample.humans().size(), "human", "humans");
}

const char* style = R"(
body { font: 14px/1.4 sans-serif; margin: 1.5em; color: #222; background: #fff; }
h1 { font-size: 1.4em; margin: 0 0 .4em; word-break: break-all; }
h2 { font-size: 1.1em; margin: 1.2em 0 .4em; }
dl.facts { display: grid; grid-template-columns: max-content auto; gap: .15em 1em; margin: 0; }
dl.facts dt { font-weight: bold; }
dl.facts dd { margin: 0; }
code { font-family: monospace; word-break: break-all; }
.legend svg { vertical-align: middle; }
svg.plot { width: 100%; max-width: 960px; height: auto; display: block; }
.plot .axis { stroke: #444; stroke-width: 1; }
.plot .grid { stroke: #ddd; stroke-width: 1; }
.plot .trace { fill: none; stroke: #999; stroke-width: 1; }
.plot .sample { fill: #000; }
.plot .peak { fill: #000; font-size: 11px; text-anchor: middle; }
.plot text { font-size: 11px; fill: #444; }
.frames { display: flex; flex-wrap: wrap; gap: 12px; }
figure { margin: 0; }
.pic { position: relative; line-height: 0; }
.pic img, .pic svg { display: block; }
.pic svg { position: absolute; left: 0; top: 0; overflow: visible; }
figcaption { font-size: 12px; margin-top: 3px; }
.face rect, .human rect { fill: none; stroke-width: 2; }
.face rect { stroke: #E69F00; }
.human rect { stroke: #0072B2; stroke-dasharray: 6 3; }
.boxes text { font: bold 11px sans-serif; paint-order: stroke; stroke: #fff; stroke-width: 3px; }
.face text { fill: #9a6a00; }
.human text { fill: #0072B2; }
)";

std::string legend() {
    return "<p class=\"legend\">"
           "<svg width=\"34\" height=\"14\" class=\"face\"><rect x=\"2\" y=\"2\" width=\"30\" "
           "height=\"10\"/></svg> face &#160; "
           "<svg width=\"34\" height=\"14\" class=\"human\"><rect x=\"2\" y=\"2\" width=\"30\" "
           "height=\"10\"/></svg> human &#160; the number by a box is its confidence</p>\n";
}

std::string header(const PageFacts& facts, const std::vector<Sample>& samples,
                   std::size_t framesShown) {
    std::size_t faces = 0, humans = 0;
    double first = 0, last = 0;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        faces += samples[i].faces().size();
        humans += samples[i].humans().size();
        const double t = samples[i].timeSeconds();
        first = i == 0 ? t : std::min(first, t);
        last = i == 0 ? t : std::max(last, t);
    }
    std::string run = plural(samples.size(), "sample", "samples");
    if (!samples.empty()) run += " from " + seconds(first) + " to " + seconds(last);
    if (samples.size() >= 2 && last > first) {
        run += ", " + fixed(double(samples.size() - 1) / (last - first), 3) + " per second";
    }
    const std::string duration =
        std::isfinite(facts.durationSeconds) ? seconds(facts.durationSeconds) : "duration unknown";
    std::string frames = framesShown == samples.size()
                             ? "all " + std::to_string(framesShown) + " shown"
                             : std::to_string(framesShown) + " of " +
                                   std::to_string(samples.size()) +
                                   " shown, evenly thinned (at most " +
                                   std::to_string(maximumFramesShown) + ")";
    std::string html = "<header>\n<h1>" + escapeHtml(facts.videoName) + "</h1>\n<dl class=\"facts\">\n";
    html += "<dt>video</dt><dd>" + duration + ", " + std::to_string(facts.decodedWidth) + " × " +
            std::to_string(facts.decodedHeight) + " pixels as decoded</dd>\n";
    html += "<dt>run</dt><dd>" + run + "</dd>\n";
    html += "<dt>found</dt><dd>" + plural(faces, "face", "faces") + ", " +
            plural(humans, "human", "humans") + "</dd>\n";
    html += "<dt>frames</dt><dd>" + frames + "</dd>\n";
    html += "<dt>command</dt><dd><code>" + escapeHtml(facts.command) + "</code></dd>\n</dl>\n";
    return html + legend() + "</header>\n";
}

constexpr double plotWidth = 960, plotHeight = 280;

// Horizontal grid lines at six even steps of the score, labelled left of the plot area.
std::string scoreGrid(const PlotScale& scale, const PlotArea& area) {
    const double right = area.left + area.width;
    const double scoreStep = scale.topScore() / 5;
    std::string svg;
    for (int k = 0; k <= 5; ++k) {
        const double y = scale.y(k * scoreStep);
        svg += "<line class=\"grid\" x1=\"" + fixed(area.left, 1) + "\" x2=\"" + fixed(right, 1) +
               "\" y1=\"" + fixed(y, 1) + "\" y2=\"" + fixed(y, 1) + "\"/>";
        svg += "<text x=\"" + fixed(area.left - 6, 1) + "\" y=\"" + fixed(y + 4, 1) +
               "\" text-anchor=\"end\">" + fixed(k * scoreStep, decimalsFor(scoreStep)) +
               "</text>\n";
    }
    return svg;
}

// Ticks with their times under the plot area, at about ten nice steps.
std::string timeTicks(const PlotScale& scale, const PlotArea& area) {
    const double bottom = area.top + area.height;
    const double timeStep =
        niceCeiling((scale.lastSeconds() - scale.firstSeconds()) / 10);
    // About ten ticks; counted, so that no rounding can make the loop run on.
    const double firstTick = std::ceil(scale.firstSeconds() / timeStep);
    std::string svg;
    for (int k = 0; k <= 12 && timeStep > 0; ++k) {
        const double t = (firstTick + k) * timeStep;
        if (t > scale.lastSeconds() + timeStep * 1e-9) break;
        const double x = scale.x(t);
        svg += "<line class=\"axis\" x1=\"" + fixed(x, 1) + "\" x2=\"" + fixed(x, 1) + "\" y1=\"" +
               fixed(bottom, 1) + "\" y2=\"" + fixed(bottom + 5, 1) + "\"/>";
        svg += "<text x=\"" + fixed(x, 1) + "\" y=\"" + fixed(bottom + 18, 1) +
               "\" text-anchor=\"middle\">" + fixed(t, decimalsFor(timeStep)) + "</text>\n";
    }
    return svg;
}

// The time and score axes along the bottom and left edges, with their titles.
std::string axes(const PlotArea& area) {
    const double bottom = area.top + area.height, right = area.left + area.width;
    std::string svg;
    svg += "<line class=\"axis\" x1=\"" + fixed(area.left, 1) + "\" x2=\"" + fixed(right, 1) +
           "\" y1=\"" + fixed(bottom, 1) + "\" y2=\"" + fixed(bottom, 1) + "\"/>";
    svg += "<line class=\"axis\" x1=\"" + fixed(area.left, 1) + "\" x2=\"" + fixed(area.left, 1) +
           "\" y1=\"" + fixed(area.top, 1) + "\" y2=\"" + fixed(bottom, 1) + "\"/>\n";
    svg += "<text x=\"" + fixed(right, 1) + "\" y=\"" + fixed(plotHeight - 4, 1) +
           "\" text-anchor=\"end\">time (s)</text>";
    svg += "<text x=\"" + fixed(area.left, 1) + "\" y=\"" + fixed(area.top - 10, 1) +
           "\" text-anchor=\"middle\">scene score</text>\n";
    return svg;
}

// The samples: a trace through them in time order, a point for each with its time and score on
// hover, and labels on the five highest scores.
std::string samplePoints(const std::vector<Sample>& samples, const std::vector<double>& scores,
                         const PlotScale& scale) {
    std::string svg;
    if (samples.size() >= 2) {
        svg += "<polyline class=\"trace\" points=\"";
        for (std::size_t i : timeOrder(samples)) {
            svg += fixed(scale.x(samples[i].timeSeconds()), 1) + "," +
                   fixed(scale.y(samples[i].sceneScore()), 1) + " ";
        }
        svg += "\"/>\n";
    }
    for (const Sample& s : samples) {
        svg += "<circle class=\"sample\" cx=\"" + fixed(scale.x(s.timeSeconds()), 1) +
               "\" cy=\"" + fixed(scale.y(s.sceneScore()), 1) + "\" r=\"3\"><title>" +
               seconds(s.timeSeconds()) + ": score " + score(s.sceneScore()) +
               "</title></circle>\n";
    }
    for (std::size_t i : highestScores(scores, 5)) {
        const Sample& s = samples[i];
        svg += "<text class=\"peak\" x=\"" + fixed(scale.x(s.timeSeconds()), 1) + "\" y=\"" +
               fixed(scale.y(s.sceneScore()) - 7, 1) + "\">" + seconds(s.timeSeconds()) + ": " +
               score(s.sceneScore()) + "</text>\n";
    }
    return svg;
}

std::string plot(const std::vector<Sample>& samples) {
    const PlotArea area{64, 24, 872, 216};
    double first = 0, last = 0, highest = 0;
    std::vector<double> scores;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const double t = samples[i].timeSeconds();
        first = i == 0 ? t : std::min(first, t);
        last = i == 0 ? t : std::max(last, t);
        highest = std::max(highest, samples[i].sceneScore());
        scores.push_back(samples[i].sceneScore());
    }
    const PlotScale scale(first, last, highest, area);
    return "<svg class=\"plot\" viewBox=\"0 0 " + fixed(plotWidth, 0) + " " + fixed(plotHeight, 0) +
           "\" role=\"img\" aria-label=\"scene score over time\">\n" + scoreGrid(scale, area) +
           timeTicks(scale, area) + axes(area) + samplePoints(samples, scores, scale) + "</svg>\n";
}

std::string boxes(const std::vector<Observation>& list, const char* kind, int width, int height) {
    std::string svg;
    for (const Observation& box : list) {
        const auto rect = boxOnPicture(box, width, height);
        if (!rect) continue;
        // The confidence above the box's top-left corner, or inside it at the picture's top.
        const double labelY = rect->top >= 13 ? rect->top - 3 : rect->top + 12;
        svg += std::string("<g class=\"") + kind + "\"><title>" + kind + ", confidence " +
               fixed(box.confidence(), 3) + "</title><rect x=\"" + fixed(rect->left, 1) +
               "\" y=\"" + fixed(rect->top, 1) + "\" width=\"" + fixed(rect->width, 1) +
               "\" height=\"" + fixed(rect->height, 1) + "\"/><text x=\"" +
               fixed(rect->left + 1, 1) + "\" y=\"" + fixed(labelY, 1) + "\">" +
               fixed(box.confidence(), 2) + "</text></g>\n";
    }
    return svg;
}

std::string frame(const Sample& sample, const Thumbnail& thumbnail) {
    const std::string w = std::to_string(thumbnail.width), h = std::to_string(thumbnail.height);
    std::string html = "<figure>\n<div class=\"pic\"><img src=\"data:image/jpeg;base64," +
                       base64(thumbnail.jpeg) + "\" width=\"" + w + "\" height=\"" + h +
                       "\" alt=\"frame at " + seconds(sample.timeSeconds()) + "\">";
    html += "<svg class=\"boxes\" width=\"" + w + "\" height=\"" + h + "\" viewBox=\"0 0 " + w +
            " " + h + "\">\n";
    html += boxes(sample.faces(), "face", thumbnail.width, thumbnail.height);
    html += boxes(sample.humans(), "human", thumbnail.width, thumbnail.height);
    html += "</svg></div>\n<figcaption><b>" + seconds(sample.timeSeconds()) + "</b>";
    if (std::abs(thumbnail.frameSeconds - sample.timeSeconds()) >= 0.0005) {
        html += " (frame at " + seconds(thumbnail.frameSeconds) + ")";
    }
    html += " · score " + score(sample.sceneScore()) + "<br>" + boxCounts(sample) +
            "</figcaption>\n</figure>\n";
    return html;
}

}  // namespace

std::string renderPage(const PageFacts& facts, const std::vector<Sample>& samples,
                       const std::vector<Thumbnail>& thumbnails) {
    std::string html = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
                       "<title>Review: " + escapeHtml(facts.videoName) + "</title>\n<style>" +
                       style + "</style>\n</head>\n<body>\n";
    html += header(facts, samples, thumbnails.size());
    html += "<section>\n<h2>Scene score</h2>\n" + plot(samples) + "</section>\n";
    html += "<section>\n<h2>Frames</h2>\n<div class=\"frames\">\n";
    for (const Thumbnail& thumbnail : thumbnails) {
        html += frame(samples.at(thumbnail.sample), thumbnail);
    }
    return html + "</div>\n</section>\n</body>\n</html>\n";
}

}  // namespace autoframe::review
