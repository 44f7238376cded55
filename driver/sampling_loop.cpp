#include "driver/sampling_loop.h"

#include <charconv>
#include <optional>
#include <string>
#include <utility>

#include "analysis/detection.h"
#include "analysis/signature.h"

namespace autoframe {
namespace {

std::string shortest(double value) {
    char buffer[32];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, end);
}

}  // namespace

Schedule Schedule::of(const RunParameters& parameters) {
    return Schedule{parameters.from, 1.0 / parameters.fps, parameters.to + (-0.001)};
}

double clampTime(double actual, double from, double to) {
    const double upper = actual < to ? actual : to;
    return from <= upper ? upper : from;
}

Expected<std::vector<Sample>> sampleVideo(const RunParameters& parameters, FrameSource& source,
                                          Detectors& detectors) {
    const Schedule schedule = Schedule::of(parameters);
    if (schedule.isEmpty()) return std::vector<Sample>{};
    if (!(schedule.estimatedCount() <= maximumScheduledFrames)) {
        return fail("AutoFramingSchedule", 2,
                    "the span from " + shortest(parameters.from) + " s to " +
                        shortest(parameters.to) + " s at " + shortest(parameters.fps) +
                        " frames per second asks for more than 1000000 frames");
    }

    std::vector<Sample> samples;
    std::optional<Signature> previous;
    double requested = schedule.from;
    while (true) {
        auto frame = source.frameAt(requested);
        if (!frame) return std::unexpected(std::move(frame.error()));

        auto found = detectRectangles(frame->frame, detectors);
        if (!found) return std::unexpected(std::move(found.error()));

        Signature current = signature(frame->frame);
        const double timeSeconds = clampTime(frame->seconds, parameters.from, parameters.to);
        const double score = sceneScore(previous, current);
        samples.emplace_back(timeSeconds, score, std::move(found->faces),
                             std::move(found->humans));

        const double next = schedule.step + requested;
        if (!(next > requested)) {
            return fail("AutoFramingSchedule", 3,
                        "the sampling step " + shortest(schedule.step) +
                            " s no longer advances the requested time at " +
                            shortest(requested) + " s");
        }
        previous = std::move(current);
        if (!(next < schedule.endBound)) break;
        requested = next;
    }
    return samples;
}

}  // namespace autoframe
