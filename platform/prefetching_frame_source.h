#pragma once

#include <future>
#include <optional>

#include "platform/frame_source.h"

namespace autoframe {

// Decodes the next requested frame on a worker while the caller works on the current one.
// Requests follow a known schedule (each time plus `step`, while below `endBound`): after
// answering a request it starts on the next one; a request for any other time is answered
// directly. The inner source is never used by two threads at once, and each request gets
// exactly the answer (frame or error) the inner source gives for it.
class PrefetchingFrameSource final : public FrameSource {
public:
    PrefetchingFrameSource(FrameSource& inner, double step, double endBound)
        : inner_(inner), step_(step), endBound_(endBound) {}
    ~PrefetchingFrameSource() override;

    Expected<TimedFrame> frameAt(double seconds) override;

private:
    FrameSource& inner_;
    double step_;
    double endBound_;
    std::optional<double> pendingTime_;
    std::future<Expected<TimedFrame>> pending_;
};

}  // namespace autoframe
