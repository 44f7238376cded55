#pragma once

#include <future>
#include <optional>

#include "core/frame_source.h"
#include "driver/schedule.h"

namespace autoframe {

// Decodes the next requested frame on a worker while the caller works on the current one.
// Requests follow a known schedule: after answering a request it starts on the time the schedule
// requests next; a request for any other time is answered directly. The inner source is never used by two threads at once, and each request gets
// exactly the answer (frame or error) the inner source gives for it.
class PrefetchingFrameSource final : public FrameSource {
public:
    PrefetchingFrameSource(FrameSource& inner, const Schedule& schedule)
        : inner_(inner), schedule_(schedule) {}
    ~PrefetchingFrameSource() override;

    Expected<TimedFrame> frameAt(double seconds) override;

private:
    FrameSource& inner_;
    Schedule schedule_;
    std::optional<double> pendingTime_;
    std::future<Expected<TimedFrame>> pending_;
};

}  // namespace autoframe
