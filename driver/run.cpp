#include "driver/run.h"

#include "driver/command_line.h"
#include "driver/prefetching_frame_source.h"
#include "driver/sampling_loop.h"
#include "results/json.h"

namespace autoframe {

Expected<void> runAutoFraming(Process& process, Services& services) {
    auto parameters = parseCommandLine(process.arguments());
    if (!parameters) return std::unexpected(std::move(parameters.error()));

    auto source = services.openFrameSource(parameters->video);
    auto detectors = services.makeDetectors();
    auto gray = services.makeGrayRenderer();
    const Schedule schedule = Schedule::of(*parameters);
    // The next frame is decoded while the detectors look at the current one; every request
    // still gets the answer the source gives for it, in the same order.
    PrefetchingFrameSource ahead(*source, nextOn(schedule));
    auto samples = sampleVideo(*parameters, schedule, ahead, *detectors, *gray);
    if (!samples) return std::unexpected(std::move(samples.error()));

    auto json = encodeSamples(*samples);
    if (!json) return std::unexpected(std::move(json.error()));
    process.writeStandardOutput(*json);
    return {};
}

std::string failureLine(const Error& error) {
    return "Auto framing failed: " + error.description + "\n";
}

int finishRun(const Expected<void>& outcome, Process& process) {
    if (outcome) return 0;
    process.writeStandardError(failureLine(outcome.error()));
    return 1;
}

}  // namespace autoframe
