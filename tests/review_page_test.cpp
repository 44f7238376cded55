// The review page's pieces: boxes onto thumbnails, thinning, plot scaling, escaping, label
// placement, the crop path's source size and windows, and the page they make together.
#include <gtest/gtest.h>

#include <regex>

#include "core/error_codes.h"
#include "review/crop_path.h"
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
        {0, 300, {}},
        {4, 300, {0, 1, 2, 3}},
        {3, 3, {0, 1, 2}},
        {10, 4, {0, 3, 6, 9}},
        {1000, 3, {0, 500, 999}},
        {5, 1, {0}},
        {5, 0, {}},
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
        {"span of the samples, top rounded up",
         2,
         6,
         0.3,
         0.5,
         {{2, 10}, {4, 60}, {6, 110}},
         {{0, 70}, {0.25, 45}, {0.5, 20}}},
        {"one time sits in the middle", 3, 3, 0.05, 0.05, {{3, 60}, {2.5, 10}}, {{0.05, 20}}},
        {"all scores zero lie on the bottom line",
         0,
         10,
         0,
         0.01,
         {{10, 110}},
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
        {"", ""},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="},
        {"fooba", "Zm9vYmE="},
        {"foobar", "Zm9vYmFy"},
        {"\xff\xfe", "//4="},
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
    PageFacts facts{"<clips>/a&b.mp4", 8, 768, 576, {"autoframe-review", "x y", "it's", "z"}, ""};
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
    // Each argument unbroken, a line breaking only between them.
    EXPECT_NE(page.find("<code class=\"command\"><span>autoframe-review</span> "
                        "<span>&#39;x y&#39;</span> <span>&#39;it&#39;\\&#39;&#39;s&#39;</span> "
                        "<span>z</span></code>"),
              std::string::npos);
    EXPECT_NE(page.find(".command span { white-space: nowrap; }"), std::string::npos);
    // Without a crop path, nothing of one.
    EXPECT_EQ(page.find("window"), std::string::npos);
    EXPECT_NE(page.find("</svg> human &#160; the number by a box"), std::string::npos);
    for (const char* fetching : {"<script", "<link", "://", "@import", "url("}) {
        EXPECT_EQ(page.find(fetching), std::string::npos) << fetching;
    }
}

// The labels' positions on a page, as (x, y) pairs of the <text> elements that match `element`.
std::vector<std::pair<double, double>> labelPositions(const std::string& page,
                                                      const std::string& element) {
    std::vector<std::pair<double, double>> found;
    const std::regex text(element + R"re( x="([-0-9.]+)" y="([-0-9.]+)")re");
    for (auto it = std::sregex_iterator(page.begin(), page.end(), text);
         it != std::sregex_iterator(); ++it) {
        found.emplace_back(std::stod((*it)[1]), std::stod((*it)[2]));
    }
    return found;
}

TEST(ReviewPage, LabelsTakeTheFirstPlaceThatCoversNoEarlierOne) {
    using Places = std::vector<std::vector<PixelRect>>;
    using Chosen = std::vector<std::optional<std::size_t>>;
    const PixelRect a{0, 0, 40, 12}, besideA{42, 0, 40, 12}, overA{20, 6, 40, 12},
        underA{0, 13, 40, 12}, touchingA{40.5, 0, 40, 12};
    struct Case {
        const char* name;
        Places candidates;
        double gap;
        Chosen expected;
        std::vector<PixelRect> taken = {};
    };
    const Case cases[] = {
        {"none", {}, 1, {}},
        {"room taken from the start", {{a, underA}, {besideA}}, 1, {1, std::nullopt}, {a, besideA}},
        {"apart, each in its first place", {{a}, {besideA}}, 1, {0, 0}},
        {"a later label moves to its next place", {{a}, {overA, underA}}, 1, {0, 1}},
        {"the earlier label keeps its place", {{overA, a}, {a}}, 1, {0, std::nullopt}},
        // besideA overlaps overA, which was left out and so takes no room.
        {"left out where every place is covered",
         {{a}, {overA, a}, {besideA}},
         1,
         {0, std::nullopt, 0}},
        {"closer than the gap counts as covering", {{a}, {touchingA, underA}}, 1, {0, 1}},
        {"without a gap, touching is apart", {{a}, {touchingA}}, 0, {0, 0}},
        {"a label without places", {{}, {a}}, 1, {std::nullopt, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(placeLabels(c.candidates, c.gap, c.taken), c.expected);
    }
}

TEST(ReviewPage, PeakLabelsCloseInTimeDoNotOverlap) {
    // Five peaks a tenth of a second apart on a 10 s plot: a few pixels apart, so their labels
    // (about 100 pixels wide) would sit on one another at their usual places.
    std::vector<Sample> samples;
    for (int i = 0; i <= 100; ++i) {
        const double score = i >= 40 && i < 45 ? 0.5 + 0.01 * (i - 40) : 0.01;
        samples.emplace_back(i / 10.0, score, std::vector<Observation>{},
                             std::vector<Observation>{});
    }
    const std::string page = renderPage({"a.mp4", 10, 320, 180, {"r"}, ""}, samples, {});
    const auto labels = labelPositions(page, "<text class=\"peak\"");
    ASSERT_GE(labels.size(), 2u);
    for (std::size_t i = 0; i < labels.size(); ++i) {
        for (std::size_t j = i + 1; j < labels.size(); ++j) {
            SCOPED_TRACE(::testing::Message() << "labels " << i << " and " << j);
            // Centred texts of 15 characters, at most 97.5 pixels wide: nearer than that across
            // must mean a line apart (12 pixels) up or down.
            if (std::abs(labels[i].first - labels[j].first) < 97) {
                EXPECT_GE(std::abs(labels[i].second - labels[j].second), 12);
            }
        }
    }
    // The highest keeps its usual place, 7 above its point.
    EXPECT_NE(page.find("4.400 s: 0.5400</text>"), std::string::npos);
}

TEST(ReviewPage, ConfidencesInACrowdedFrameDoNotOverlap) {
    // Boxes whose top-left corners nearly meet on a 320 x 180 thumbnail: their confidences
    // (about 30 x 11 pixels each) would share one place above the corners.
    std::vector<Observation> humans;
    for (int i = 0; i < 6; ++i) {
        humans.emplace_back(0.3 + 0.01 * i, 0.3 + 0.005 * i, 0.2, 0.5, 0.9 - 0.1 * i);
    }
    const std::vector<Sample> samples{
        Sample(0, 0, {Observation(0.31, 0.31, 0.05, 0.05, 0.97)}, humans)};
    const Thumbnail shown{0, 0.0, 320, 180, {0xff, 0xd8, 0xff}};
    const std::string page = renderPage({"a.mp4", 10, 320, 180, {"r"}, ""}, samples, {shown});
    EXPECT_EQ(occurrences(page, "<g class=\"human\">"), 6u);  // every box drawn all the same
    const auto labels = labelPositions(page.substr(page.find("<div class=\"frames\">")), "/><text");
    ASSERT_GE(labels.size(), 2u);
    for (std::size_t i = 0; i < labels.size(); ++i) {
        for (std::size_t j = i + 1; j < labels.size(); ++j) {
            SCOPED_TRACE(::testing::Message() << "labels " << i << " and " << j);
            EXPECT_TRUE(std::abs(labels[i].first - labels[j].first) >= 27 ||
                        std::abs(labels[i].second - labels[j].second) >= 11)
                << labels[i].first << "," << labels[i].second << " and " << labels[j].first << ","
                << labels[j].second;
        }
    }
    EXPECT_NE(page.find(">0.97</text>"), std::string::npos);  // the first keeps its place
}

TEST(ReviewPath, SourceSizeFollowsFromTheWindowsAndTheDecodedFrame) {
    struct Case {
        const char* name;
        std::vector<CropWindow> windows;
        Size decoded;
        Expected<Size> expected;
    };
    const auto path = [](const std::vector<CropWindow>& windows) {
        CropPlan plan;
        for (std::size_t i = 0; i < windows.size(); ++i)
            plan.frames.push_back({i * 0.1, windows[i]});
        return plan;
    };
    const auto refused = [](std::string why) {
        return fail(ReviewCode::cannotRead, std::move(why));
    };
    const Case cases[] = {
        {"9:16 of a 4:3 frame: the height",
         {{222, 0, 324, 576}, {444, 0, 324, 576}},
         {768, 576},
         Size{768, 576}},
        {"9:16 of full HD decoded at half size",
         {{656, 0, 608, 1080}},
         {960, 540},
         Size{1920, 1080}},
        {"16:9 of a portrait frame: the width",
         {{0, 656, 1080, 608}},
         {540, 960},
         Size{1080, 1920}},
        {"the frame's own shape: both", {{0, 0, 768, 576}}, {768, 576}, Size{768, 576}},
        // 1280 x 718 decodes at 960 x 539 (538.5 rounded), which reads back as 1279 wide: the
        // window at the right edge is still in.
        {"a rounded decoded side leaves a pixel to spare",
         {{876, 0, 404, 718}},
         {960, 539},
         Size{1279, 718}},
        {"no frames", {}, {768, 576}, refused("it has no frames")},
        {"two window sizes",
         {{0, 0, 324, 576}, {0, 0, 432, 576}},
         {768, 576},
         refused("frame 1's window is 432 x 576 pixels, frame 0's 324 x 576 (a path keeps one "
                 "window size)")},
        {"planned on a larger source",
         {{656, 0, 608, 1080}},
         {768, 576},
         refused("its windows of 608 x 1080 pixels span the height of a 1440 x 1080 source, "
                 "which decodes at 960 x 720, not at 768 x 576 as the video does")},
        {"planned on a smaller source",
         {{0, 0, 162, 288}},
         {768, 576},
         refused("its windows of 162 x 288 pixels span the height of a 384 x 288 source, which "
                 "decodes at 384 x 288, not at 768 x 576 as the video does")},
        {"a window past the right edge",
         {{0, 0, 324, 576}, {500, 0, 324, 576}},
         {768, 576},
         refused("frame 1's window (x 500 to 824, y 0 to 576) reaches past the 768 x 576 source "
                 "its size implies")},
        {"a window past the bottom",
         {{0, 1400, 1080, 608}},
         {540, 960},
         refused("frame 0's window (x 0 to 1080, y 1400 to 2008) reaches past the 1080 x 1920 "
                 "source its size implies")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto size = sourceSizeOf(path(c.windows), c.decoded);
        ASSERT_EQ(size.has_value(), c.expected.has_value())
            << (size ? "" : size.error().description);
        if (size) {
            EXPECT_EQ(*size, *c.expected);
        } else {
            EXPECT_EQ(size.error().description, c.expected.error().description);
        }
    }
}

TEST(ReviewPath, TheNearestFrameOfThePathAnswersATime) {
    const std::vector<PlannedFrame> frames{
        {0, {1, 0, 2, 2}}, {0.5, {2, 0, 2, 2}}, {1, {3, 0, 2, 2}}};
    const std::pair<double, int> cases[] = {
        {-1, 1},  {0, 1}, {0.25, 1} /* as near: the earlier */, {0.26, 2}, {0.5, 2},
        {0.9, 3}, {7, 3}};
    for (const auto& [seconds, x] : cases) {
        SCOPED_TRACE(seconds);
        const PlannedFrame* nearest = nearestFrame(frames, seconds);
        ASSERT_NE(nearest, nullptr);
        EXPECT_EQ(nearest->window.x, x);
    }
    EXPECT_EQ(nearestFrame({}, 0), nullptr);
}

TEST(ReviewPath, WindowsScaleFromSourceToPicture) {
    struct Case {
        const char* name;
        CropWindow window;
        Size source;
        int width, height;
        PixelRect expected;
    };
    const Case cases[] = {
        {"4:3 source on a 320 x 240 thumbnail",
         {222, 0, 324, 576},
         {768, 576},
         320,
         240,
         {92.5, 0, 135, 240}},
        {"full HD on 320 x 180", {660, 0, 606, 1080}, {1920, 1080}, 320, 180, {110, 0, 101, 180}},
        {"portrait, the window moving down",
         {0, 672, 1080, 608},
         {1080, 1920},
         180,
         320,
         {0, 112, 180, 608 / 6.0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const PixelRect r = windowOnPicture(c.window, c.source, c.width, c.height);
        EXPECT_DOUBLE_EQ(r.left, c.expected.left);
        EXPECT_DOUBLE_EQ(r.top, c.expected.top);
        EXPECT_DOUBLE_EQ(r.width, c.expected.width);
        EXPECT_DOUBLE_EQ(r.height, c.expected.height);
    }
}

TEST(ReviewPath, PageDrawsTheWindowLegendAndCentrePlot) {
    const std::vector<Sample> samples{Sample(0, 0, {}, {}), Sample(1, 0.3, {}, {}),
                                      Sample(2, 0.01, {}, {})};
    // Two shots: still, then following to the right; thumbnails at 0 and 2.04 s.
    ReviewedPath path;
    path.source = {768, 576};
    path.plan.frames = {{0, {222, 0, 324, 576}}, {1, {222, 0, 324, 576}}, {2, {444, 0, 324, 576}}};
    path.plan.shots = {{0, 1, CameraMode::still}, {1, 2, CameraMode::follow}};
    const Thumbnail first{0, 0.0, 320, 240, {0xff, 0xd8, 0xff}};
    const Thumbnail last{2, 2.04, 320, 240, {0xff, 0xd8, 0xff}};
    PageFacts facts{"a.mp4", 3, 768, 576, {"autoframe-review", "--path", "p.json"}, "p.json"};
    const std::string page = renderPage(facts, samples, {first, last}, &path);

    // Each thumbnail shows the window of the path's frame nearest it, 320 / 768 of its pixels.
    EXPECT_NE(page.find("<rect class=\"window\" x=\"92.5\" y=\"0.0\" width=\"135.0\" "
                        "height=\"240.0\"><title>crop window at 0.000 s"),
              std::string::npos);
    EXPECT_NE(page.find("<rect class=\"window\" x=\"185.0\" y=\"0.0\" width=\"135.0\" "
                        "height=\"240.0\"><title>crop window at 2.000 s"),
              std::string::npos);
    EXPECT_EQ(occurrences(page, "<rect class=\"window\""), 2u);
    EXPECT_NE(page.find("d=\"M0 0H320V240H0Z M185.0 0.0H320.0V240.0H185.0Z\""), std::string::npos);
    EXPECT_NE(page.find("window at x 444, y 0 (path at 2.000 s)"), std::string::npos);
    // The legend names all three, the window in its own colour.
    EXPECT_NE(page.find("</svg> face &#160; "), std::string::npos);
    EXPECT_NE(page.find("</svg> human &#160; "), std::string::npos);
    EXPECT_NE(page.find("class=\"window\"><rect x=\"2\" y=\"2\" width=\"30\" height=\"10\"/>"
                        "</svg> crop window"),
              std::string::npos);
    EXPECT_NE(page.find("stroke: #009E73"), std::string::npos);
    EXPECT_NE(page.find("p.json: 3 windows of 324 × 576 pixels in the 768 × 576 source, 0.000 s to "
                        "2.000 s, 2 shots (1 still, 1 following)"),
              std::string::npos);
    // The centre plot: x only (the window never moves up or down), one cut, both modes.
    EXPECT_NE(page.find("aria-label=\"crop window centre over time\""), std::string::npos);
    EXPECT_EQ(occurrences(page, "<polyline class=\"centre x\""), 1u);
    EXPECT_EQ(occurrences(page, "<polyline class=\"centre y\""), 0u);
    EXPECT_EQ(occurrences(page, "<line class=\"cut\""), 1u);
    EXPECT_NE(page.find(">still<title>shot from 0.000 s to 1.000 s</title></text>"),
              std::string::npos);
    EXPECT_NE(page.find(">follow<title>shot from 1.000 s to 2.000 s</title></text>"),
              std::string::npos);

    path.plan.frames[2].window.y = 10;  // now it moves down too: a second trace
    EXPECT_EQ(
        occurrences(renderPage(facts, samples, {first}, &path), "<polyline class=\"centre y\""),
        1u);
}

}  // namespace
}  // namespace autoframe::review
