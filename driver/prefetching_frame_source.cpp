#include "driver/prefetching_frame_source.h"

#include <system_error>

namespace autoframe {

NextRequest nextOn(const Schedule& schedule) {
    return [&schedule](double requested) -> std::optional<double> {
        auto next = schedule.after(requested);
        return next ? *next : std::nullopt;
    };
}

PrefetchingFrameSource::~PrefetchingFrameSource() {
    if (pending_.valid()) pending_.wait();
}

Expected<double> PrefetchingFrameSource::statedDurationSeconds() {
    if (pending_.valid()) pending_.wait();  // the inner source is used by one thread at a time
    return inner_.statedDurationSeconds();
}

Expected<TimedFrame> PrefetchingFrameSource::frameAt(double seconds) {
    std::optional<Expected<TimedFrame>> answer;
    if (pending_.valid()) {
        auto ahead = pending_.get();  // also when unwanted: the inner source is free again
        if (pendingTime_ == seconds) answer = std::move(ahead);
        pendingTime_.reset();
    }
    if (!answer) answer = inner_.frameAt(seconds);

    const auto next = *answer ? next_(seconds) : std::nullopt;
    if (next) {
        try {
            const double ahead = *next;
            pending_ =
                std::async(std::launch::async, [this, ahead] { return inner_.frameAt(ahead); });
            pendingTime_ = ahead;
        } catch (const std::system_error&) {
            // No thread to be had: the next request is simply answered when it comes.
        }
    }
    return std::move(*answer);
}

}  // namespace autoframe
