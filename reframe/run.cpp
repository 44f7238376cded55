#include "reframe/run.h"

#include <cstdio>
#include <utility>

#include "core/error_codes.h"
#include "core/text.h"
#include "driver/prefetching_frame_source.h"
#include "driver/sampling_loop.h"
#include "reframe/command_line.h"
#include "reframe/progress.h"
#include "results/files.h"

namespace autoframe::reframe {
namespace {

// A stage's progress on standard error, timed from the stage's start.
class StageProgress {
public:
    StageProgress(const Environment& environment, ProgressText& text, std::string stage)
        : environment_(environment),
          text_(text),
          stage_(std::move(stage)),
          start_(environment.clock()) {}

    void update(double done, double total) {
        write(text_.update(stage_, done, total, environment_.clock() - start_));
    }
    void finish() { write(text_.finish(stage_, environment_.clock() - start_)); }

private:
    void write(const std::string& text) {
        if (!text.empty()) environment_.process.writeStandardError(text);
    }
    const Environment& environment_;
    ProgressText& text_;
    std::string stage_;
    double start_;
};

// Tells the progress how far the analysis has come at each requested time.
class ProgressOfRequests final : public FrameSource {
public:
    ProgressOfRequests(FrameSource& inner, StageProgress& progress, double end)
        : inner_(inner), progress_(progress), end_(end) {}
    Expected<TimedFrame> frameAt(double seconds) override {
        progress_.update(seconds, end_);
        return inner_.frameAt(seconds);
    }
    Expected<double> statedDurationSeconds() override { return inner_.statedDurationSeconds(); }

private:
    FrameSource& inner_;
    StageProgress& progress_;
    double end_;
};

// The helper's analysis over the whole video at `rate` samples a second, as the helper runs it.
Expected<std::vector<Sample>> analyse(const Environment& environment, const Options& options,
                                      double end, ProgressText& text) {
    const RunParameters parameters{options.video, 0.0, end, options.rate};
    const Schedule schedule = Schedule::of(parameters);
    auto source = environment.services.openFrameSource(options.video);
    auto detectors = environment.services.makeDetectors();
    auto gray = environment.services.makeGrayRenderer();
    PrefetchingFrameSource ahead(*source, nextOn(schedule));
    StageProgress progress(environment, text, "analysing");
    ProgressOfRequests counted(ahead, progress, end);
    auto samples = sampleVideo(parameters, schedule, counted, *detectors, *gray);
    if (samples) progress.finish();
    return samples;
}

Expected<std::vector<Sample>> savedSamples(const std::string& path) {
    auto samples = readSamplesFile(path);
    if (!samples) return fail(ReframeCode::cannotRead, std::move(samples.error()));
    return std::move(*samples);
}

}  // namespace

Expected<void> runReframe(const Environment& environment) {
    auto options = parseCommandLine(environment.process.arguments());
    if (!options) return std::unexpected(std::move(options.error()));
    ProgressText text(options->quiet                                  ? ProgressText::Style::quiet
                      : environment.process.standardErrorIsTerminal() ? ProgressText::Style::bar
                                                                      : ProgressText::Style::lines);

    auto frames = environment.media.sourceFrames(options->video);
    if (!frames) return std::unexpected(std::move(frames.error()));
    if (frames->seconds.empty()) {
        return fail(ReframeCode::cannotPlan, quoted(options->video) + " has no frames");
    }

    auto samples = options->samples ? savedSamples(*options->samples)
                                    : analyse(environment, *options, frames->endSeconds, text);
    if (!samples) return std::unexpected(std::move(samples.error()));

    auto plan = planCrop(*samples, frames->upright, options->aspect, frames->seconds);
    if (!plan) {
        return fail(ReframeCode::cannotPlan, "cannot plan the crop of " + quoted(options->video) +
                                                 ": " + plan.error().description);
    }

    RenderJob job{options->video, options->output, {}, {}, {}};
    const CropWindow size = windowSize(frames->upright, options->aspect);
    job.outputSize = {size.width / 2 * 2, size.height / 2 * 2};
    job.windows.reserve(plan->frames.size());
    for (PlannedFrame& frame : plan->frames) {
        // On even pixels, where the colour of 4:2:0 video starts: the window rendered is the
        // window planned, and the path tells it exactly.
        frame.window.x -= frame.window.x % 2;
        frame.window.y -= frame.window.y % 2;
        job.windows.push_back(frame.window);
    }
    StageProgress progress(environment, text, "rendering");
    const double total = double(job.windows.size());
    job.progress = [&](std::size_t done) { progress.update(double(done), total); };
    if (auto rendered = environment.media.render(job); !rendered) return rendered;
    progress.finish();

    if (options->path) {
        auto written = writeWholeFile(*options->path, encodePlan(*plan));
        if (!written) {
            std::remove(options->output.c_str());  // the run failed: no video without its path
            return fail(ReframeCode::cannotWrite, written.error());
        }
    }
    return {};
}

std::string failureLine(const Error& error) {
    return "Reframe failed: " + error.description + "\n";
}

int finishReframe(const Expected<void>& outcome, Process& process) {
    if (outcome) return 0;
    process.writeStandardError(failureLine(outcome.error()));
    return 1;
}

}  // namespace autoframe::reframe
