#include "review/review.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <numeric>

#include <fcntl.h>
#include <unistd.h>

#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "platform/ffmpeg_frame_source.h"
#include "results/json_reader.h"
#include "review/video_duration.h"

namespace autoframe::review {
namespace {

constexpr const char* domain = "AutoFramingReview";

std::string quoted(const std::string& name) { return "'" + name + "'"; }

// The whole file; a pipe is read to its end (the samples may come from the helper directly).
Expected<std::string> readWhole(const std::string& path) {
    const auto cannot = [&] {
        return fail(domain, 2, "cannot read " + quoted(path) + ": " + std::strerror(errno));
    };
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) return cannot();
    std::string bytes;
    char buffer[65536];
    while (true) {
        const ssize_t n = ::read(descriptor, buffer, sizeof buffer);
        if (n == 0) break;
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            auto error = cannot();
            ::close(descriptor);
            return error;
        }
        bytes.append(buffer, std::size_t(n));
    }
    ::close(descriptor);
    return bytes;
}

// Writes a file beside `path` and renames it into place, so that `path` is whole or untouched.
Expected<void> writeWhole(const std::string& path, const std::string& bytes) {
    const std::string partial = path + ".partial-" + std::to_string(::getpid());
    std::FILE* file = std::fopen(partial.c_str(), "wb");
    if (!file) return fail(domain, 4, "cannot write " + quoted(path) + ": " + std::strerror(errno));
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    const int writeErrno = errno;
    const bool closed = std::fclose(file) == 0;
    const int closeErrno = errno;
    if (!written || !closed) {
        std::remove(partial.c_str());
        return fail(domain, 4,
                    "cannot write " + quoted(path) + ": " +
                        std::strerror(!written ? writeErrno : closeErrno));
    }
    if (std::rename(partial.c_str(), path.c_str()) != 0) {
        const int renameErrno = errno;
        std::remove(partial.c_str());
        return fail(domain, 4, "cannot write " + quoted(path) + ": " + std::strerror(renameErrno));
    }
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
            return fail(domain, 3,
                        "sample " + std::to_string(i) + " at " + fixed(t, 3) +
                            " s lies outside " + quoted(video) + " (" + range + ")");
        }
    }
    return {};
}

// The frames of the samples shown, in time order; equal times share one decoded frame.
Expected<std::vector<Thumbnail>> thumbnails(const std::string& video,
                                            const std::vector<Sample>& samples) {
    std::vector<std::size_t> byTime(samples.size());
    std::iota(byTime.begin(), byTime.end(), std::size_t{0});
    std::stable_sort(byTime.begin(), byTime.end(), [&](std::size_t a, std::size_t b) {
        return samples[a].timeSeconds() < samples[b].timeSeconds();
    });
    std::vector<Thumbnail> shown;
    auto source = openFrameSource(video);
    for (std::size_t k : thinEvenly(byTime.size(), maximumFramesShown)) {
        const std::size_t i = byTime[k];
        if (!shown.empty() && samples[shown.back().sample].timeSeconds() == samples[i].timeSeconds()) {
            Thumbnail same = shown.back();
            same.sample = i;
            shown.push_back(std::move(same));
            continue;
        }
        auto frame = source->frameAt(samples[i].timeSeconds());
        if (!frame) return std::unexpected(std::move(frame.error()));
        auto thumbnail = thumbnailOf(*frame, i);
        if (!thumbnail) return std::unexpected(std::move(thumbnail.error()));
        shown.push_back(std::move(*thumbnail));
    }
    return shown;
}

}  // namespace

std::string commandText(const std::vector<std::string>& arguments) {
    std::string line;
    for (const std::string& argument : arguments) {
        if (!line.empty()) line += ' ';
        const bool plain = !argument.empty() &&
                           argument.find_first_not_of("abcdefghijklmnopqrstuvwxyz"
                                                      "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789"
                                                      "_-./,:=+@%") == std::string::npos;
        if (plain) {
            line += argument;
            continue;
        }
        line += '\'';
        for (char c : argument) line += c == '\'' ? std::string("'\\''") : std::string(1, c);
        line += '\'';
    }
    return line;
}

Expected<Thumbnail> thumbnailOf(const TimedFrame& timed, std::size_t sample) {
    const Frame& frame = timed.frame;
    if (frame.width <= 0 || frame.height <= 0 ||
        frame.bgr.size() != std::size_t(frame.width) * std::size_t(frame.height) * 3) {
        return fail(domain, 5, "a decoded frame of " + std::to_string(frame.width) + "x" +
                                   std::to_string(frame.height) + " pixels has " +
                                   std::to_string(frame.bgr.size()) + " bytes");
    }
    const double scale =
        std::min(1.0, double(thumbnailSide) / double(std::max(frame.width, frame.height)));
    Thumbnail thumbnail;
    thumbnail.sample = sample;
    thumbnail.frameSeconds = timed.seconds;
    thumbnail.width = std::max(1, int(std::lround(frame.width * scale)));
    thumbnail.height = std::max(1, int(std::lround(frame.height * scale)));
    try {
        const cv::Mat picture(frame.height, frame.width, CV_8UC3,
                              const_cast<std::uint8_t*>(frame.bgr.data()));
        cv::Mat small;
        cv::resize(picture, small, cv::Size(thumbnail.width, thumbnail.height), 0, 0,
                   cv::INTER_AREA);
        if (!cv::imencode(".jpg", small, thumbnail.jpeg, {cv::IMWRITE_JPEG_QUALITY, 80})) {
            return fail(domain, 5, "cannot encode the frame at " + fixed(timed.seconds, 3) +
                                       " s as JPEG");
        }
    } catch (const cv::Exception& e) {
        return fail(domain, 5, "cannot encode the frame at " + fixed(timed.seconds, 3) +
                                   " s as JPEG: " + e.what());
    }
    return thumbnail;
}

Expected<void> makeReviewPage(const std::vector<std::string>& arguments) {
    if (arguments.size() != 4) return fail(domain, 1, std::string(usageText));
    const std::string& video = arguments[1];
    const std::string& samplesPath = arguments[2];
    const std::string& reportPath = arguments[3];

    auto json = readWhole(samplesPath);
    if (!json) return std::unexpected(std::move(json.error()));
    auto samples = decodeSamples(*json);
    if (!samples) {
        return fail(domain, 2, quoted(samplesPath) + " is not a list of samples: " +
                                   samples.error().description);
    }

    // The first frame tells the picture size as the detectors saw it, and the frame source's
    // own checks (a regular file, a video stream, decodable) run before anything else opens it.
    auto first = openFrameSource(video)->frameAt(0.0);
    if (!first) return std::unexpected(std::move(first.error()));
    PageFacts facts;
    facts.videoName = video;
    facts.durationSeconds = statedDuration(video);
    facts.decodedWidth = first->frame.width;
    facts.decodedHeight = first->frame.height;
    facts.command = commandText(arguments);

    if (auto inside = checkTimes(*samples, facts.durationSeconds, video); !inside) return inside;
    auto shown = thumbnails(video, *samples);
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
