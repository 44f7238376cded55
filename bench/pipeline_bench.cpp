// The sampling loop on a real video with the real detectors, once answering each frame request
// when it comes and once decoding the next frame on a worker while the detectors run, with the
// detectors' operators on 1 thread and on 2 threads that spin or do not spin between operators.
// Prints the times, their ratios to the helper's way (decoding ahead, detectorThreads), and
// whether all sample lists are identical. The detectors
// are loaded and warmed up before any run, so model loading counts in none.
//
//   pipeline_bench <video> <from> <to> <fps> [rounds, default 1]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "driver/prefetching_frame_source.h"
#include "driver/sampling_loop.h"
#include "platform/ffmpeg/frame_source.h"
#include "platform/onnx/models.h"
#include "platform/onnx/detectors.h"
#include "platform/opencv/gray.h"
#include "results/json.h"

using namespace autoframe;

namespace {

struct Timed {
    double seconds;
    std::string json;
};

Timed runOnce(const RunParameters& parameters, Detectors& detectors, bool ahead) {
    auto source = openFrameSource(parameters.video);
    const Schedule schedule = Schedule::of(parameters);
    PrefetchingFrameSource prefetching(*source, nextOn(schedule));
    FrameSource& used = ahead ? static_cast<FrameSource&>(prefetching) : *source;
    const auto start = std::chrono::steady_clock::now();
    auto samples = sampleVideo(parameters, schedule, used, detectors, OpenCvGrayRenderer{});
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
    struct Way {
        onnx::Threads threads;
        bool ahead;
        std::unique_ptr<Detectors> detectors;
        double best = 1e300;
        std::string json;
    };
    std::vector<Way> ways;
    for (const onnx::Threads threads : {onnx::Threads{1, false}, onnx::Threads{2, true},
                                        onnx::Threads{2, false}}) {
        for (const bool ahead : {false, true}) {
            ways.push_back({threads, ahead,
                            makeOnnxDetectors(faceModel(), humanModel(), faceSettings,
                                              humanSettings, threads)});
        }
    }
    {
        auto source = openFrameSource(parameters.video);
        auto first = source->frameAt(parameters.from);
        if (!first) {
            std::fprintf(stderr, "%s\n", first.error().description.c_str());
            return 1;
        }
        for (Way& way : ways) (void)way.detectors->detect(first->frame);  // load and warm up
    }
    for (int round = 0; round < rounds; ++round) {
        for (Way& way : ways) {
            const Timed t = runOnce(parameters, *way.detectors, way.ahead);
            way.best = std::min(way.best, t.seconds);
            way.json = t.json;
        }
    }
    double helperWay = 0.0;
    for (const Way& way : ways) {
        if (way.threads.count == detectorThreads.count &&
            way.threads.spin == detectorThreads.spin && way.ahead) {
            helperWay = way.best;
        }
    }
    bool identical = true;
    for (const Way& way : ways) {
        identical = identical && way.json == ways.front().json;
        std::printf("%d thread%s%-11s %-15s %8.3f s   ratio %.3f\n", way.threads.count,
                    way.threads.count == 1 ? " " : "s",
                    way.threads.count == 1 ? "" : way.threads.spin ? ", spinning" : ", waiting",
                    way.ahead ? "decoding ahead" : "on request", way.best, way.best / helperWay);
    }
    std::printf("outputs %s\n", identical ? "identical" : "DIFFER");
    return identical ? 0 : 1;
}
