#include "driver/sampling_loop.h"

#include <optional>
#include <string>
#include <utility>

#include "analysis/detection.h"
#include "analysis/signature.h"
#include "core/error_codes.h"
#include "core/number_text.h"

namespace autoframe {

double clampTime(double actual, double from, double to) {
    const double upper = actual < to ? actual : to;
    return from <= upper ? upper : from;
}

Expected<std::vector<Sample>> sampleVideo(const RunParameters& parameters, const Schedule& schedule,
                                          FrameSource& source, Detectors& detectors,
                                          const GrayRenderer& gray) {
    if (schedule.isEmpty()) return std::vector<Sample>{};
    if (!(schedule.estimatedCount() <= maximumScheduledFrames)) {
        return fail(ScheduleCode::tooManyFrames,
                    "the span from " + numberText(parameters.from) + " s to " +
                        numberText(parameters.to) + " s at " + numberText(parameters.fps) +
                        " frames per second asks for more than " +
                        numberText(maximumScheduledFrames, 0) + " frames");
    }

    std::vector<Sample> samples;
    std::optional<Signature> previous;
    // The picture of the last sample: each decoded picture is analysed once, however many
    // requests in a row it answers; the last sample holds what was found in it, `previous` its
    // signature.
    std::uint64_t previousPicture = 0;
    double requested = schedule.from;
    while (true) {
        auto frame = source.frameAt(requested);
        if (!frame) return std::unexpected(std::move(frame.error()));

        const bool samePicture = frame->picture != 0 && frame->picture == previousPicture;
        auto found = samePicture ? Expected<FrameObservations>(FrameObservations{
                                       samples.back().faces(), samples.back().humans()})
                                 : detectRectangles(frame->frame, detectors);
        if (!found) return std::unexpected(std::move(found.error()));
        previousPicture = frame->picture;

        Signature current = samePicture ? *previous : signature(frame->frame, gray);
        const double timeSeconds = clampTime(frame->seconds, parameters.from, parameters.to);
        const double score = sceneScore(previous, current);
        samples.emplace_back(timeSeconds, score, std::move(found->faces), std::move(found->humans));

        auto next = schedule.after(requested);
        if (!next) return std::unexpected(std::move(next.error()));
        previous = std::move(current);
        if (!*next) break;
        requested = **next;
    }
    return samples;
}

}  // namespace autoframe
