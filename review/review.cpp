#include "review/review.h"

#include <cmath>
#include <limits>

#include "core/error_codes.h"
#include "core/text.h"
#include "planning/crop_path_reader.h"
#include "results/files.h"
#include "review/crop_path.h"
#include "review/thumbnail.h"

namespace autoframe::review {
namespace {

Expected<std::string> readWhole(const std::string& path) {
    auto bytes = readWholeFile(path);
    if (!bytes) return fail(ReviewCode::cannotRead, bytes.error());
    return std::move(*bytes);
}

Expected<void> writeWhole(const std::string& path, const std::string& bytes) {
    auto written = writeWholeFile(path, bytes);
    if (!written) return fail(ReviewCode::cannotWrite, written.error());
    return {};
}

// Every sample time must lie on the video: from its first frame to the stated end, with the
// frame source's tolerance past the end.
Expected<void> checkTimes(const std::vector<Sample>& samples, double duration,
                          const std::string& video) {
    const double end = std::isfinite(duration) ? duration + FrameSource::toleranceSeconds
                                               : std::numeric_limits<double>::infinity();
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const double t = samples[i].timeSeconds();
        if (t < 0 || t > end) {
            std::string range =
                std::isfinite(duration) ? "0 s to " + fixed(duration, 3) + " s" : "from 0 s";
            return fail(ReviewCode::outsideVideo, "sample " + std::to_string(i) + " at " +
                                                      fixed(t, 3) + " s lies outside " +
                                                      quoted(video) + " (" + range + ")");
        }
    }
    return {};
}

// The frames of the samples shown, in time order; equal times share one decoded frame.
Expected<std::vector<Thumbnail>> thumbnails(FrameSource& source,
                                            const std::vector<Sample>& samples) {
    const std::vector<std::size_t> byTime = timeOrder(samples);
    std::vector<Thumbnail> shown;
    for (std::size_t k : thinEvenly(byTime.size(), maximumFramesShown)) {
        const std::size_t i = byTime[k];
        if (!shown.empty() &&
            samples[shown.back().sample].timeSeconds() == samples[i].timeSeconds()) {
            Thumbnail same = shown.back();
            same.sample = i;
            shown.push_back(std::move(same));
            continue;
        }
        auto frame = source.frameAt(samples[i].timeSeconds());
        if (!frame) return std::unexpected(std::move(frame.error()));
        auto thumbnail = thumbnailOf(*frame, i);
        if (!thumbnail) return std::unexpected(std::move(thumbnail.error()));
        shown.push_back(std::move(*thumbnail));
    }
    return shown;
}

// The crop path in the file, with the source size its windows imply for frames decoded at
// `decoded`.
Expected<ReviewedPath> readPath(const std::string& file, const std::string& video, Size decoded) {
    auto json = readWhole(file);
    if (!json) return std::unexpected(std::move(json.error()));
    auto plan = decodePlan(*json);
    if (!plan) {
        return fail(ReviewCode::cannotRead,
                    quoted(file) + " is not a crop path: " + plan.error().description);
    }
    auto source = sourceSizeOf(*plan, decoded);
    if (!source) {
        return fail(ReviewCode::cannotRead, quoted(file) + " is not a crop path of " +
                                                quoted(video) + ": " + source.error().description);
    }
    return ReviewedPath{std::move(*plan), *source};
}

}  // namespace

Expected<ReviewFiles> parseReviewArguments(const std::vector<std::string>& arguments) {
    ReviewFiles files;
    std::vector<std::string> positional;
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        if (arguments[i] != "--path") {
            positional.push_back(arguments[i]);
            continue;
        }
        if (files.path || i + 1 == arguments.size()) {
            return fail(ReviewCode::usage, std::string(usageText));
        }
        files.path = arguments[++i];
    }
    if (positional.size() != 3) return fail(ReviewCode::usage, std::string(usageText));
    files.video = positional[0];
    files.samples = positional[1];
    files.report = positional[2];
    return files;
}

Expected<void> makeReviewPage(const std::vector<std::string>& arguments, Services& services) {
    auto files = parseReviewArguments(arguments);
    if (!files) return std::unexpected(std::move(files.error()));
    const std::string& video = files->video;
    const std::string& samplesPath = files->samples;
    const std::string& reportPath = files->report;

    auto samples = readSamplesFile(samplesPath);
    if (!samples) return fail(ReviewCode::cannotRead, std::move(samples.error()));

    // Everything about the video comes from the frame source, after its own checks (a regular
    // file, a video stream, decodable); the first frame tells the picture size as the detectors
    // saw it.
    const auto source = services.openFrameSource(video);
    auto first = source->frameAt(0.0);
    if (!first) return std::unexpected(std::move(first.error()));
    auto duration = source->statedDurationSeconds();
    if (!duration) return std::unexpected(std::move(duration.error()));
    PageFacts facts;
    facts.videoName = video;
    facts.durationSeconds = *duration;
    facts.decodedWidth = first->frame.width;
    facts.decodedHeight = first->frame.height;
    facts.command = arguments;

    if (auto inside = checkTimes(*samples, facts.durationSeconds, video); !inside) return inside;
    std::optional<ReviewedPath> path;
    if (files->path) {
        auto read = readPath(*files->path, video, {facts.decodedWidth, facts.decodedHeight});
        if (!read) return std::unexpected(std::move(read.error()));
        path = std::move(*read);
        facts.pathName = *files->path;
    }
    auto shown = thumbnails(*source, *samples);
    if (!shown) return std::unexpected(std::move(shown.error()));
    return writeWhole(reportPath, renderPage(facts, *samples, *shown, path ? &*path : nullptr));
}

std::string failureLine(const Error& error) { return "Review failed: " + error.description + "\n"; }

int finishReview(const Expected<void>& outcome, Process& process) {
    if (outcome) return 0;
    process.writeStandardError(failureLine(outcome.error()));
    return 1;
}

}  // namespace autoframe::review
