// Scene-cut separation of the signature's reduction filters on a slideshow video (one picture per
// 1 s slot, as the people benchmark's make_video.py makes): frames at 2 per second from 0.25 s,
// pairs that cross a slot boundary are cuts, pairs within a slot are not. Prints, per filter, the
// ROC AUC, the weakest cut, the strongest non-cut and the gap between them, and the time spent
// rendering signatures beside the time spent decoding.
//
//   scene_cut_bench <video> <slots> [no-cuts]
//
// With "no-cuts" the video is continuous footage without any cut (people walking, a moving
// camera): every pair is a non-cut, and the scores show how much each filter reacts to motion
// and noise alone.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "analysis/signature.h"
#include "platform/ffmpeg/frame_source.h"
#include "platform/opencv/gray.h"

namespace {

using namespace autoframe;
using Clock = std::chrono::steady_clock;

struct Pair {
    double score;
    bool cut;
};

double auc(const std::vector<Pair>& pairs) {
    double wins = 0, total = 0;
    for (const Pair& a : pairs) {
        if (!a.cut) continue;
        for (const Pair& b : pairs) {
            if (b.cut) continue;
            wins += a.score > b.score ? 1.0 : a.score == b.score ? 0.5 : 0.0;
            total += 1;
        }
    }
    return total > 0 ? wins / total : NAN;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: scene_cut_bench <video> <slots> [no-cuts]\n");
        return 2;
    }
    const bool noCuts = argc == 4 && std::string(argv[3]) == "no-cuts";
    const int slots = std::atoi(argv[2]);
    auto source = openFrameSource(argv[1]);
    const ReductionFilter filters[] = {ReductionFilter::area, ReductionFilter::bilinear};
    const char* names[] = {"area", "bilinear"};
    std::vector<Pair> pairs[2];
    std::optional<Signature> previous[2];
    double renderSeconds[2] = {0, 0};
    double decodeSeconds = 0;
    int previousSlot = -1;
    for (int k = 0; k < 2 * slots; ++k) {
        const double t = 0.25 + 0.5 * k;
        const auto start = Clock::now();
        auto frame = source->frameAt(t);
        decodeSeconds += std::chrono::duration<double>(Clock::now() - start).count();
        if (!frame) {
            std::fprintf(stderr, "%s\n", frame.error().description.c_str());
            return 1;
        }
        const int slot = int(std::floor(t));
        for (int f = 0; f < 2; ++f) {
            const auto begin = Clock::now();
            auto gray = renderGray(frame->frame, signatureWidth, signatureHeight, filters[f]);
            renderSeconds[f] += std::chrono::duration<double>(Clock::now() - begin).count();
            Signature current = gray ? *gray : Signature(336, 0);
            if (previous[f])
                pairs[f].push_back(
                    {sceneScore(previous[f], current), !noCuts && slot != previousSlot});
            previous[f] = std::move(current);
        }
        previousSlot = slot;
    }
    std::printf("%d frames, decoding %.2f ms per frame\n", 2 * slots,
                1000 * decodeSeconds / (2 * slots));
    for (int f = 0; f < 2; ++f) {
        double weakestCut = INFINITY, strongestStill = -INFINITY, stillSum = 0;
        int cuts = 0;
        for (const Pair& p : pairs[f]) {
            if (p.cut) {
                weakestCut = std::min(weakestCut, p.score);
                ++cuts;
            } else {
                strongestStill = std::max(strongestStill, p.score);
                stillSum += p.score;
            }
        }
        if (noCuts) {
            std::printf("%-8s  non-cuts: mean %.5f  strongest %.5f  (%zu pairs)\n", names[f],
                        stillSum / double(pairs[f].size()), strongestStill, pairs[f].size());
            continue;
        }
        std::printf(
            "%-8s  AUC %.4f  weakest cut %.5f  strongest non-cut %.5f  gap %+.5f  "
            "(%d cuts, %zu non-cuts)  render %.3f ms per frame\n",
            names[f], auc(pairs[f]), weakestCut, strongestStill, weakestCut - strongestStill, cuts,
            pairs[f].size() - std::size_t(cuts), 1000 * renderSeconds[f] / (2 * slots));
    }
    return 0;
}
