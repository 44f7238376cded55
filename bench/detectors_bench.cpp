// Cost of detecting faces and humans in one 960 x 540 frame (pre- and post-processing included),
// with 1 and 2 ONNX Runtime threads per network, the two one after the other or side by side, at
// the helper's settings and at other input scales; the face network alone at scale 1 is the
// baseline in the same process. "faults" counts minor page faults per frame: memory handed back to
// the system after each frame and faulted in again shows up there (compare a run with the glibc
// environment MALLOC_MMAP_THRESHOLD_ / MALLOC_TRIM_THRESHOLD_ set).
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cstddef>
#include <memory>

#include "bench/noise_frame.h"
#include "platform/onnx/detectors.h"
#include "platform/onnx/models.h"

namespace {

using autoframe::NetSettings;
using autoframe::bench::noiseFrame;

long minorFaults() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
}

// Runs the detectors over the frame, once before timing so that models load and buffers settle.
void measure(benchmark::State& state, autoframe::Detectors& detectors) {
    if (!detectors.detect(noiseFrame())) {
        state.SkipWithError("detection failed");
        return;
    }
    const long faultsBefore = minorFaults();
    for (auto _ : state) benchmark::DoNotOptimize(detectors.detect(noiseFrame()));
    state.counters["faults"] = benchmark::Counter(double(minorFaults() - faultsBefore),
                                                  benchmark::Counter::kAvgIterations);
}

autoframe::onnx::Threads threadsOf(const benchmark::State& state) {
    return {.count = int(state.range(0)), .spin = false};
}

NetSettings scaled(NetSettings settings, double scale) {
    settings.inputScale = scale;
    return settings;
}

// Baseline: the face network alone at the frame's own size.
void BM_FaceNetNative(benchmark::State& state) {
    auto detectors = autoframe::makeOnnxFaceDetector(
        autoframe::faceModel(), scaled(autoframe::faceSettings, 1.0), threadsOf(state));
    measure(state, *detectors);
}

// Both networks at their chosen settings, on the threads given to each, one after the other or
// side by side (the second argument).
void BM_HelperDetectors(benchmark::State& state) {
    auto detectors = autoframe::makeOnnxDetectors(
        autoframe::faceModel(), autoframe::humanModel(), autoframe::faceSettings,
        autoframe::humanSettings,
        {.faces = threadsOf(state), .humans = threadsOf(state), .sideBySide = state.range(1) != 0});
    measure(state, *detectors);
}

// Each network alone at an input scale given in percent (the second argument).
void BM_FaceNet(benchmark::State& state) {
    auto detectors = autoframe::makeOnnxFaceDetector(
        autoframe::faceModel(), scaled(autoframe::faceSettings, double(state.range(1)) / 100),
        threadsOf(state));
    measure(state, *detectors);
}

void BM_HumanNet(benchmark::State& state) {
    auto detectors = autoframe::makeOnnxHumanDetector(
        autoframe::humanModel(), scaled(autoframe::humanSettings, double(state.range(1)) / 100),
        threadsOf(state));
    measure(state, *detectors);
}

// One second look at an unsure face (analysis/face_checks.h): the face network alone on a crop of
// the size lookCrop gives a face box 0.8 times as wide as tall, at scale 1.
void BM_FaceSecondLook(benchmark::State& state) {
    const autoframe::SecondLook& look = autoframe::faceChecks.secondLook;
    const int side = autoframe::lookCrop({0, 0, 80, 100, 0.6f}, look).size;
    autoframe::Frame crop;
    crop.width = side;
    crop.height = side;
    const autoframe::Frame& noise = noiseFrame();
    for (int y = 0; y < side; ++y) {
        const auto row = noise.bgr.begin() + std::ptrdiff_t(y) * noise.width * 3;
        crop.bgr.insert(crop.bgr.end(), row, row + std::ptrdiff_t(side) * 3);
    }
    auto detectors = autoframe::makeOnnxFaceDetector(
        autoframe::faceModel(), scaled(autoframe::faceSettings, 1.0), threadsOf(state));
    if (!detectors->detect(crop)) {
        state.SkipWithError("detection failed");
        return;
    }
    for (auto _ : state) benchmark::DoNotOptimize(detectors->detect(crop));
}

void threads(benchmark::internal::Benchmark* b) {
    b->ArgName("threads")->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->MinTime(3.0);
}

void threadsAndScales(benchmark::internal::Benchmark* b) {
    b->ArgNames({"threads", "scale%"})->Unit(benchmark::kMillisecond)->MinTime(3.0);
    for (const int t : {1, 2}) {
        for (const int s : {80, 100, 110, 120, 133, 150}) b->Args({t, s});
    }
}

BENCHMARK(BM_FaceNetNative)->Apply(threads);
BENCHMARK(BM_HelperDetectors)
    ->ArgNames({"threads", "sideBySide"})
    ->Args({1, 0})
    ->Args({2, 0})
    ->Args({1, 1})
    ->Args({2, 1})
    ->Unit(benchmark::kMillisecond)
    ->MinTime(3.0);
BENCHMARK(BM_FaceSecondLook)->Apply(threads);
BENCHMARK(BM_FaceNet)->Apply(threadsAndScales);
BENCHMARK(BM_HumanNet)->Apply(threadsAndScales);

}  // namespace

BENCHMARK_MAIN();
