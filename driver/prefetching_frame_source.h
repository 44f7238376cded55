#pragma once

#include <functional>
#include <future>
#include <optional>

#include "core/frame_source.h"
#include "driver/schedule.h"

namespace autoframe {

// The time that will be requested after the one given, if one will.
using NextRequest = std::function<std::optional<double>(double)>;

// The next time of the schedule, which must outlive the function; none at its end, nor where
// the schedule fails (the loop reports that itself).
NextRequest nextOn(const Schedule& schedule);

// Decodes the next requested frame on a worker while the caller works on the current one.
// Requests follow a known plan: after answering a request it starts on the time `next` names;
// a request for any other time is answered directly. The inner source is never used by two
// threads at once, and each request gets exactly the answer (frame or error) the inner source
// gives for it.
class PrefetchingFrameSource final : public FrameSource {
public:
    PrefetchingFrameSource(FrameSource& inner, NextRequest next)
        : inner_(inner), next_(std::move(next)) {}
    ~PrefetchingFrameSource() override;

    Expected<TimedFrame> frameAt(double seconds) override;
    Expected<double> statedDurationSeconds() override;

private:
    FrameSource& inner_;
    NextRequest next_;
    std::optional<double> pendingTime_;
    std::future<Expected<TimedFrame>> pending_;
};

}  // namespace autoframe
