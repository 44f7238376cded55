#include "platform/opencv/gray.h"

#include <cmath>
#include <cstddef>

#include <opencv2/imgproc.hpp>

namespace autoframe {
namespace {

struct LumaWeights {
    double red, green, blue;
};

LumaWeights weightsOf(ColorMatrix matrix) {
    switch (matrix) {
        case ColorMatrix::bt709: return {0.2126, 0.7152, 0.0722};
        case ColorMatrix::bt601: break;
    }
    return {0.299, 0.587, 0.114};
}

}  // namespace

std::optional<std::vector<std::uint8_t>> renderGray(const Frame& frame, int width, int height,
                                                    ReductionFilter filter) {
    if (frame.width <= 0 || frame.height <= 0 || width <= 0 || height <= 0) return std::nullopt;
    if (frame.bgr.size() != std::size_t(frame.width) * std::size_t(frame.height) * 3) {
        return std::nullopt;
    }
    try {
        const cv::Mat colour(frame.height, frame.width, CV_8UC3,
                             const_cast<std::uint8_t*>(frame.bgr.data()));
        // Averaging is linear, so reducing the colour picture first and weighting after gives
        // the gray levels of the reduced gray picture at a fraction of the cost.
        cv::Mat small;
        cv::resize(colour, small, cv::Size(width, height), 0, 0,
                   filter == ReductionFilter::area ? cv::INTER_AREA : cv::INTER_LINEAR);
        const LumaWeights w = weightsOf(frame.matrix);
        std::vector<std::uint8_t> gray(std::size_t(width) * std::size_t(height));
        for (int row = 0; row < height; ++row) {
            const std::uint8_t* pixel = small.ptr<std::uint8_t>(row);
            for (int column = 0; column < width; ++column, pixel += 3) {
                const double level = w.blue * pixel[0] + w.green * pixel[1] + w.red * pixel[2];
                gray[std::size_t(row) * std::size_t(width) + std::size_t(column)] =
                    static_cast<std::uint8_t>(std::lround(std::fmin(level, 255.0)));
            }
        }
        return gray;
    } catch (const cv::Exception&) {
        return std::nullopt;
    }
}

}  // namespace autoframe
