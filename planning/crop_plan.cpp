#include "planning/crop_plan.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <string>

#include "core/error_codes.h"
#include "core/number_text.h"
#include "planning/path_smoothing.h"
#include "planning/shot_boundaries.h"
#include "planning/subjects.h"

namespace autoframe {
namespace {

// Frame and sample times closer than this are the same instant (both are presentation times).
constexpr double sameTime = 1e-6;

// The nearest even number to `exact`, at most `limit` (which is the source's side, kept as it is
// when odd).
int evenSide(double exact, int limit) {
    const int even = int(std::lround(exact / 2)) * 2;
    return std::clamp(even, std::min(2, limit), limit);
}

// One shot's positions of the window's top-left corner at its sample times.
struct ShotPath {
    std::vector<double> times;  // strictly increasing
    std::vector<double> xs, ys;
    CameraMode mode = CameraMode::still;
    bool anybody = false;
};

// A sample's goals along one axis, from the strictest to the least: keep the padded region, the
// region without padding, the main subject without padding. A follow path centres the first and
// must keep the second; a still window keeps the first it can.
struct AxisGoals {
    std::vector<AxisGoal> padded, tight, main;
};

// The goal along one axis for [from, to] (source pixels) with a window of side `window` on a
// picture of side `picture`: centre it; keep all of it, or where it is larger than the window,
// stay within it.
AxisGoal goalFor(double from, double to, int window, int picture) {
    const double last = picture - window;
    from = std::max(from, 0.0);
    to = std::min(to, double(picture));
    AxisGoal g;
    g.seen = true;
    g.target = std::clamp((from + to) / 2 - window / 2.0, 0.0, last);
    g.low = std::clamp(std::min(to - window, from), 0.0, last);
    g.high = std::clamp(std::max(to - window, from), 0.0, last);
    return g;
}

void addGoals(AxisGoals& goals, const Focus& f, bool horizontal, int window, int picture) {
    auto from = [&](const PixelRect& r) { return horizontal ? r.left : r.top; };
    auto to = [&](const PixelRect& r) { return horizontal ? r.right : r.bottom; };
    goals.padded.push_back(goalFor(from(f.region), to(f.region), window, picture));
    AxisGoal tight = goalFor(from(f.regionTight), to(f.regionTight), window, picture);
    tight.target = goals.padded.back().target;  // the padding's centre, where it was shrunk
    goals.tight.push_back(tight);
    goals.main.push_back(goalFor(from(f.mainTight), to(f.mainTight), window, picture));
}

// The interval common to the seen goals, if any; none when no goal is seen.
std::optional<std::pair<double, double>> common(const std::vector<AxisGoal>& goals) {
    double low = -std::numeric_limits<double>::infinity();
    double high = std::numeric_limits<double>::infinity();
    bool any = false;
    for (const auto& g : goals) {
        if (!g.seen) continue;
        any = true;
        low = std::max(low, g.low);
        high = std::min(high, g.high);
    }
    if (!any || std::ceil(low) > std::floor(high)) return std::nullopt;
    return std::pair{std::ceil(low), std::floor(high)};
}

double medianTarget(const std::vector<AxisGoal>& goals) {
    std::vector<double> targets;
    for (const auto& g : goals) {
        if (g.seen) targets.push_back(g.target);
    }
    std::nth_element(targets.begin(), targets.begin() + std::ptrdiff_t(targets.size() / 2),
                     targets.end());
    return targets[targets.size() / 2];
}

// A still position for the axis when one window meets `goals` at every sample: the median
// target, moved into the common interval.
std::optional<double> stillPosition(const std::vector<AxisGoal>& goals) {
    const auto both = common(goals);
    if (!both) return std::nullopt;
    return std::clamp(std::round(medianTarget(goals)), both->first, both->second);
}

ShotPath planShot(const std::vector<Sample>& samples, std::size_t begin, std::size_t end,
                  Size source, CropWindow size, const CropSettings& settings) {
    ShotPath path;
    AxisGoals gx, gy;
    std::optional<PixelRect> previousMain;
    std::pair<double, double> lastMove{0.0, 0.0};
    for (std::size_t i = begin; i < end; ++i) {
        const Sample& sample = samples[i];
        // A picture answering twice at one time says nothing new.
        if (!path.times.empty() && sample.timeSeconds() - path.times.back() < sameTime) continue;
        path.times.push_back(sample.timeSeconds());
        const auto subjects = subjectsOf(sample, source, settings);
        // The main subject is looked for where it would be had it kept its last move.
        std::optional<PixelRect> predicted = previousMain;
        if (predicted) {
            predicted->left += lastMove.first;
            predicted->right += lastMove.first;
            predicted->top += lastMove.second;
            predicted->bottom += lastMove.second;
        }
        const auto focus = focusOf(subjects, predicted, size, settings);
        lastMove = {0.0, 0.0};
        if (focus && predicted && samePerson(focus->mainTight, *predicted)) {
            lastMove = {focus->mainTight.left - previousMain->left,
                        focus->mainTight.top - previousMain->top};
        }
        if (focus) previousMain = focus->mainTight;
        if (!focus) {
            for (auto* goals : {&gx.padded, &gx.tight, &gx.main, &gy.padded, &gy.tight, &gy.main}) {
                goals->push_back({});
            }
            continue;
        }
        path.anybody = true;
        addGoals(gx, *focus, true, size.width, source.width);
        addGoals(gy, *focus, false, size.height, source.height);
    }
    if (!path.anybody) return path;

    for (auto level : {&AxisGoals::padded, &AxisGoals::tight, &AxisGoals::main}) {
        const auto x = stillPosition(gx.*level);
        const auto y = stillPosition(gy.*level);
        if (x && y) {
            path.xs.assign(path.times.size(), *x);
            path.ys.assign(path.times.size(), *y);
            return path;
        }
    }
    path.mode = CameraMode::follow;
    const double step = path.times.size() > 1 ? (path.times.back() - path.times.front()) /
                                                    double(path.times.size() - 1)
                                              : 1.0;
    path.xs = smoothPositions(gx.tight, holdTargets(gx.tight, settings.deadZone * size.width), step,
                              settings);
    path.ys = smoothPositions(gy.tight, holdTargets(gy.tight, settings.deadZone * size.height),
                              step, settings);
    return path;
}

// How many frames make up `seconds`, at the frames' median spacing; odd.
int easeSpan(const std::vector<double>& times, double seconds) {
    if (times.size() < 2 || seconds <= 0) return 1;
    std::vector<double> steps;
    for (std::size_t i = 1; i < times.size(); ++i) steps.push_back(times[i] - times[i - 1]);
    std::nth_element(steps.begin(), steps.begin() + std::ptrdiff_t(steps.size() / 2), steps.end());
    const double step = steps[steps.size() / 2];
    if (step <= 0) return 1;
    return int(std::min(seconds / step, double(times.size()))) / 2 * 2 + 1;
}

std::optional<Error> checkInput(const std::vector<Sample>& samples, Size source, Size aspect,
                                const std::vector<double>& frameTimes) {
    auto bad = [](std::string what) { return errorOf(PlanCode::badInput, std::move(what)); };
    if (source.width <= 0 || source.height <= 0) {
        return bad("the source size must be positive, not " + std::to_string(source.width) + "x" +
                   std::to_string(source.height));
    }
    if (aspect.width <= 0 || aspect.height <= 0) {
        return bad("the target aspect must be positive, not " + std::to_string(aspect.width) + ":" +
                   std::to_string(aspect.height));
    }
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const double t = samples[i].timeSeconds();
        if (!std::isfinite(t) || !std::isfinite(samples[i].sceneScore())) {
            return bad("sample " + std::to_string(i) +
                       " has a time or scene score that is not a "
                       "finite number");
        }
        if (i > 0 && t < samples[i - 1].timeSeconds()) {
            return bad("sample " + std::to_string(i) + " is earlier (" + numberText(t) +
                       " s) than the one before (" + numberText(samples[i - 1].timeSeconds()) +
                       " s)");
        }
        for (const auto* boxes : {&samples[i].faces(), &samples[i].humans()}) {
            for (const auto& b : *boxes) {
                if (!std::isfinite(b.x()) || !std::isfinite(b.y()) || !std::isfinite(b.width()) ||
                    !std::isfinite(b.height()) || !std::isfinite(b.confidence())) {
                    return bad("sample " + std::to_string(i) +
                               " has a box with a number that is not finite");
                }
            }
        }
    }
    for (std::size_t i = 0; i < frameTimes.size(); ++i) {
        if (!std::isfinite(frameTimes[i])) {
            return bad("frame time " + std::to_string(i) + " is not a finite number");
        }
        if (i > 0 && frameTimes[i] < frameTimes[i - 1]) {
            return bad("frame time " + std::to_string(i) + " (" + numberText(frameTimes[i]) +
                       " s) is earlier than the one before (" + numberText(frameTimes[i - 1]) +
                       " s)");
        }
    }
    return std::nullopt;
}

}  // namespace

std::string_view cameraModeName(CameraMode mode) {
    return mode == CameraMode::follow ? "follow" : "still";
}

CropWindow windowSize(Size source, Size aspect) {
    const double picture = double(source.width) / source.height;
    const double target = double(aspect.width) / aspect.height;
    if (target < picture) {
        return {0, 0, evenSide(source.height * target, source.width), source.height};
    }
    return {0, 0, source.width, evenSide(source.width / target, source.height)};
}

Expected<CropPlan> planCrop(const std::vector<Sample>& samples, Size source, Size aspect,
                            const std::vector<double>& frameTimes, const CropSettings& settings) {
    if (auto error = checkInput(samples, source, aspect, frameTimes)) {
        return std::unexpected(std::move(*error));
    }
    const CropWindow size = windowSize(source, aspect);
    const double lastX = source.width - size.width, lastY = source.height - size.height;

    std::vector<double> scores;
    for (const auto& s : samples) scores.push_back(s.sceneScore());
    std::vector<std::size_t> starts = shotStarts(scores, settings);
    if (starts.empty()) starts.push_back(0);  // no samples: one shot over every frame

    CropPlan plan;
    plan.frames.reserve(frameTimes.size());
    double carryX = std::round(lastX / 2), carryY = std::round(lastY / 2);
    std::size_t frame = 0;
    for (std::size_t shot = 0; shot < starts.size(); ++shot) {
        const std::size_t begin = starts[shot];
        const std::size_t end = shot + 1 < starts.size() ? starts[shot + 1] : samples.size();
        const ShotPath path = planShot(samples, begin, end, source, size, settings);

        // The frames before the next shot's first sample belong to this one.
        std::vector<double> times;
        const double next = shot + 1 < starts.size() ? samples[starts[shot + 1]].timeSeconds()
                                                     : std::numeric_limits<double>::infinity();
        while (frame + times.size() < frameTimes.size() &&
               frameTimes[frame + times.size()] < next - sameTime) {
            times.push_back(frameTimes[frame + times.size()]);
        }
        std::vector<double> xs(times.size(), carryX), ys(times.size(), carryY);
        if (path.anybody) {
            xs = interpolateMonotone(path.times, path.xs, times);
            ys = interpolateMonotone(path.times, path.ys, times);
            if (path.mode == CameraMode::follow) {
                limitSpeed(xs, times, settings.maxSpeed * size.width);
                limitSpeed(ys, times, settings.maxSpeed * size.height);
                const int span = easeSpan(times, settings.easeSeconds);
                easeMoves(xs, span);
                easeMoves(ys, span);
            }
        }
        for (std::size_t i = 0; i < times.size(); ++i) {
            const int x = int(std::lround(std::clamp(xs[i], 0.0, lastX)));
            const int y = int(std::lround(std::clamp(ys[i], 0.0, lastY)));
            plan.frames.push_back({times[i], {x, y, size.width, size.height}});
        }
        frame += times.size();
        if (!times.empty()) {
            carryX = plan.frames.back().window.x;
            carryY = plan.frames.back().window.y;
        } else if (path.anybody) {
            carryX = std::round(std::clamp(path.xs.back(), 0.0, lastX));
            carryY = std::round(std::clamp(path.ys.back(), 0.0, lastY));
        }

        double start = samples.empty() ? 0.0 : samples[begin].timeSeconds();
        if (shot == 0 && !frameTimes.empty()) {
            start = samples.empty() ? frameTimes.front() : std::min(start, frameTimes.front());
        }
        plan.shots.push_back({start, 0.0, path.mode});
    }
    for (std::size_t i = 0; i + 1 < plan.shots.size(); ++i) {
        plan.shots[i].end = plan.shots[i + 1].start;
    }
    double last = samples.empty() ? 0.0 : samples.back().timeSeconds();
    if (!frameTimes.empty())
        last = samples.empty() ? frameTimes.back() : std::max(last, frameTimes.back());
    plan.shots.back().end = last;
    return plan;
}

std::string encodePlan(const CropPlan& plan) {
    // Members are (key, already encoded value); the commas are placed here only.
    using Members = std::initializer_list<std::pair<std::string_view, std::string>>;
    auto object = [](Members members) {
        std::string out = "{";
        for (const auto& [key, value] : members) {
            if (out.size() > 1) out += ',';
            out += '"';
            out += key;
            out += "\":";
            out += value;
        }
        return out + "}";
    };
    auto array = [](const std::vector<std::string>& items) {
        std::string out = "[";
        for (const auto& item : items) {
            if (out.size() > 1) out += ',';
            out += item;
        }
        return out + "]";
    };
    std::vector<std::string> frames, shots;
    for (const auto& f : plan.frames) {
        frames.push_back(object({{"time", numberText(f.time)},
                                 {"x", std::to_string(f.window.x)},
                                 {"y", std::to_string(f.window.y)},
                                 {"width", std::to_string(f.window.width)},
                                 {"height", std::to_string(f.window.height)}}));
    }
    for (const auto& s : plan.shots) {
        shots.push_back(object({{"start", numberText(s.start)},
                                {"end", numberText(s.end)},
                                {"mode", '"' + std::string(cameraModeName(s.mode)) + '"'}}));
    }
    return object({{"frames", array(frames)}, {"shots", array(shots)}});
}

}  // namespace autoframe
