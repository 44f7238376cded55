// Prints the face network's candidates on raw frames read from stdin, before the face checks and
// the suppression of overlaps, so that those can be chosen offline (bench/sweep_face_checks.py).
//
//   face_candidates <width> <height> [threshold] [face.scale]
//
// stdin: packed BGR frames of width x height, one after the other (bench/slot_frames.sh).
// stdout: one line per candidate: the frame's index, the box (left top width height, frame
// pixels), the score, then the five landmarks as x y pairs in the network's order.
#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "platform/onnx/detectors.h"
#include "platform/onnx/models.h"

int main(int argc, char** argv) {
    if (argc < 3 || argc > 5) {
        std::cerr << "usage: face_candidates <width> <height> [threshold] [face.scale]\n";
        return 2;
    }
    autoframe::Frame frame;
    frame.width = std::atoi(argv[1]);
    frame.height = std::atoi(argv[2]);
    autoframe::NetSettings settings = autoframe::faceSettings;
    settings.scoreThreshold = argc > 3 ? float(std::strtod(argv[3], nullptr)) : 0.3f;
    if (argc > 4) settings.inputScale = std::strtod(argv[4], nullptr);
    auto finder = autoframe::makeOnnxFaceCandidateFinder(autoframe::faceModel(), settings);

    frame.bgr.resize(std::size_t(frame.width) * std::size_t(frame.height) * 3);
    for (int index = 0;
         std::fread(frame.bgr.data(), 1, frame.bgr.size(), stdin) == frame.bgr.size(); ++index) {
        auto found = finder->find(frame);
        if (!found) {
            std::cerr << "face_candidates: " << found.error().description << "\n";
            return 1;
        }
        for (const autoframe::FrameFace& face : *found) {
            const autoframe::PixelBox& b = face.box;
            std::printf("%d %.2f %.2f %.2f %.2f %.4f", index, b.left, b.top, b.width, b.height,
                        double(b.confidence));
            for (const autoframe::Point& p : face.landmarks) std::printf(" %.2f %.2f", p.x, p.y);
            std::printf("\n");
        }
    }
    return 0;
}
