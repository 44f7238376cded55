// Runs the OpenCV dnn detectors and the ONNX Runtime detectors, at the same sizes and thresholds,
// over the frames of a video at from, from + 1/fps, ... below to, and compares their boxes:
// counts per frame and list, and the largest coordinate difference as a fraction of the frame.
//
//   engine_equivalence <video> <from> <to> <fps>
//
// Exit status 0 when every frame has the same counts and no coordinate differs by more than 1e-4.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "analysis/detection.h"
#include "platform/ffmpeg_frame_source.h"
#include "platform/models.h"
#include "platform/onnx_detectors.h"
#include "platform/opencv_detectors.h"
#include "platform/real_services.h"

namespace {

double largestDifference(const std::vector<autoframe::Observation>& a,
                         const std::vector<autoframe::Observation>& b) {
    double largest = 0.0;
    for (std::size_t i = 0; i < std::min(a.size(), b.size()); ++i) {
        largest = std::max({largest, std::fabs(a[i].x() - b[i].x()), std::fabs(a[i].y() - b[i].y()),
                            std::fabs(a[i].width() - b[i].width()),
                            std::fabs(a[i].height() - b[i].height()),
                            std::fabs(a[i].confidence() - b[i].confidence())});
    }
    return largest;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: engine_equivalence <video> <from> <to> <fps>\n");
        return 2;
    }
    autoframe::silenceLibraries();
    const double from = std::atof(argv[2]);
    const double to = std::atof(argv[3]);
    const double step = 1.0 / std::atof(argv[4]);
    auto source = autoframe::openFrameSource(argv[1]);
    auto opencv = autoframe::makeOpenCvDetectors();
    auto onnx = autoframe::makeOnnxDetectors();

    int frames = 0, countMismatches = 0, faces = 0, humans = 0;
    double largest = 0.0;
    for (double t = from; t < to - 0.001; t += step) {
        const auto frame = source->frameAt(t);
        if (!frame) {
            std::fprintf(stderr, "%s\n", frame.error().description.c_str());
            return 1;
        }
        const auto a = autoframe::detectRectangles(frame->frame, *opencv);
        const auto b = autoframe::detectRectangles(frame->frame, *onnx);
        if (!a || !b) {
            std::fprintf(stderr, "%s\n", (!a ? a : b).error().description.c_str());
            return 1;
        }
        ++frames;
        faces += int(a->faces.size());
        humans += int(a->humans.size());
        if (a->faces.size() != b->faces.size() || a->humans.size() != b->humans.size()) {
            ++countMismatches;
            std::printf("t=%.3f: faces %zu vs %zu, humans %zu vs %zu\n", t, a->faces.size(),
                        b->faces.size(), a->humans.size(), b->humans.size());
        }
        largest = std::max({largest, largestDifference(a->faces, b->faces),
                            largestDifference(a->humans, b->humans)});
    }
    std::printf("%s: %d frames, %d faces, %d humans (OpenCV); frames with other counts: %d; "
                "largest difference: %.3g\n",
                argv[1], frames, faces, humans, countMismatches, largest);
    return countMismatches == 0 && largest <= 1e-4 ? 0 : 1;
}
