// Plans the crop path for a saved run of the helper and prints it as JSON (for
// ../shared/bench/evaluate_path.py), with a summary on stderr.
//
//   plan_path <samples.json> <width> <height> <W:H> <frame rate> <duration> [name=value ...]
//   plan_path <samples.json> <width> <height> <W:H> @<frame times file> [name=value ...]
//
// Frame times are k / rate for every k with k / rate < duration, or read from the file (one time
// in seconds a line, e.g. from ffprobe -show_entries frame=pts_time -of csv=p=0). Any setting of
// CropSettings can be changed by name, e.g. smoother=polynomial deadZone=0.08 bendSeconds=0.6.

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "planning/crop_plan.h"
#include "results/json_reader.h"

namespace {

using autoframe::CropSettings;

int usage(const std::string& why) {
    std::cerr << "plan_path: " << why << "\n"
              << "usage: plan_path <samples.json> <width> <height> <W:H> <frame rate> <duration> "
                 "[name=value ...]\n"
              << "       plan_path <samples.json> <width> <height> <W:H> @<frame times file> "
                 "[name=value ...]\n";
    return 2;
}

bool parse(const std::string& text, double& value) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size();
}

bool parse(const std::string& text, int& value) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size();
}

// Setting name -> how to set it from text.
std::map<std::string, std::function<bool(CropSettings&, const std::string&)>> settingSetters() {
    std::map<std::string, std::function<bool(CropSettings&, const std::string&)>> m;
#define AUTOFRAME_SETTING(name) \
    m[#name] = [](CropSettings& s, const std::string& v) { return parse(v, s.name); }
    AUTOFRAME_SETTING(cutMinScore);
    AUTOFRAME_SETTING(cutSpikeRatio);
    AUTOFRAME_SETTING(cutNoiseFloor);
    AUTOFRAME_SETTING(minFaceConfidence);
    AUTOFRAME_SETTING(minHumanConfidence);
    AUTOFRAME_SETTING(facePadding);
    AUTOFRAME_SETTING(humanPadding);
    AUTOFRAME_SETTING(keepMainShare);
    AUTOFRAME_SETTING(deadZone);
    AUTOFRAME_SETTING(bendSeconds);
    AUTOFRAME_SETTING(stepSeconds);
    AUTOFRAME_SETTING(polynomialDegree);
    AUTOFRAME_SETTING(constraintPasses);
    AUTOFRAME_SETTING(constraintBoost);
    AUTOFRAME_SETTING(maxSpeed);
    AUTOFRAME_SETTING(easeSeconds);
    AUTOFRAME_SETTING(faceWeight);
#undef AUTOFRAME_SETTING
    m["smoother"] = [](CropSettings& s, const std::string& v) {
        if (v == "penalised")
            s.smoother = autoframe::Smoother::penalised;
        else if (v == "polynomial")
            s.smoother = autoframe::Smoother::polynomial;
        else
            return false;
        return true;
    };
    return m;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 6) return usage("too few arguments");
    const std::vector<std::string> args(argv + 1, argv + argc);
    std::ifstream in(args[0], std::ios::binary);
    if (!in) return usage("cannot read " + args[0]);
    std::stringstream text;
    text << in.rdbuf();
    const auto samples = autoframe::decodeSamples(text.str());
    if (!samples) return usage(args[0] + ": " + samples.error().description);

    autoframe::Size source, aspect;
    const auto colon = args[3].find(':');
    if (!parse(args[1], source.width) || !parse(args[2], source.height) ||
        colon == std::string::npos || !parse(args[3].substr(0, colon), aspect.width) ||
        !parse(args[3].substr(colon + 1), aspect.height)) {
        return usage("width, height and W:H must be whole numbers");
    }

    std::vector<double> frameTimes;
    std::size_t next = 5;
    if (args[4].starts_with('@')) {
        std::ifstream times(args[4].substr(1));
        if (!times) return usage("cannot read " + args[4].substr(1));
        for (std::string line; std::getline(times, line);) {
            double t = 0;
            if (!line.empty() && parse(line, t)) frameTimes.push_back(t);
        }
    } else {
        double rate = 0, duration = 0;
        if (args.size() < 6 || !parse(args[4], rate) || !parse(args[5], duration) || rate <= 0) {
            return usage("frame rate and duration must be numbers");
        }
        for (long k = 0; k / rate < duration - 1e-9; ++k) frameTimes.push_back(double(k) / rate);
        next = 6;
    }

    CropSettings settings;
    const auto setters = settingSetters();
    for (std::size_t i = next; i < args.size(); ++i) {
        const auto eq = args[i].find('=');
        const auto it = setters.find(args[i].substr(0, eq));
        if (eq == std::string::npos || it == setters.end() ||
            !it->second(settings, args[i].substr(eq + 1))) {
            return usage("not a setting or not its value: " + args[i]);
        }
    }

    const auto plan = autoframe::planCrop(*samples, source, aspect, frameTimes, settings);
    if (!plan) return usage(plan.error().description);
    std::cout << autoframe::encodePlan(*plan) << "\n";

    // Summary: shots by mode, and the window's largest speed and acceleration between frames.
    int follow = 0;
    for (const auto& s : plan->shots) follow += s.mode == autoframe::CameraMode::follow;
    double fastest = 0, hardest = 0;
    const auto& f = plan->frames;
    for (std::size_t i = 2; i < f.size(); ++i) {
        const double dt1 = f[i - 1].time - f[i - 2].time, dt2 = f[i].time - f[i - 1].time;
        if (dt1 <= 0 || dt2 <= 0) continue;
        const double v1 = (f[i - 1].window.x - f[i - 2].window.x) / dt1;
        const double v2 = (f[i].window.x - f[i - 1].window.x) / dt2;
        // Window jumps at cuts are not movements.
        const bool acrossCut = std::any_of(
            plan->shots.begin() + 1, plan->shots.end(), [&](const autoframe::PlannedShot& s) {
                return s.start > f[i - 2].time && s.start <= f[i].time;
            });
        if (acrossCut) continue;
        fastest = std::max(fastest, std::abs(v2));
        hardest = std::max(hardest, std::abs(v2 - v1) / ((dt1 + dt2) / 2));
    }
    const double side = f.empty() ? 1.0 : f.front().window.width;
    std::fprintf(stderr,
                 "%zu frames, %zu shots (%d follow); window %dx%d; fastest %.2f windows/s, "
                 "hardest %.2f windows/s^2 (horizontal, within shots)\n",
                 f.size(), plan->shots.size(), follow, f.empty() ? 0 : f.front().window.width,
                 f.empty() ? 0 : f.front().window.height, fastest / side, hardest / side);
    return 0;
}
