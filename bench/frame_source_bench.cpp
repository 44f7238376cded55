// Times the frame source alone over a clip, and the detectors alone on the frames it gives.
// Driven by bench/frame_source_bench.sh, which also times the full decode by the ffmpeg command.
//
//   frame_source_bench source <clip> <to> <fps> [threads] [skip 0|1] [seek 0|1]
//       requests 0, 1/fps, ... below <to>; prints "seconds <wall> frames <n>"
//   frame_source_bench detect <clip> <to> <fps>
//       the same requests, timing only the detectors on each frame; prints "seconds <sum> frames
//       <n>"
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/ffmpeg/frame_source.h"
#include "platform/onnx/detectors.h"
#include "platform/real_services.h"

namespace {

using Clock = std::chrono::steady_clock;

double since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

int usage() {
    std::fprintf(stderr,
                 "usage: frame_source_bench source <clip> <to> <fps> [threads] [skip] [seek]\n"
                 "       frame_source_bench detect <clip> <to> <fps>\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 5) return usage();
    autoframe::silenceLibraries();
    const std::string mode = argv[1];
    const std::string clip = argv[2];
    const double to = std::atof(argv[3]);
    const double step = 1.0 / std::atof(argv[4]);
    autoframe::DecodeSettings settings;
    if (argc > 5) settings.decoderThreads = std::atoi(argv[5]);
    if (argc > 6) settings.skipNonReference = std::atoi(argv[6]) != 0;
    if (argc > 7) settings.seekForward = std::atoi(argv[7]) != 0;

    auto source = autoframe::openFfmpegFrameSource(clip, settings);
    auto detectors = mode == "detect" ? autoframe::makeOnnxDetectors() : nullptr;
    if (mode != "source" && !detectors) return usage();

    int frames = 0;
    double detecting = 0.0;
    const auto start = Clock::now();
    for (double t = 0.0; t < to - 0.001; t += step) {
        const auto frame = source->frameAt(t);
        if (!frame) {
            std::fprintf(stderr, "%s\n", frame.error().description.c_str());
            return 1;
        }
        ++frames;
        if (detectors) {
            const auto before = Clock::now();
            const auto found = detectors->detect(frame->frame);
            detecting += since(before);
            if (!found) {
                std::fprintf(stderr, "%s\n", found.error().description.c_str());
                return 1;
            }
        }
    }
    std::printf("seconds %.3f frames %d\n", detectors ? detecting : since(start), frames);
    return 0;
}
