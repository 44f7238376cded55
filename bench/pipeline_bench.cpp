// The sampling loop on a real video with the real detectors, once answering each frame request
// when it comes and once decoding the next frame on a worker while the detectors run, with the
// two networks one after the other or side by side, on 1 or 2 operator threads each, waiting or
// spinning between operators. Prints the cores this process may use and the threads the helper
// takes from them (platform/onnx/thread_shares.h), then for each way the median and best of the
// rounds (the ways take turns within each round), their ratios to the helper's way, and whether
// all sample lists are identical. The detectors are loaded and warmed up before any run, so model
// loading counts in none.
//
//   pipeline_bench <video> <from> <to> <fps> [rounds, default 1] [ahead]
//
// With `ahead`, only the ways decoding ahead (as the helper does) are run; with 0 rounds, only the
// cores and threads are printed (`taskset -c 0 pipeline_bench x 0 0 1 0`).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "driver/prefetching_frame_source.h"
#include "driver/sampling_loop.h"
#include "platform/ffmpeg/frame_source.h"
#include "platform/onnx/detectors.h"
#include "platform/onnx/models.h"
#include "platform/onnx/thread_shares.h"
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

bool same(const DetectorThreads& a, const DetectorThreads& b) {
    return a.faces.count == b.faces.count && a.faces.spin == b.faces.spin &&
           a.humans.count == b.humans.count && a.humans.spin == b.humans.spin &&
           a.sideBySide == b.sideBySide;
}

std::string describe(const DetectorThreads& t) {
    auto threads = [](const onnx::Threads& n) {
        return std::to_string(n.count) + (n.count > 1 && n.spin ? " spinning" : "");
    };
    return std::string(t.sideBySide ? "side by side" : "one after other") + ", threads " +
           threads(t.faces) + "+" + threads(t.humans);
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 5 || argc > 7 || (argc == 7 && std::strcmp(argv[6], "ahead") != 0)) {
        std::fprintf(stderr, "usage: pipeline_bench <video> <from> <to> <fps> [rounds] [ahead]\n");
        return 2;
    }
    const RunParameters parameters{argv[1], std::atof(argv[2]), std::atof(argv[3]),
                                   std::atof(argv[4])};
    const int rounds = argc >= 6 ? std::max(0, std::atoi(argv[5])) : 1;
    const bool onlyAhead = argc == 7;

    const int cores = usableCores();
    const ThreadShares shares = shareThreads(cores);
    const DetectorThreads helperWay = helperDetectorThreads();
    std::printf("cores %d: faces %d thread%s, humans %d, decoding %d, %s\n", cores, shares.faces,
                shares.faces == 1 ? "" : "s", shares.humans, shares.decoding,
                shares.sideBySide ? "side by side" : "one after the other");
    if (rounds == 0) return 0;

    struct Way {
        DetectorThreads threads;
        bool ahead;
        std::unique_ptr<Detectors> detectors;
        std::vector<double> seconds;
        std::string json;
    };
    std::vector<DetectorThreads> kinds;
    for (const bool sideBySide : {false, true}) {
        for (const onnx::Threads threads :
             {onnx::Threads{1, false}, onnx::Threads{2, false}, onnx::Threads{2, true}}) {
            kinds.push_back({threads, threads, sideBySide});
        }
    }
    if (std::none_of(kinds.begin(), kinds.end(),
                     [&](const DetectorThreads& kind) { return same(kind, helperWay); })) {
        kinds.push_back(helperWay);
    }
    std::vector<Way> ways;
    for (const DetectorThreads& threads : kinds) {
        for (const bool ahead : {false, true}) {
            if (onlyAhead && !ahead) continue;
            ways.push_back(
                {threads,
                 ahead,
                 makeOnnxDetectors(faceModel(), humanModel(), faceSettings, humanSettings, threads),
                 {},
                 {}});
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
            way.seconds.push_back(t.seconds);
            way.json = t.json;
        }
    }
    double helperMedian = 0.0;
    for (const Way& way : ways) {
        if (same(way.threads, helperWay) && way.ahead) helperMedian = median(way.seconds);
    }
    bool identical = true;
    std::printf("%-40s %-15s %9s %9s  %s\n", "detectors", "frames", "median s", "best s",
                "median / helper's way");
    for (const Way& way : ways) {
        identical = identical && way.json == ways.front().json;
        const double m = median(way.seconds);
        std::printf("%-40s %-15s %9.3f %9.3f  %.3f%s\n", describe(way.threads).c_str(),
                    way.ahead ? "decoding ahead" : "on request", m,
                    *std::min_element(way.seconds.begin(), way.seconds.end()), m / helperMedian,
                    same(way.threads, helperWay) && way.ahead ? "  (helper)" : "");
    }
    std::printf("outputs %s\n", identical ? "identical" : "DIFFER");
    return identical ? 0 : 1;
}
