// Runs the detectors over raw frames read from stdin and prints the helper's JSON, so that the
// people-in-video benchmark can score detector settings without the helper's frame source.
//
//   detect_frames <width> <height> <first seconds> <step seconds> [name=value ...]
//
// stdin: packed BGR frames of width x height, one after the other (e.g. ffmpeg -f rawvideo
// -pix_fmt bgr24). The i-th frame is given the time first + i * step. Settings (defaults are the
// helper's): face.scale, face.threshold, face.nms, face.min, and the same for human.
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "analysis/detection.h"
#include "analysis/signature.h"
#include "platform/onnx/detectors.h"
#include "platform/onnx/models.h"
#include "platform/opencv/gray.h"
#include "results/json.h"

namespace {

bool setSetting(const std::string& argument, autoframe::NetSettings& faces,
                autoframe::NetSettings& humans) {
    const auto equals = argument.find('=');
    const auto dot = argument.find('.');
    if (equals == std::string::npos || dot == std::string::npos || dot > equals) return false;
    const std::string kind = argument.substr(0, dot);
    const std::string name = argument.substr(dot + 1, equals - dot - 1);
    const double value = std::strtod(argument.c_str() + equals + 1, nullptr);
    autoframe::NetSettings* settings = kind == "face"    ? &faces
                                       : kind == "human" ? &humans
                                                         : nullptr;
    if (!settings) return false;
    if (name == "scale")
        settings->inputScale = value;
    else if (name == "threshold")
        settings->scoreThreshold = float(value);
    else if (name == "nms")
        settings->nmsThreshold = float(value);
    else if (name == "min")
        settings->minHeight = value;
    else
        return false;
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 5) {
        std::cerr << "usage: detect_frames <width> <height> <first> <step> [face.scale=1 ...]\n";
        return 2;
    }
    autoframe::Frame frame;
    frame.width = std::atoi(argv[1]);
    frame.height = std::atoi(argv[2]);
    const double first = std::strtod(argv[3], nullptr);
    const double step = std::strtod(argv[4], nullptr);
    autoframe::NetSettings faces = autoframe::faceSettings;
    autoframe::NetSettings humans = autoframe::humanSettings;
    for (int i = 5; i < argc; ++i) {
        if (!setSetting(argv[i], faces, humans)) {
            std::cerr << "detect_frames: unknown setting " << argv[i] << "\n";
            return 2;
        }
    }
    auto detectors = autoframe::makeOnnxDetectors(autoframe::faceModel(), autoframe::humanModel(),
                                                  faces, humans);

    frame.bgr.resize(std::size_t(frame.width) * std::size_t(frame.height) * 3);
    std::vector<autoframe::Sample> samples;
    std::optional<autoframe::Signature> previous;
    for (int index = 0;
         std::fread(frame.bgr.data(), 1, frame.bgr.size(), stdin) == frame.bgr.size(); ++index) {
        auto found = autoframe::detectRectangles(frame, *detectors);
        if (!found) {
            std::cerr << "detect_frames: " << found.error().description << "\n";
            return 1;
        }
        autoframe::Signature current = autoframe::signature(frame, autoframe::OpenCvGrayRenderer{});
        samples.emplace_back(first + index * step, autoframe::sceneScore(previous, current),
                             std::move(found->faces), std::move(found->humans));
        previous = std::move(current);
    }
    auto json = autoframe::encodeSamples(samples);
    if (!json) {
        std::cerr << "detect_frames: " << json.error().description << "\n";
        return 1;
    }
    std::cout << *json;
    return 0;
}
