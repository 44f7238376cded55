// Cost of one signature from a 960 x 540 frame, per reduction filter, against reading the
// frame once (a plain sum over its bytes) in the same process.
#include <benchmark/benchmark.h>

#include <numeric>

#include "analysis/signature.h"
#include "bench/noise_frame.h"
#include "platform/opencv/gray.h"

namespace {

using autoframe::bench::noiseFrame;

void BM_ReadFrameOnce(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            std::accumulate(noiseFrame().bgr.begin(), noiseFrame().bgr.end(), std::uint64_t{0}));
    }
}

void BM_GrayArea(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            autoframe::renderGray(noiseFrame(), 24, 14, autoframe::ReductionFilter::area));
    }
}

void BM_GrayBilinear(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            autoframe::renderGray(noiseFrame(), 24, 14, autoframe::ReductionFilter::bilinear));
    }
}

void BM_Signature(benchmark::State& state) {
    const autoframe::OpenCvGrayRenderer gray;
    for (auto _ : state) benchmark::DoNotOptimize(autoframe::signature(noiseFrame(), gray));
}

BENCHMARK(BM_ReadFrameOnce)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GrayArea)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GrayBilinear)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Signature)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
