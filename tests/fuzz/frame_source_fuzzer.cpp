// The frame source over arbitrary bytes in memory: whatever the input, every request either gives
// an upright frame of at most 960 pixels a side, with as many bytes as its size says, shown
// within the tolerance of the request, or an error that says something. Crashes, hangs and leaks
// are caught by libFuzzer and the sanitizers themselves.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <span>

extern "C" {
#include <libavutil/log.h>
}

#include "platform/ffmpeg/frame_source.h"

namespace {

void check(bool holds) {
    if (!holds) std::abort();
}

}  // namespace

// Undefined behaviour counts as a crash, not as a line in the log, also when fuzzing.
extern "C" const char* __ubsan_default_options() { return "halt_on_error=1:print_stacktrace=1"; }

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    av_log_set_level(AV_LOG_QUIET);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using autoframe::FrameSource;
    av_log_set_level(AV_LOG_QUIET);  // the replay build has no LLVMFuzzerInitialize call

    // Requests go in increasing order; one of them is taken from the input's first byte, so that
    // the fuzzer can steer it (0 s to 6.3 s in steps of 0.1 s).
    const double steered = size > 0 ? data[0] % 64 * 0.1 : 2.0;
    std::array<double, 5> requests{0.0, 0.5, 1.0, 3.0, steered};
    std::sort(requests.begin(), requests.end());

    auto source = autoframe::openFrameSourceOnMemory(std::span(data, size), "fuzz.bin");
    for (const double seconds : requests) {
        const auto got = source->frameAt(seconds);
        if (!got) {
            check(!got.error().description.empty());
            continue;
        }
        const auto& frame = got->frame;
        check(frame.width >= 1 && frame.width <= FrameSource::maximumSide);
        check(frame.height >= 1 && frame.height <= FrameSource::maximumSide);
        check(frame.bgr.size() == std::size_t(frame.width) * std::size_t(frame.height) * 3);
        check(std::isfinite(got->seconds));
        check(std::abs(got->seconds - seconds) <= FrameSource::toleranceSeconds + 1e-9);
    }
    return 0;
}
