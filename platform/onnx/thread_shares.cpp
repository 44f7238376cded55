#include "platform/onnx/thread_shares.h"

#include <sched.h>

#include <algorithm>
#include <thread>

namespace autoframe {

ThreadShares shareThreads(int cores) {
    cores = std::max(cores, 1);
    if (cores == 1) return {.faces = 1, .humans = 1, .decoding = 1, .sideBySide = false};
    const int networks = std::max(2, cores - 1);
    return {.faces = networks / 2,
            .humans = networks - networks / 2,
            .decoding = 1,
            .sideBySide = true};
}

int usableCores() {
    cpu_set_t set;
    CPU_ZERO(&set);
    // Fails only on machines of more than 1024 cores, where the machine's count is the better
    // guess.
    if (sched_getaffinity(0, sizeof set, &set) != 0) {
        return std::max(int(std::thread::hardware_concurrency()), 1);
    }
    return std::max(CPU_COUNT(&set), 1);
}

}  // namespace autoframe
