// Frames as the JPEG thumbnails of the review page.
#include <opencv2/imgcodecs.hpp>

#include <gtest/gtest.h>

#include "review/thumbnail.h"
#include "tests/support.h"

namespace autoframe::review {
namespace {

TEST(ReviewThumbnail, FitsTheSideAndDecodes) {
    struct Case {
        int width, height, expectedWidth, expectedHeight;
    };
    for (const Case c :
         {Case{960, 540, 320, 180}, Case{540, 960, 180, 320}, Case{100, 50, 100, 50}}) {
        SCOPED_TRACE(::testing::Message() << c.width << "x" << c.height);
        const auto thumbnail = thumbnailOf({testing::grayFrame(c.width, c.height, 200), 1.5}, 7);
        ASSERT_TRUE(thumbnail) << thumbnail.error().description;
        EXPECT_EQ(thumbnail->sample, 7u);
        EXPECT_EQ(thumbnail->frameSeconds, 1.5);
        EXPECT_EQ(thumbnail->width, c.expectedWidth);
        EXPECT_EQ(thumbnail->height, c.expectedHeight);
        const cv::Mat decoded = cv::imdecode(thumbnail->jpeg, cv::IMREAD_COLOR);
        EXPECT_EQ(decoded.cols, c.expectedWidth);
        EXPECT_EQ(decoded.rows, c.expectedHeight);
    }
    Frame broken = testing::grayFrame(10, 10, 0);
    broken.bgr.resize(10);
    EXPECT_FALSE(thumbnailOf({broken, 0}, 0));
}

}  // namespace
}  // namespace autoframe::review
