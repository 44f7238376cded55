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

// The rule, for a process that may use `cores` cores (at least 1). Measured on 2 cores
// (bench/pipeline_bench, 60 s 1080p clip, decoding ahead): the two networks side by side on one
// thread each beat one after the other on two threads each and side by side on two each, as one
// network's operators leave its second thread idle between them where the other network's
// operators fill the core. On 1 core side by side is only taking turns: one after the other.
// From 4 cores one is left to the decoding, which runs alongside the networks on every frame;
// below that it takes its turns on the networks' cores. The networks' cores are split in two,
// the person network, the costlier (35 ms against 27 a 960 x 540 frame on one thread), taking
// the odd one.
ThreadShares shareThreads(int cores);

// The cores this process may run on (its affinity mask, which `taskset` and container limits
// narrow), at least 1.
int usableCores();

}  // namespace autoframe
