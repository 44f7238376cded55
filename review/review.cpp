#include "review/review.h"

#include <cmath>
#include <limits>

#include "core/error_codes.h"
#include "core/text.h"
#include "results/files.h"
#include "results/json_reader.h"
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
            std::string range = std::isfinite(duration) ? "0 s to " + fixed(duration, 3) + " s"
                                                        : "from 0 s";
            return fail(ReviewCode::outsideVideo,
                        "sample " + std::to_string(i) + " at " + fixed(t, 3) +
                            " s lies outside " + quoted(video) + " (" + range + ")");
        }
    }
    return {};
}

// The frames of the samples shown, in time order; equal times share one decoded frame.
Expected<std::vector<Thumbnail>> thumbnails(FrameSource& source, const std::vector<Sample>& samples) {
    const std::vector<std::size_t> byTime = timeOrder(samples);
    std::vector<Thumbnail> shown;
    for (std::size_t k : thinEvenly(byTime.size(), maximumFramesShown)) {
        const std::size_t i = byTime[k];
        if (!shown.empty() && samples[shown.back().sample].timeSeconds() == samples[i].timeSeconds()) {
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

}  // namespace


Expected<void> makeReviewPage(const std::vector<std::string>& arguments, Services& services) {
    if (arguments.size() != 4) return fail(ReviewCode::usage, std::string(usageText));
    const std::string& video = arguments[1];
    const std::string& samplesPath = arguments[2];
    const std::string& reportPath = arguments[3];

    auto json = readWhole(samplesPath);
    if (!json) return std::unexpected(std::move(json.error()));
    auto samples = decodeSamples(*json);
    if (!samples) {
        return fail(ReviewCode::cannotRead, quoted(samplesPath) + " is not a list of samples: " +
                                   samples.error().description);
    }

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
    facts.command = commandText(arguments);

    if (auto inside = checkTimes(*samples, facts.durationSeconds, video); !inside) return inside;
    auto shown = thumbnails(*source, *samples);
    if (!shown) return std::unexpected(std::move(shown.error()));
    return writeWhole(reportPath, renderPage(facts, *samples, *shown));
}

std::string failureLine(const Error& error) { return "Review failed: " + error.description + "\n"; }

int finishReview(const Expected<void>& outcome, Process& process) {
    if (outcome) return 0;
    process.writeStandardError(failureLine(outcome.error()));
    return 1;
}

}  // namespace autoframe::review
