#include "driver/sampling_loop.h"

#include <optional>
#include <string>
#include <utility>

#include "analysis/detection.h"
#include "analysis/signature.h"
#include "core/number_text.h"

namespace autoframe {

double clampTime(double actual, double from, double to) {
    const double upper = actual < to ? actual : to;
    return from <= upper ? upper : from;
}

Expected<std::vector<Sample>> sampleVideo(const RunParameters& parameters, FrameSource& source,
                                          Detectors& detectors, const GrayRenderer& gray) {
    const Schedule schedule = Schedule::of(parameters);
    if (schedule.isEmpty()) return std::vector<Sample>{};
    if (!(schedule.estimatedCount() <= maximumScheduledFrames)) {
        return fail("AutoFramingSchedule", 2,
                    "the span from " + numberText(parameters.from) + " s to " +
                        numberText(parameters.to) + " s at " + numberText(parameters.fps) +
                        " frames per second asks for more than " +
                        numberText(maximumScheduledFrames, 0) + " frames");
    }

    std::vector<Sample> samples;
    std::optional<Signature> previous;
    double requested = schedule.from;
    while (true) {
        auto frame = source.frameAt(requested);
        if (!frame) return std::unexpected(std::move(frame.error()));

        auto found = detectRectangles(frame->frame, detectors);
        if (!found) return std::unexpected(std::move(found.error()));

        Signature current = signature(frame->frame, gray);
        const double timeSeconds = clampTime(frame->seconds, parameters.from, parameters.to);
        const double score = sceneScore(previous, current);
        samples.emplace_back(timeSeconds, score, std::move(found->faces),
                             std::move(found->humans));

        auto next = schedule.after(requested);
        if (!next) return std::unexpected(std::move(next.error()));
        previous = std::move(current);
        if (!*next) break;
        requested = **next;
    }
    return samples;
}

}  // namespace autoframe
