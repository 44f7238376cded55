#pragma once

// How the cores this process may use are shared between the two networks and the decoding.
namespace autoframe {

struct ThreadShares {
    int faces = 1;     // operator threads of the face network
    int humans = 1;    // operator threads of the person network
    int decoding = 1;  // the thread decoding the next frame ahead
    // Whether the two networks run at the same time, each on its threads, or one after the other.
    bool sideBySide = false;
};

// The rule, for a process that may use `cores` cores (at least 1). From 2 cores the two networks
// run side by side, each on its own threads, and the decoding ahead takes one core's worth from
// 3 cores up; the rest are split between the networks, the person network, the costlier (35 ms
// against 27 a 960 x 540 frame on one thread), taking the odd one. On 2 cores that is one thread
// each, the decoding sharing the cores: measured on an idle 2-core machine (bench/pipeline_bench,
// 60 s 1080p clip at fps 4, decoding ahead, medians of 3), side by side on 1 thread each took
// 12.9 s, on 2 threads each 13.8 s, one after the other on 2 threads each 13.4 s; the networks
// alone (bench/detectors_bench) 36 to 41 ms a frame side by side on 1 thread each against 46 to
// 51 on 2 each: two pools of 2 threads on 2 cores take turns on the cores within each operator.
// On 1 core side by side would only take turns: one after the other, on one thread each.
ThreadShares shareThreads(int cores);

// The cores this process may run on (its affinity mask, which `taskset` and container limits
// narrow), at least 1.
int usableCores();

}  // namespace autoframe
