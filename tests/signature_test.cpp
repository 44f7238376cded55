#include <gtest/gtest.h>

#include "analysis/signature.h"
#include "platform/gray.h"
#include "tests/support.h"

namespace autoframe {
namespace {

using testing::grayFrame;

Signature filled(std::uint8_t level, std::size_t size = 336) { return Signature(size, level); }

TEST(SceneScore, GuardsAndExactArithmetic) {
    Signature fiveApart = filled(100);
    fiveApart[0] = 103;  // differences 3 + 2 = 5 in all
    fiveApart[335] = 98;
    struct Case {
        const char* name;
        std::optional<Signature> previous;
        Signature current;
        double score;
    };
    const Case cases[] = {
        {"no previous signature", std::nullopt, filled(255), 0.0},
        {"equal signatures", filled(17), filled(17), 0.0},
        {"black against white", filled(0), filled(255), 1.0},
        // 5 / 336 / 255; one division by 336 * 255 would end in ...483e-05.
        {"two roundings in order", filled(100), fiveApart, 5.835667600373482e-05},
        {"unequal lengths", filled(0, 336), filled(255, 335), 0.0},
        {"both empty", Signature{}, Signature{}, 0.0},
        {"short but equal lengths", Signature{0, 255}, Signature{255, 255}, 0.5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(sceneScore(c.previous, c.current), c.score);
        if (c.previous) {
            EXPECT_EQ(sceneScore(c.current, *c.previous), c.score);  // symmetric
        }
    }
}

// A frame whose top `split` rows have one level and the rest another.
Frame twoBands(int width, int height, int split, std::uint8_t top, std::uint8_t bottom) {
    Frame frame = grayFrame(width, height, bottom);
    std::fill(frame.bgr.begin(), frame.bgr.begin() + std::ptrdiff_t(split) * width * 3, top);
    return frame;
}

TEST(Signature, RendersTheWholeFrameTopRowFirst) {
    {
        SCOPED_TRACE("top half black, bottom half white");
        const Signature s = signature(twoBands(960, 540, 270, 0, 255));
        ASSERT_EQ(s.size(), 336u);
        for (int row = 0; row < 14; ++row) {
            for (int column = 0; column < 24; ++column) {
                EXPECT_EQ(s[std::size_t(row * 24 + column)], row < 7 ? 0 : 255)
                    << "row " << row << " column " << column;
            }
        }
    }
    for (auto [width, height] : {std::pair{960, 540}, std::pair{540, 960}, std::pair{7, 3},
                                 std::pair{1, 1}}) {
        SCOPED_TRACE(::testing::Message() << "white " << width << "x" << height
                                          << " is stretched over all values, not letterboxed");
        EXPECT_EQ(signature(grayFrame(width, height, 255)), filled(255));
    }
}

TEST(Signature, UsesTheVideosLumaWeights) {
    Frame red = grayFrame(48, 28, 0);
    for (std::size_t i = 2; i < red.bgr.size(); i += 3) red.bgr[i] = 255;
    red.matrix = ColorMatrix::bt601;
    EXPECT_EQ(signature(red), filled(76));  // 0.299 * 255
    red.matrix = ColorMatrix::bt709;
    EXPECT_EQ(signature(red), filled(54));  // 0.2126 * 255
}

TEST(Signature, UnrenderableFramesGiveZeros) {
    Frame inconsistent = grayFrame(4, 4, 255);
    inconsistent.bgr.resize(5);
    for (const Frame& frame : {grayFrame(0, 10, 255), grayFrame(10, 0, 255), Frame{},
                               inconsistent}) {
        SCOPED_TRACE(::testing::Message() << frame.width << "x" << frame.height);
        EXPECT_EQ(signature(frame), filled(0));
    }
    // The frame after an unrenderable one scores the mean of its own values against zeros.
    EXPECT_EQ(sceneScore(signature(Frame{}), signature(grayFrame(8, 8, 51))), 0.2);
}

}  // namespace
}  // namespace autoframe
