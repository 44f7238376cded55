// The sampling loop on a real video with the real detectors, once answering each frame request
// when it comes and once decoding the next frame on a worker while the detectors run. Prints
// both times, their ratio, and whether the two sample lists are identical. The detectors are
// loaded and warmed up before either run, so model loading counts in neither.
//
//   pipeline_bench <video> <from> <to> <fps> [rounds, default 1]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "driver/sampling_loop.h"
#include "platform/opencv_detectors.h"
#include "driver/prefetching_frame_source.h"
#include "results/json.h"

using namespace autoframe;

namespace {

struct Timed {
    double seconds;
    std::string json;
};

Timed runOnce(const RunParameters& parameters, Detectors& detectors, bool ahead) {
    auto source = openFrameSource(parameters.video);
    PrefetchingFrameSource prefetching(*source, Schedule::of(parameters));
    FrameSource& used = ahead ? static_cast<FrameSource&>(prefetching) : *source;
    const auto start = std::chrono::steady_clock::now();
    auto samples = sampleVideo(parameters, used, detectors);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!samples) return {seconds, "error: " + samples.error().description};
    auto json = encodeSamples(*samples);
    return {seconds, json ? *json : "error: " + json.error().description};
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5 && argc != 6) {
        std::fprintf(stderr, "usage: pipeline_bench <video> <from> <to> <fps> [rounds]\n");
        return 2;
    }
    const RunParameters parameters{argv[1], std::atof(argv[2]), std::atof(argv[3]),
                                   std::atof(argv[4])};
    const int rounds = argc == 6 ? std::atoi(argv[5]) : 1;
    auto detectors = makeOpenCvDetectors();
    {
        auto source = openFrameSource(parameters.video);
        auto first = source->frameAt(parameters.from);
        if (!first) {
            std::fprintf(stderr, "%s\n", first.error().description.c_str());
            return 1;
        }
        (void)detectors->detect(first->frame);  // loads and warms up both nets
    }
    double best[2] = {1e300, 1e300};
    std::string outputs[2];
    for (int round = 0; round < rounds; ++round) {
        for (int ahead = 0; ahead < 2; ++ahead) {
            const Timed t = runOnce(parameters, *detectors, ahead == 1);
            best[ahead] = std::min(best[ahead], t.seconds);
            outputs[ahead] = t.json;
        }
    }
    std::printf("on request      %8.3f s\n", best[0]);
    std::printf("decoding ahead  %8.3f s   ratio %.3f\n", best[1], best[1] / best[0]);
    std::printf("outputs %s\n", outputs[0] == outputs[1] ? "identical" : "DIFFER");
    return outputs[0] == outputs[1] ? 0 : 1;
}
