// The review page's pieces: boxes onto thumbnails, thinning, plot scaling, escaping, and the page
// they make together.
#include <gtest/gtest.h>

#include "review/page.h"

namespace autoframe::review {
namespace {

std::size_t occurrences(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

TEST(ReviewPage, BoxesLandOnThePicturesPixels) {
    struct Case {
        const char* name;
        Observation box;
        int width, height;
        std::optional<PixelRect> expected;
    };
    const Case cases[] = {
        {"inside, x along the width and y along the height", Observation(0.25, 0.5, 0.5, 0.25, 1),
         320, 180, PixelRect{80, 90, 160, 45}},
        {"past the top-left corner is cut", Observation(-0.1, -0.2, 0.3, 0.4, 1), 100, 50,
         PixelRect{0, 0, 20, 10}},
        {"past the bottom-right corner is cut", Observation(0.9, 0.8, 0.5, 0.5, 1), 100, 50,
         PixelRect{90, 40, 10, 10}},
        {"whole frame", Observation(0, 0, 1, 1, 1), 7, 3, PixelRect{0, 0, 7, 3}},
        {"right of the picture", Observation(1.2, 0.1, 0.1, 0.1, 1), 100, 100, std::nullopt},
        {"above the picture", Observation(0.1, -0.5, 0.1, 0.5, 1), 100, 100, std::nullopt},
        {"no width", Observation(0.5, 0.5, 0, 0.1, 1), 100, 100, std::nullopt},
        {"negative height", Observation(0.5, 0.5, 0.1, -0.1, 1), 100, 100, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(boxOnPicture(c.box, c.width, c.height), c.expected);
    }
}

TEST(ReviewPage, ThinsEvenlyKeepingBothEnds) {
    struct Case {
        std::size_t count, limit;
        std::vector<std::size_t> expected;
    };
    const Case cases[] = {
        {0, 300, {}},       {4, 300, {0, 1, 2, 3}}, {3, 3, {0, 1, 2}},
        {10, 4, {0, 3, 6, 9}}, {1000, 3, {0, 500, 999}}, {5, 1, {0}}, {5, 0, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.count << " to " << c.limit);
        EXPECT_EQ(thinEvenly(c.count, c.limit), c.expected);
    }
    // Longer runs: exactly the limit, ascending, both ends, gaps that differ by at most one.
    for (std::size_t count : {301u, 302u, 599u, 600u, 601u, 12345u, 1000000u}) {
        SCOPED_TRACE(count);
        const auto kept = thinEvenly(count, maximumFramesShown);
        ASSERT_EQ(kept.size(), maximumFramesShown);
        EXPECT_EQ(kept.front(), 0u);
        EXPECT_EQ(kept.back(), count - 1);
        std::size_t shortest = count, longest = 0;
        for (std::size_t i = 1; i < kept.size(); ++i) {
            ASSERT_LT(kept[i - 1], kept[i]);
            shortest = std::min(shortest, kept[i] - kept[i - 1]);
            longest = std::max(longest, kept[i] - kept[i - 1]);
        }
        EXPECT_LE(longest - shortest, 1u);
    }
}

TEST(ReviewPage, PlotScalesTimeAndScoreIntoItsArea) {
    EXPECT_EQ(niceCeiling(0.2), 0.2);
    EXPECT_EQ(niceCeiling(0.3), 0.5);
    EXPECT_EQ(niceCeiling(0.011), 0.02);
    EXPECT_EQ(niceCeiling(0.06), 0.1);
    EXPECT_EQ(niceCeiling(1), 1);
    EXPECT_EQ(niceCeiling(7), 10);
    EXPECT_EQ(niceCeiling(123), 200);

    const PlotArea area{10, 20, 100, 50};  // bottom at y = 70
    struct Case {
        const char* name;
        double first, last, highest;
        double topScore;
        std::vector<std::pair<double, double>> timeToX, scoreToY;
    };
    const Case cases[] = {
        {"span of the samples, top rounded up", 2, 6, 0.3, 0.5,
         {{2, 10}, {4, 60}, {6, 110}}, {{0, 70}, {0.25, 45}, {0.5, 20}}},
        {"one time sits in the middle", 3, 3, 0.05, 0.05, {{3, 60}, {2.5, 10}}, {{0.05, 20}}},
        {"all scores zero lie on the bottom line", 0, 10, 0, 0.01, {{10, 110}},
         {{0, 70}, {0.01, 20}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const PlotScale scale(c.first, c.last, c.highest, area);
        EXPECT_DOUBLE_EQ(scale.topScore(), c.topScore);
        for (auto [t, x] : c.timeToX) EXPECT_DOUBLE_EQ(scale.x(t), x) << "t = " << t;
        for (auto [s, y] : c.scoreToY) EXPECT_DOUBLE_EQ(scale.y(s), y) << "score " << s;
    }
}

TEST(ReviewPage, LabelsTheHighestPositiveScores) {
    const std::vector<double> scores{0, 0.5, 0.2, 0.5, 0, 0.1};
    EXPECT_EQ(highestScores(scores, 3), (std::vector<std::size_t>{1, 3, 2}));
    EXPECT_EQ(highestScores(scores, 9), (std::vector<std::size_t>{1, 3, 2, 5}));
    EXPECT_EQ(highestScores({0, 0, 0}, 5), std::vector<std::size_t>{});
}

TEST(ReviewPage, TextIsEscapedAndEncoded) {
    EXPECT_EQ(escapeHtml("<a href=\"x\">Tom & Jerry's</a> é"),
              "&lt;a href=&quot;x&quot;&gt;Tom &amp; Jerry&#39;s&lt;/a&gt; é");
    // RFC 4648's vectors, and bytes above 127.
    const std::pair<std::string, std::string> vectors[] = {
        {"", ""},         {"f", "Zg=="},         {"fo", "Zm8="},        {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"}, {"\xff\xfe", "//4="},
    };
    for (const auto& [bytes, encoded] : vectors) {
        SCOPED_TRACE(encoded);
        EXPECT_EQ(base64({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()}),
                  encoded);
    }
    EXPECT_EQ(commandText({"autoframe-review", "a clip.mp4", "it's.json", "out/page.html", ""}),
              "autoframe-review 'a clip.mp4' 'it'\\''s.json' out/page.html ''");
    EXPECT_EQ(fixed(-0.0001, 3), "0.000");
    EXPECT_EQ(fixed(2.5, 1), "2.5");
}

TEST(ReviewPage, PageHoldsEveryPartAndFetchesNothing) {
    const std::vector<Sample> samples{
        Sample(0, 0, {Observation(0.1, 0.1, 0.2, 0.2, 0.91)}, {}),
        Sample(1, 0.25, {}, {Observation(0.5, 0.2, 0.3, 0.7, 0.66)}),
        Sample(2, 0.05, {}, {Observation(0, 0, 0.5, 0.5, 0.75), Observation(2, 2, 1, 1, 0.5)}),
    };
    // Thumbnails of 64 x 36 pixels (the bytes stand for a JPEG).
    const Thumbnail first{0, 0.0, 64, 36, {0xff, 0xd8, 0xff}};
    const Thumbnail last{2, 2.04, 64, 36, {0xff, 0xd8, 0xff}};
    PageFacts facts{"<clips>/a&b.mp4", 8, 768, 576, "autoframe-review x y z"};
    const std::string page = renderPage(facts, samples, {first, last});

    EXPECT_EQ(occurrences(page, "<circle class=\"sample\""), 3u);  // every sample on the plot
    EXPECT_EQ(occurrences(page, "<text class=\"peak\""), 2u);      // the two positive scores
    EXPECT_NE(page.find("1.000 s: 0.2500</text>"), std::string::npos);
    EXPECT_EQ(occurrences(page, "src=\"data:image/jpeg;base64,"), 2u);
    EXPECT_EQ(occurrences(page, "<g class=\"face\">"), 1u);
    // The shown frames' boxes that lie on the picture.
    EXPECT_EQ(occurrences(page, "<g class=\"human\">"), 1u);
    EXPECT_NE(page.find(">0.91</text>"), std::string::npos);
    EXPECT_NE(page.find(">0.75</text>"), std::string::npos);
    EXPECT_NE(page.find("(frame at 2.040 s)"), std::string::npos);
    EXPECT_NE(page.find("<h1>&lt;clips&gt;/a&amp;b.mp4</h1>"), std::string::npos);
    EXPECT_EQ(page.find("<clips>"), std::string::npos);
    EXPECT_NE(page.find("8.000 s, 768 × 576 pixels"), std::string::npos);
    EXPECT_NE(page.find("3 samples from 0.000 s to 2.000 s, 1.000 per second"), std::string::npos);
    EXPECT_NE(page.find("1 face, 3 humans"), std::string::npos);
    EXPECT_NE(page.find("2 of 3 shown, evenly thinned"), std::string::npos);
    EXPECT_NE(page.find("<code>autoframe-review x y z</code>"), std::string::npos);
    for (const char* fetching : {"<script", "<link", "://", "@import", "url("}) {
        EXPECT_EQ(page.find(fetching), std::string::npos) << fetching;
    }
}

}  // namespace
}  // namespace autoframe::review
