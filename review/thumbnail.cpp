#include "review/thumbnail.h"

#include <algorithm>
#include <cmath>

#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "core/error_codes.h"

namespace autoframe::review {

Expected<Thumbnail> thumbnailOf(const TimedFrame& timed, std::size_t sample) {
    const Frame& frame = timed.frame;
    if (frame.width <= 0 || frame.height <= 0 ||
        frame.bgr.size() != std::size_t(frame.width) * std::size_t(frame.height) * 3) {
        return fail(ReviewCode::cannotEncode, "a decoded frame of " + std::to_string(frame.width) +
                                                  "x" + std::to_string(frame.height) +
                                                  " pixels has " +
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
            return fail(ReviewCode::cannotEncode,
                        "cannot encode the frame at " + fixed(timed.seconds, 3) + " s as JPEG");
        }
    } catch (const cv::Exception& e) {
        return fail(
            ReviewCode::cannotEncode,
            "cannot encode the frame at " + fixed(timed.seconds, 3) + " s as JPEG: " + e.what());
    }
    return thumbnail;
}

}  // namespace autoframe::review
