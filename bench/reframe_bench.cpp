// Renders a reframe of a video with a window that stays, pans or zooms, and prints the wall-clock
// seconds; bench/reframe_bench.sh compares it with the ffmpeg command cropping the same video.
//
//   reframe_bench <video> <output.mp4> fixed|pan|zoom
//
// fixed: 608x1080 at (656, 0), as `-vf crop=608:1080:656:0`. pan: the same window sliding
// across the picture and back every 10 s, at fractional positions. zoom: a 9:16 window between
// 540 and 608 pixels wide, moving, scaled to 540x960 (a new scale factor every frame).
#include <chrono>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <string>

#include "platform/ffmpeg/frame_times.h"
#include "platform/ffmpeg/reframe_writer.h"
#include "platform/real_services.h"

using namespace autoframe;
using namespace autoframe::reframe;

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: reframe_bench <video> <output.mp4> fixed|pan|zoom\n");
        return 2;
    }
    silenceLibraries();
    const std::string mode = argv[3];
    const auto started = std::chrono::steady_clock::now();
    const auto source = frameTimes(argv[1]);
    if (!source) {
        std::fprintf(stderr, "Reframe failed: %s\n", source.error().description.c_str());
        return 1;
    }
    const double width = source->uprightWidth, height = source->uprightHeight;
    const auto wave = [](double seconds) {
        return std::sin(2 * std::numbers::pi * seconds / 10.0);
    };

    RenderRequest request;
    request.input = argv[1];
    request.output = argv[2];
    request.expectedFrames = source->seconds.size();
    if (mode == "fixed") {
        request.size = {608, 1080};
        request.window = [](std::size_t, double) -> Expected<SourceWindow> {
            return SourceWindow{656, 0, 608, 1080};
        };
    } else if (mode == "pan") {
        request.size = {608, 1080};
        request.window = [&](std::size_t, double t) -> Expected<SourceWindow> {
            return SourceWindow{(width - 608) / 2 * (1 + wave(t)), 0, 608, 1080};
        };
    } else if (mode == "zoom") {
        request.size = {540, 960};
        request.window = [&](std::size_t, double t) -> Expected<SourceWindow> {
            const double w = 574 + 34 * wave(t * 1.7), h = w * 16 / 9;
            return SourceWindow{(width - w) / 2 * (1 + wave(t)), (height - h) / 2, w, h};
        };
    } else {
        std::fprintf(stderr, "unknown mode %s\n", mode.c_str());
        return 2;
    }
    const auto rendered = renderReframe(request);
    if (!rendered) {
        std::fprintf(stderr, "Reframe failed: %s\n", rendered.error().description.c_str());
        return 1;
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("%s %.3f s %zu frames\n", mode.c_str(), seconds, rendered->frames);
    return 0;
}
