// Cost of one signature from a 960 x 540 frame, per reduction filter, against reading the
// frame once (a plain sum over its bytes) in the same process.
#include <benchmark/benchmark.h>

#include <numeric>
#include <random>

#include "analysis/signature.h"
#include "platform/gray.h"

namespace {

autoframe::Frame noiseFrame(int width, int height) {
    autoframe::Frame frame;
    frame.width = width;
    frame.height = height;
    frame.bgr.resize(std::size_t(width) * std::size_t(height) * 3);
    std::mt19937 random(7);
    for (auto& byte : frame.bgr) byte = static_cast<std::uint8_t>(random());
    return frame;
}

const autoframe::Frame& frame() {
    static const autoframe::Frame f = noiseFrame(960, 540);
    return f;
}

void BM_ReadFrameOnce(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            std::accumulate(frame().bgr.begin(), frame().bgr.end(), std::uint64_t{0}));
    }
}

void BM_GrayArea(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(autoframe::renderGray(frame(), 24, 14,
                                                       autoframe::ReductionFilter::area));
    }
}

void BM_GrayBilinear(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(autoframe::renderGray(frame(), 24, 14,
                                                       autoframe::ReductionFilter::bilinear));
    }
}

void BM_Signature(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(autoframe::signature(frame()));
}

BENCHMARK(BM_ReadFrameOnce)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GrayArea)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GrayBilinear)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Signature)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
