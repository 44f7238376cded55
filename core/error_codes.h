#pragma once

// The program's own errors: one enumeration of codes per domain, and the domain's text, here
// alone. Only the description of an error is ever shown; domain and code tell errors apart in
// tests and to anyone reading an error value.

#include <cstdint>
#include <string>
#include <utility>

#include "core/error.h"

namespace autoframe {

// The command line of the helper.
enum class UsageCode : std::int64_t { usage = 1 };
constexpr const char* domainOf(UsageCode) { return "TarnvelAutoFraming"; }

// The schedule of requested times.
enum class ScheduleCode : std::int64_t { tooManyFrames = 2, stepTooSmall = 3 };
constexpr const char* domainOf(ScheduleCode) { return "AutoFramingSchedule"; }

// Samples to JSON and back.
enum class JsonCode : std::int64_t { notANumber = 1, syntax = 2, shape = 3 };
constexpr const char* domainOf(JsonCode) { return "AutoFramingJSON"; }

// Reading frames from a video file.
enum class VideoCode : std::int64_t {
    cannotOpen = 2,         // the file or its container
    cannotReadStreams = 3,  // the descriptions of its streams
    noVideoStream = 4,      // none, or none with a clock
    unsupported = 5,        // no pictures, too large, no decoder
    cannotConvert = 6,      // a picture to an upright frame
    cannotDecode = 7,       // reading or decoding on the way to a frame
    noFrameNear = 8,        // nothing to answer a request with
};
constexpr const char* domainOf(VideoCode) { return "AutoFramingVideo"; }

// The face and human detectors.
enum class DetectionCode : std::int64_t { detectorFailed = 2 };
constexpr const char* domainOf(DetectionCode) { return "AutoFramingDetection"; }

// The review page of a run.
enum class ReviewCode : std::int64_t {
    usage = 1,
    cannotRead = 2,    // the samples file, or what it holds
    outsideVideo = 3,  // a sample time
    cannotWrite = 4,   // the page
    cannotEncode = 5,  // a frame as a thumbnail
};
constexpr const char* domainOf(ReviewCode) { return "AutoFramingReview"; }

// Planning the crop windows of a reframing.
enum class PlanCode : std::int64_t { badInput = 1 };  // sizes, samples or frame times
constexpr const char* domainOf(PlanCode) { return "AutoFramingPlan"; }

// Reframing a video.
enum class ReframeCode : std::int64_t {
    usage = 1,             // the command line
    cannotRead = 2,        // a samples file
    cannotWrite = 3,       // the crop path file
    cannotPlan = 4,        // the video or its samples give no plan
    cannotWriteVideo = 5,  // the output video's file
    cannotEncode = 6,      // the output video's pictures or sound
    badWindow = 7,         // a crop window that is no window
};
constexpr const char* domainOf(ReframeCode) { return "AutoFramingReframe"; }

template <class Code>
Error errorOf(Code code, std::string description) {
    return Error{domainOf(code), static_cast<std::int64_t>(code), std::move(description)};
}

template <class Code>
std::unexpected<Error> fail(Code code, std::string description) {
    return std::unexpected(errorOf(code, std::move(description)));
}

}  // namespace autoframe
