#include <gtest/gtest.h>

#include "analysis/signature.h"
#include "platform/opencv/gray.h"
#include "tests/support.h"

namespace autoframe {
namespace {

using testing::grayFrame;

std::vector<std::uint8_t> filled(std::uint8_t level) {
    return std::vector<std::uint8_t>(336, level);
}

// What the signature takes from the OpenCV renderer: the frame at 24 x 14, or 336 zeros.
std::vector<std::uint8_t> gray24By14(const Frame& frame) {
    return signature(frame, OpenCvGrayRenderer{});
}

// A frame whose top `split` rows have one level and the rest another.
Frame twoBands(int width, int height, int split, std::uint8_t top, std::uint8_t bottom) {
    Frame frame = grayFrame(width, height, bottom);
    std::fill(frame.bgr.begin(), frame.bgr.begin() + std::ptrdiff_t(split) * width * 3, top);
    return frame;
}

TEST(OpenCvGray, RendersTheWholeFrameTopRowFirst) {
    {
        SCOPED_TRACE("top half black, bottom half white");
        const Signature s = gray24By14(twoBands(960, 540, 270, 0, 255));
        ASSERT_EQ(s.size(), 336u);
        for (int row = 0; row < 14; ++row) {
            for (int column = 0; column < 24; ++column) {
                EXPECT_EQ(s[std::size_t(row * 24 + column)], row < 7 ? 0 : 255)
                    << "row " << row << " column " << column;
            }
        }
    }
    for (auto [width, height] :
         {std::pair{960, 540}, std::pair{540, 960}, std::pair{7, 3}, std::pair{1, 1}}) {
        SCOPED_TRACE(::testing::Message() << "white " << width << "x" << height
                                          << " is stretched over all values, not letterboxed");
        EXPECT_EQ(gray24By14(grayFrame(width, height, 255)), filled(255));
    }
}

TEST(OpenCvGray, UsesTheVideosLumaWeights) {
    Frame red = grayFrame(48, 28, 0);
    for (std::size_t i = 2; i < red.bgr.size(); i += 3) red.bgr[i] = 255;
    red.matrix = ColorMatrix::bt601;
    EXPECT_EQ(gray24By14(red), filled(76));  // 0.299 * 255
    red.matrix = ColorMatrix::bt709;
    EXPECT_EQ(gray24By14(red), filled(54));  // 0.2126 * 255
}

TEST(OpenCvGray, UnrenderableFramesGiveNothing) {
    Frame inconsistent = grayFrame(4, 4, 255);
    inconsistent.bgr.resize(5);
    for (const Frame& frame :
         {grayFrame(0, 10, 255), grayFrame(10, 0, 255), Frame{}, inconsistent}) {
        SCOPED_TRACE(::testing::Message() << frame.width << "x" << frame.height);
        EXPECT_EQ(OpenCvGrayRenderer{}.render(frame, 24, 14), std::nullopt);
        EXPECT_EQ(gray24By14(frame), filled(0));
    }
}

}  // namespace
}  // namespace autoframe
