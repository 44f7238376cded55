#include "platform/onnx/input_planes.h"

#include <algorithm>
#include <array>

namespace autoframe {

std::array<std::int64_t, 4> inputShape(Size input, PlaneOrder order) {
    if (order == PlaneOrder::bgr) return {1, 3, input.height, input.width};
    return {1, 12, input.height / 2, input.width / 2};
}

std::size_t inputFloats(Size input) {
    return std::size_t(input.width) * std::size_t(input.height) * 3;
}

void fillPlanes(const std::uint8_t* picture, Size pictureSize, std::size_t rowBytes, Size input,
                PlaneOrder order, float pad, std::span<float> into) {
    // Each plane takes every step-th pixel of every step-th row, from a row and column offset.
    const int step = order == PlaneOrder::bgr ? 1 : 2;
    const std::size_t planeWidth = std::size_t(input.width / step);
    const std::size_t planeSize = planeWidth * std::size_t(input.height / step);
    for (int y = 0; y < input.height; ++y) {
        const int rowOffset = y % step;
        const std::size_t planeRow = std::size_t(y / step) * planeWidth;
        const bool inPicture = y < pictureSize.height;
        const std::uint8_t* source = inPicture ? picture + std::size_t(y) * rowBytes : picture;
        for (int columnOffset = 0; columnOffset < step; ++columnOffset) {
            // The sub-image's index in the order: rows vary first, then columns.
            const std::size_t first = 3 * std::size_t(rowOffset + step * columnOffset);
            std::array<float*, 3> out;
            for (std::size_t c = 0; c < 3; ++c) {
                out[c] = into.data() + (first + c) * planeSize + planeRow;
            }
            // Columns columnOffset, columnOffset + step, ... that lie in the picture.
            const int pictureColumns = inPicture ? pictureSize.width - columnOffset : 0;
            const std::size_t filled = std::size_t(std::max(0, pictureColumns + step - 1) / step);
            const std::uint8_t* pixel = source + 3 * std::size_t(columnOffset);
            const std::size_t pixelStep = 3 * std::size_t(step);
            for (std::size_t x = 0; x < filled; ++x, pixel += pixelStep) {
                out[0][x] = pixel[0];
                out[1][x] = pixel[1];
                out[2][x] = pixel[2];
            }
            for (std::size_t c = 0; c < 3; ++c) {
                std::fill(out[c] + filled, out[c] + planeWidth, pad);
            }
        }
    }
}

}  // namespace autoframe
