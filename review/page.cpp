#include "review/page.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <numeric>

#include "core/number_text.h"
#include "review/crop_path.h"

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
    : first_(firstSeconds),
      last_(lastSeconds),
      top_(niceCeiling(std::max(highestScore, 0.01))),
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

std::string shellWord(const std::string& argument) {
    const bool plain = !argument.empty() && argument.find_first_not_of(
                                                "abcdefghijklmnopqrstuvwxyz"
                                                "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789"
                                                "_-./,:=+@%") == std::string::npos;
    if (plain) return argument;
    std::string word = "'";
    for (char c : argument) word += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return word + "'";
}

std::string commandText(const std::vector<std::string>& arguments) {
    std::string line;
    for (const std::string& argument : arguments) {
        if (!line.empty()) line += ' ';
        line += shellWord(argument);
    }
    return line;
}

std::vector<std::optional<std::size_t>> placeLabels(
    const std::vector<std::vector<PixelRect>>& candidates, double gap,
    std::vector<PixelRect> taken) {
    std::vector<std::optional<std::size_t>> chosen;
    const auto near = [gap](const PixelRect& a, const PixelRect& b) {
        return a.left < b.left + b.width + gap && b.left < a.left + a.width + gap &&
               a.top < b.top + b.height + gap && b.top < a.top + a.height + gap;
    };
    for (const auto& places : candidates) {
        chosen.emplace_back();
        for (std::size_t k = 0; k < places.size(); ++k) {
            if (std::none_of(taken.begin(), taken.end(),
                             [&](const PixelRect& t) { return near(places[k], t); })) {
                chosen.back() = k;
                taken.push_back(places[k]);
                break;
            }
        }
    }
    return chosen;
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
.command span { white-space: nowrap; }
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

// Only on a page with a crop path.
const char* pathStyle = R"(.window rect, rect.window { fill: none; stroke: #009E73; stroke-width: 3;
  stroke-dasharray: 1 5; stroke-linecap: round; }
.outside { fill: #000; fill-opacity: .3; }
.plot .centre { fill: none; stroke: #009E73; stroke-width: 2; }
.plot .centre.y { stroke-dasharray: 6 3; }
.plot .cut { stroke: #666; stroke-width: 1; stroke-dasharray: 4 3; }
.plot .shot { font-size: 11px; fill: #222; }
)";

std::string legend(bool withPath) {
    std::string html =
        "<p class=\"legend\">"
        "<svg width=\"34\" height=\"14\" class=\"face\"><rect x=\"2\" y=\"2\" width=\"30\" "
        "height=\"10\"/></svg> face &#160; "
        "<svg width=\"34\" height=\"14\" class=\"human\"><rect x=\"2\" y=\"2\" width=\"30\" "
        "height=\"10\"/></svg> human &#160; ";
    if (withPath) {
        html +=
            "<svg width=\"34\" height=\"14\" class=\"window\"><rect x=\"2\" y=\"2\" "
            "width=\"30\" height=\"10\"/></svg> crop window (outside it dimmed) &#160; ";
    }
    return html + "the number by a box is its confidence</p>\n";
}

// Each argument in a span of its own, so that a line breaks only between arguments.
std::string commandLine(const std::vector<std::string>& arguments) {
    std::string html;
    for (const std::string& argument : arguments) {
        if (!html.empty()) html += ' ';
        html += "<span>" + escapeHtml(shellWord(argument)) + "</span>";
    }
    return html;
}

// What the header says of a crop path: its windows, the source they imply, its shots.
std::string pathFacts(const std::string& name, const ReviewedPath& path) {
    const CropPlan& plan = path.plan;
    const CropWindow& w = plan.frames.front().window;
    std::size_t follows = 0;
    for (const auto& shot : plan.shots) follows += shot.mode == CameraMode::follow ? 1 : 0;
    std::string shots = plural(plan.shots.size(), "shot", "shots");
    if (!plan.shots.empty()) {
        shots += " (" + std::to_string(plan.shots.size() - follows) + " still, " +
                 std::to_string(follows) + " following)";
    }
    return "<dt>crop path</dt><dd>" + escapeHtml(name) + ": " +
           plural(plan.frames.size(), "window", "windows") + " of " + std::to_string(w.width) +
           " × " + std::to_string(w.height) + " pixels in the " +
           std::to_string(path.source.width) + " × " + std::to_string(path.source.height) +
           " source, " + seconds(plan.frames.front().time) + " to " +
           seconds(plan.frames.back().time) + ", " + shots + "</dd>\n";
}

std::string header(const PageFacts& facts, const std::vector<Sample>& samples,
                   std::size_t framesShown, const ReviewedPath* path) {
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
    std::string frames =
        framesShown == samples.size()
            ? "all " + std::to_string(framesShown) + " shown"
            : std::to_string(framesShown) + " of " + std::to_string(samples.size()) +
                  " shown, evenly thinned (at most " + std::to_string(maximumFramesShown) + ")";
    std::string html =
        "<header>\n<h1>" + escapeHtml(facts.videoName) + "</h1>\n<dl class=\"facts\">\n";
    html += "<dt>video</dt><dd>" + duration + ", " + std::to_string(facts.decodedWidth) + " × " +
            std::to_string(facts.decodedHeight) + " pixels as decoded</dd>\n";
    html += "<dt>run</dt><dd>" + run + "</dd>\n";
    html += "<dt>found</dt><dd>" + plural(faces, "face", "faces") + ", " +
            plural(humans, "human", "humans") + "</dd>\n";
    html += "<dt>frames</dt><dd>" + frames + "</dd>\n";
    if (path) html += pathFacts(facts.pathName, *path);
    html += "<dt>command</dt><dd><code class=\"command\">" + commandLine(facts.command) +
            "</code></dd>\n</dl>\n";
    return html + legend(path != nullptr) + "</header>\n";
}

constexpr double plotWidth = 960, plotHeight = 280, pathPlotHeight = 200;

// The room a line of 11-pixel text takes, generously (digits are about 7 pixels wide in the
// common sans-serif fonts, bold ones a little more); the baseline is 9 pixels under its top.
constexpr double charWidth = 6.5, boldCharWidth = 7.2, textHeight = 12, ascent = 9;

PixelRect textRect(double left, double baseline, std::size_t chars, double perChar) {
    return {left, baseline - ascent, double(chars) * perChar, textHeight};
}

// The time span a plot shows.
struct TimeSpan {
    double first = 0, last = 0;
};

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
    const double timeStep = niceCeiling((scale.lastSeconds() - scale.firstSeconds()) / 10);
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

// Where the value axis's title goes: centred over the axis, or from the plot's left edge when
// it is too long for that.
PixelRect valueTitleRect(const PlotArea& area, const std::string& title) {
    const double width = double(title.size()) * charWidth;
    const double left = std::max(0.0, area.left - width / 2);
    return textRect(left, area.top - 10, title.size(), charWidth);
}

// The time and value axes along the bottom and left edges, with their titles.
std::string axes(const PlotArea& area, double height, const std::string& valueTitle) {
    const double bottom = area.top + area.height, right = area.left + area.width;
    std::string svg;
    svg += "<line class=\"axis\" x1=\"" + fixed(area.left, 1) + "\" x2=\"" + fixed(right, 1) +
           "\" y1=\"" + fixed(bottom, 1) + "\" y2=\"" + fixed(bottom, 1) + "\"/>";
    svg += "<line class=\"axis\" x1=\"" + fixed(area.left, 1) + "\" x2=\"" + fixed(area.left, 1) +
           "\" y1=\"" + fixed(area.top, 1) + "\" y2=\"" + fixed(bottom, 1) + "\"/>\n";
    svg += "<text x=\"" + fixed(right, 1) + "\" y=\"" + fixed(height - 4, 1) +
           "\" text-anchor=\"end\">time (s)</text>";
    const bool centred = valueTitleRect(area, valueTitle).left > 0;
    svg += "<text x=\"" + fixed(centred ? area.left : 0, 1) + "\" y=\"" + fixed(area.top - 10, 1) +
           "\" text-anchor=\"" + (centred ? "middle" : "start") + "\">" + valueTitle + "</text>\n";
    return svg;
}

// The samples: a trace through them in time order, a point for each with its time and score on
// hover, and labels on the five highest scores.
std::string samplePoints(const std::vector<Sample>& samples, const std::vector<double>& scores,
                         const PlotScale& scale, const PixelRect& title) {
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
        svg += "<circle class=\"sample\" cx=\"" + fixed(scale.x(s.timeSeconds()), 1) + "\" cy=\"" +
               fixed(scale.y(s.sceneScore()), 1) + "\" r=\"3\"><title>" + seconds(s.timeSeconds()) +
               ": score " + score(s.sceneScore()) + "</title></circle>\n";
    }
    // Each label over its point: centred, else starting or ending there, else the same a line
    // higher (up to three), else under the point; left out (the point still tells its score on
    // hover) when all of these would cover another label, the axis title or the scores along the
    // axis. Only the first place may reach beyond the picture's sides.
    const std::vector<std::size_t> peaks = highestScores(scores, 5);
    const double axisTop = scale.y(scale.topScore()), bottom = scale.y(0);
    const PixelRect axisScores{0, axisTop - 9, scale.x(scale.firstSeconds()) - 2,
                               bottom - axisTop + 12};
    std::vector<std::vector<PixelRect>> places;
    std::vector<std::vector<std::pair<double, double>>> anchors;  // centre x, baseline
    for (std::size_t i : peaks) {
        const Sample& s = samples[i];
        const double x = scale.x(s.timeSeconds()), y = scale.y(s.sceneScore());
        const std::size_t chars = (seconds(s.timeSeconds()) + ": " + score(s.sceneScore())).size();
        const double half = double(chars) * charWidth / 2;
        places.emplace_back();
        anchors.emplace_back();
        const auto add = [&](double centre, double baseline) {
            const bool inside = centre - half >= 0 && centre + half <= plotWidth;
            if (!places.back().empty() && !inside) return;
            places.back().push_back(textRect(centre - half, baseline, chars, charWidth));
            anchors.back().emplace_back(centre, baseline);
        };
        for (int k = 0; k < 4; ++k) {
            const double baseline = y - 7 - 13 * k;
            if (k > 0 && baseline - ascent < 0) break;
            add(x, baseline);
            add(x - 4 + half, baseline);
            add(x + 4 - half, baseline);
        }
        if (const double under = y + 16; under <= bottom - 2) add(x, under);
    }
    const auto chosen = placeLabels(places, 1, {title, axisScores});
    for (std::size_t n = 0; n < peaks.size(); ++n) {
        if (!chosen[n]) continue;
        const Sample& s = samples[peaks[n]];
        const auto [x, baseline] = anchors[n][*chosen[n]];
        svg += "<text class=\"peak\" x=\"" + fixed(x, 1) + "\" y=\"" + fixed(baseline, 1) + "\">" +
               seconds(s.timeSeconds()) + ": " + score(s.sceneScore()) + "</text>\n";
    }
    return svg;
}

// The samples' times from the earliest to the latest, and with a crop path, its frames' and
// shots' times too (so that both plots share one time axis).
TimeSpan timeSpan(const std::vector<Sample>& samples, const ReviewedPath* path) {
    std::vector<double> times;
    for (const Sample& s : samples) times.push_back(s.timeSeconds());
    if (path) {
        for (const auto& f : path->plan.frames) times.push_back(f.time);
        for (const auto& shot : path->plan.shots) {
            times.push_back(shot.start);
            times.push_back(shot.end);
        }
    }
    if (times.empty()) return {};
    const auto [first, last] = std::minmax_element(times.begin(), times.end());
    return {*first, *last};
}

std::string plot(const std::vector<Sample>& samples, TimeSpan span) {
    const PlotArea area{64, 24, 872, 216};
    double highest = 0;
    std::vector<double> scores;
    for (const Sample& s : samples) {
        highest = std::max(highest, s.sceneScore());
        scores.push_back(s.sceneScore());
    }
    const PlotScale scale(span.first, span.last, highest, area);
    return "<svg class=\"plot\" viewBox=\"0 0 " + fixed(plotWidth, 0) + " " + fixed(plotHeight, 0) +
           "\" role=\"img\" aria-label=\"scene score over time\">\n" + scoreGrid(scale, area) +
           timeTicks(scale, area) + axes(area, plotHeight, "scene score") +
           samplePoints(samples, scores, scale, valueTitleRect(area, "scene score")) + "</svg>\n";
}

// The crop window's centre over time in source pixels: x, and y when the window moves up or
// down; a dashed line at each cut, and each shot's mode at its start.
std::string pathPlot(const ReviewedPath& path, TimeSpan span) {
    const PlotArea area{64, 24, 872, 136};
    const auto& frames = path.plan.frames;
    const bool vertical = std::any_of(frames.begin(), frames.end(), [&](const PlannedFrame& f) {
        return f.window.y != frames.front().window.y;
    });
    const double highest =
        vertical ? std::max(path.source.width, path.source.height) : path.source.width;
    const PlotScale scale(span.first, span.last, highest, area);
    std::string svg = "<svg class=\"plot path\" viewBox=\"0 0 " + fixed(plotWidth, 0) + " " +
                      fixed(pathPlotHeight, 0) +
                      "\" role=\"img\" aria-label=\"crop window centre over time\">\n" +
                      scoreGrid(scale, area) + timeTicks(scale, area) +
                      axes(area, pathPlotHeight, "window centre (source pixels)");
    const auto trace = [&](const char* axis, auto centre) {
        std::string line = std::string("<polyline class=\"centre ") + axis + "\" points=\"";
        for (const auto& f : frames) {
            line += fixed(scale.x(f.time), 1) + "," + fixed(scale.y(centre(f.window)), 1) + " ";
        }
        return line + "\"><title>window centre " + axis + "</title></polyline>\n";
    };
    svg += trace("x", [](const CropWindow& w) { return w.x + w.width / 2.0; });
    if (vertical) svg += trace("y", [](const CropWindow& w) { return w.y + w.height / 2.0; });

    const double bottom = area.top + area.height;
    std::vector<std::vector<PixelRect>> places;
    for (std::size_t i = 0; i < path.plan.shots.size(); ++i) {
        const double x = scale.x(path.plan.shots[i].start);
        if (i > 0) {
            svg += "<line class=\"cut\" x1=\"" + fixed(x, 1) + "\" x2=\"" + fixed(x, 1) +
                   "\" y1=\"" + fixed(area.top, 1) + "\" y2=\"" + fixed(bottom, 1) + "\"/>";
        }
        const std::size_t chars = cameraModeName(path.plan.shots[i].mode).size();
        places.push_back({textRect(x + 3, area.top + 11, chars, charWidth),
                          textRect(x + 3, area.top + 24, chars, charWidth)});
    }
    const auto chosen = placeLabels(places, 1);
    for (std::size_t i = 0; i < path.plan.shots.size(); ++i) {
        if (!chosen[i]) continue;
        const PlannedShot& shot = path.plan.shots[i];
        svg += "<text class=\"shot\" x=\"" + fixed(places[i][*chosen[i]].left, 1) + "\" y=\"" +
               fixed(places[i][*chosen[i]].top + ascent, 1) + "\">" +
               std::string(cameraModeName(shot.mode)) + "<title>shot from " + seconds(shot.start) +
               " to " + seconds(shot.end) + "</title></text>\n";
    }
    // Which line is which, in the top-right corner.
    const double right = area.left + area.width;
    svg += "<line class=\"centre x\" x1=\"" + fixed(right - 150, 1) + "\" x2=\"" +
           fixed(right - 126, 1) + "\" y1=\"10\" y2=\"10\"/><text x=\"" + fixed(right - 122, 1) +
           "\" y=\"14\">x</text>";
    if (vertical) {
        svg += "<line class=\"centre y\" x1=\"" + fixed(right - 90, 1) + "\" x2=\"" +
               fixed(right - 66, 1) + "\" y1=\"10\" y2=\"10\"/><text x=\"" + fixed(right - 62, 1) +
               "\" y=\"14\">y</text>";
    }
    return svg + "\n</svg>\n";
}

// The faces' and humans' boxes on a picture, each with its confidence where that covers no
// other box's: above the box's top-left corner (inside it at the picture's top), else inside
// its top, under it, or inside its bottom; left out when all of these would (the box's title
// still tells it).
std::string boxes(const Sample& sample, int width, int height) {
    struct Drawn {
        const char* kind;
        const Observation* box;
        PixelRect rect;
    };
    std::vector<Drawn> drawn;
    for (const auto& [kind, list] :
         {std::pair{"face", &sample.faces()}, {"human", &sample.humans()}}) {
        for (const Observation& box : *list) {
            if (const auto rect = boxOnPicture(box, width, height)) {
                drawn.push_back({kind, &box, *rect});
            }
        }
    }
    std::vector<std::vector<PixelRect>> places;
    std::vector<std::vector<double>> baselines;
    for (const Drawn& d : drawn) {
        const PixelRect& r = d.rect;
        const std::size_t chars = fixed(d.box->confidence(), 2).size();
        const double left = r.left + 1, bottom = r.top + r.height;
        const double usual = r.top >= 13 ? r.top - 3 : r.top + 12;
        places.push_back({textRect(left, usual, chars, boldCharWidth)});
        baselines.push_back({usual});
        for (double baseline : {r.top + 12, bottom + 12, bottom - 3}) {
            const PixelRect other = textRect(left, baseline, chars, boldCharWidth);
            if (baseline == usual || other.top < 0 || other.top + other.height > height) continue;
            places.back().push_back(other);
            baselines.back().push_back(baseline);
        }
    }
    const auto chosen = placeLabels(places, 1);
    std::string svg;
    for (std::size_t i = 0; i < drawn.size(); ++i) {
        const auto& [kind, box, rect] = drawn[i];
        svg += std::string("<g class=\"") + kind + "\"><title>" + kind + ", confidence " +
               fixed(box->confidence(), 3) + "</title><rect x=\"" + fixed(rect.left, 1) +
               "\" y=\"" + fixed(rect.top, 1) + "\" width=\"" + fixed(rect.width, 1) +
               "\" height=\"" + fixed(rect.height, 1) + "\"/>";
        if (chosen[i]) {
            svg += "<text x=\"" + fixed(rect.left + 1, 1) + "\" y=\"" +
                   fixed(baselines[i][*chosen[i]], 1) + "\">" + fixed(box->confidence(), 2) +
                   "</text>";
        }
        svg += "</g>\n";
    }
    return svg;
}

// The crop window on a thumbnail, the picture outside it dimmed.
std::string window(const PlannedFrame& planned, Size source, int width, int height) {
    const PixelRect r = windowOnPicture(planned.window, source, width, height);
    const std::string right = fixed(r.left + r.width, 1), bottom = fixed(r.top + r.height, 1);
    const CropWindow& w = planned.window;
    return "<path class=\"outside\" fill-rule=\"evenodd\" d=\"M0 0H" + std::to_string(width) + "V" +
           std::to_string(height) + "H0Z M" + fixed(r.left, 1) + " " + fixed(r.top, 1) + "H" +
           right + "V" + bottom + "H" + fixed(r.left, 1) + "Z\"/>\n<rect class=\"window\" x=\"" +
           fixed(r.left, 1) + "\" y=\"" + fixed(r.top, 1) + "\" width=\"" + fixed(r.width, 1) +
           "\" height=\"" + fixed(r.height, 1) + "\"><title>crop window at " +
           seconds(planned.time) + ": " + std::to_string(w.width) + " × " +
           std::to_string(w.height) + " from (" + std::to_string(w.x) + ", " + std::to_string(w.y) +
           ")</title></rect>\n";
}

std::string frame(const Sample& sample, const Thumbnail& thumbnail, const ReviewedPath* path) {
    const std::string w = std::to_string(thumbnail.width), h = std::to_string(thumbnail.height);
    std::string html = "<figure>\n<div class=\"pic\"><img src=\"data:image/jpeg;base64," +
                       base64(thumbnail.jpeg) + "\" width=\"" + w + "\" height=\"" + h +
                       "\" alt=\"frame at " + seconds(sample.timeSeconds()) + "\">";
    html += "<svg class=\"boxes\" width=\"" + w + "\" height=\"" + h + "\" viewBox=\"0 0 " + w +
            " " + h + "\">\n";
    const PlannedFrame* planned =
        path ? nearestFrame(path->plan.frames, thumbnail.frameSeconds) : nullptr;
    if (planned) html += window(*planned, path->source, thumbnail.width, thumbnail.height);
    html += boxes(sample, thumbnail.width, thumbnail.height);
    html += "</svg></div>\n<figcaption><b>" + seconds(sample.timeSeconds()) + "</b>";
    if (std::abs(thumbnail.frameSeconds - sample.timeSeconds()) >= 0.0005) {
        html += " (frame at " + seconds(thumbnail.frameSeconds) + ")";
    }
    html += " · score " + score(sample.sceneScore()) + "<br>" + boxCounts(sample);
    if (planned) {
        html += "<br>window at x " + std::to_string(planned->window.x) + ", y " +
                std::to_string(planned->window.y);
        if (std::abs(planned->time - thumbnail.frameSeconds) >= 0.0005) {
            html += " (path at " + seconds(planned->time) + ")";
        }
    }
    html += "</figcaption>\n</figure>\n";
    return html;
}

}  // namespace

std::string renderPage(const PageFacts& facts, const std::vector<Sample>& samples,
                       const std::vector<Thumbnail>& thumbnails, const ReviewedPath* path) {
    std::string html =
        "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
        "<title>Review: " +
        escapeHtml(facts.videoName) + "</title>\n<style>" + style + (path ? pathStyle : "") +
        "</style>\n</head>\n<body>\n";
    html += header(facts, samples, thumbnails.size(), path);
    const TimeSpan span = timeSpan(samples, path);
    html += "<section>\n<h2>Scene score</h2>\n" + plot(samples, span);
    if (path) html += "<h3>Crop window</h3>\n" + pathPlot(*path, span);
    html += "</section>\n";
    html += "<section>\n<h2>Frames</h2>\n<div class=\"frames\">\n";
    for (const Thumbnail& thumbnail : thumbnails) {
        html += frame(samples.at(thumbnail.sample), thumbnail, path);
    }
    return html + "</div>\n</section>\n</body>\n</html>\n";
}

}  // namespace autoframe::review
