#include <gtest/gtest.h>

#include "analysis/signature.h"

namespace autoframe {
namespace {

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

// Answers every request with the same scripted rendering and records the size asked for.
class ScriptedGray final : public GrayRenderer {
public:
    explicit ScriptedGray(std::optional<std::vector<std::uint8_t>> reply)
        : reply_(std::move(reply)) {}
    std::optional<std::vector<std::uint8_t>> render(const Frame&, int width,
                                                    int height) const override {
        asked.emplace_back(width, height);
        return reply_;
    }
    mutable std::vector<std::pair<int, int>> asked;

private:
    std::optional<std::vector<std::uint8_t>> reply_;
};

TEST(Signature, IsTheRenderingAt24By14AsGiven) {
    std::vector<std::uint8_t> ramp(336);
    for (std::size_t i = 0; i < ramp.size(); ++i) ramp[i] = std::uint8_t(i * 7 % 256);
    const ScriptedGray gray(ramp);
    EXPECT_EQ(signature(Frame{}, gray), ramp);
    EXPECT_EQ(gray.asked, (std::vector{std::pair{24, 14}}));
}

TEST(Signature, NoRenderingOrAWrongSizeGivesZeros) {
    struct Case {
        const char* name;
        std::optional<std::vector<std::uint8_t>> rendered;
    };
    const Case cases[] = {
        {"nothing rendered", std::nullopt},
        {"one value short", std::vector<std::uint8_t>(335, 255)},
        {"one value over", std::vector<std::uint8_t>(337, 255)},
        {"empty", std::vector<std::uint8_t>{}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(signature(Frame{}, ScriptedGray(c.rendered)), filled(0));
    }
    // The frame after an unrenderable one scores the mean of its own values against zeros.
    EXPECT_EQ(sceneScore(signature(Frame{}, ScriptedGray(std::nullopt)),
                         signature(Frame{}, ScriptedGray(filled(51)))),
              0.2);
}

}  // namespace
}  // namespace autoframe
