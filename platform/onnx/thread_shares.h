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
// run side by side, each on at least 2 threads: measured on 2 cores (bench/pipeline_bench, 60 s
// 1080p clip at fps 4, decoding ahead, the machine shared with other work), side by side on 2
// threads each took 0.76 to 0.83 of the time of side by side on 1 thread each, and 0.80 to 0.87
// of one after the other on 2 each. The threads wait between operators, so where one network's
// pool has nothing to run its core goes to the other network or to the decoding. From 4 cores one
// is left to the decoding, which runs alongside the networks on every frame; the rest are split
// between the networks, the person network, the costlier (35 ms against 27 a 960 x 540 frame on
// one thread), taking the odd one. On 1 core side by side would only take turns: one after the
// other, on one thread each.
ThreadShares shareThreads(int cores);

// The cores this process may run on (its affinity mask, which `taskset` and container limits
// narrow), at least 1.
int usableCores();

}  // namespace autoframe
