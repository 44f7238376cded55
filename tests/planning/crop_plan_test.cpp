#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "planning/crop_plan.h"

namespace autoframe {
namespace {

constexpr Size hd{1920, 1080};
constexpr Size portrait{9, 16};

// A face of `width` x `width` pixels whose left edge is at `left` (pixels of a 1920 x 1080
// picture), vertically centred.
Observation face(double left, double width = 120, double confidence = 0.9) {
    return {left / 1920, (540 - width / 2) / 1080, width / 1920, width / 1080, confidence};
}

// Samples 5 a second over [0, seconds), with the faces `at` gives for each time and a scene
// score of 0.3 at the times in `cuts` (0.01 elsewhere, 0 for the first).
std::vector<Sample> samples(double seconds,
                            const std::function<std::vector<Observation>(double)>& at,
                            const std::vector<double>& cuts = {}) {
    std::vector<Sample> out;
    for (int i = 0; i / 5.0 < seconds - 1e-9; ++i) {
        const double t = i / 5.0;
        double score = i == 0 ? 0.0 : 0.01;
        for (double c : cuts) {
            if (std::abs(c - t) < 1e-9) score = 0.3;
        }
        out.emplace_back(t, score, at(t), std::vector<Observation>{});
    }
    return out;
}

std::vector<double> frames(double seconds, double rate = 30) {
    std::vector<double> out;
    for (int k = 0; k / rate < seconds - 1e-9; ++k) out.push_back(k / rate);
    return out;
}

bool inside(const CropWindow& w, Size source) {
    return w.x >= 0 && w.y >= 0 && w.x + w.width <= source.width && w.y + w.height <= source.height;
}

// Direction changes of the window's left edge over a run of frames.
int reversals(const std::vector<PlannedFrame>& f, std::size_t from, std::size_t to) {
    int n = 0, direction = 0;
    for (std::size_t i = from + 1; i < to; ++i) {
        const int d = f[i].window.x - f[i - 1].window.x;
        if (d == 0) continue;
        if (direction && (d > 0) != (direction > 0)) ++n;
        direction = d;
    }
    return n;
}

TEST(WindowSize, FullSideOfTheSourceTheOtherEvenAndNeverLarger) {
    struct Case {
        const char* name;
        Size source, aspect;
        CropWindow window;
    };
    const Case cases[] = {
        {"9:16 of 1080p: 607.5 rounds to 608", hd, {9, 16}, {0, 0, 608, 1080}},
        {"1:1 of 1080p", hd, {1, 1}, {0, 0, 1080, 1080}},
        {"4:3 of 1080p", hd, {4, 3}, {0, 0, 1440, 1080}},
        {"the source's own shape", hd, {16, 9}, {0, 0, 1920, 1080}},
        {"wider than the source: full width", {1080, 1920}, {16, 9}, {0, 0, 1080, 608}},
        {"1:1 of portrait", {1080, 1920}, {1, 1}, {0, 0, 1080, 1080}},
        {"odd source side kept whole", {1081, 1081}, {1, 1}, {0, 0, 1081, 1081}},
        {"even rounding capped by the source", {99, 100}, {1, 1}, {0, 0, 99, 100}},
        {"9:16 of 720p: 405 halfway, rounds up", {1280, 720}, {9, 16}, {0, 0, 406, 720}},
        {"tiny source: an even side is at least 2", {3, 1}, {1, 1}, {0, 0, 2, 1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(windowSize(c.source, c.aspect), c.window);
    }
}

TEST(PlanCrop, AStillSubjectWithJitterGetsOneStillWindowAroundIt) {
    // A face at 1300..1420 whose box wanders by up to 4 px from sample to sample.
    const auto input = samples(4, [](double t) {
        return std::vector{face(1300 + 4 * std::sin(t * 17), 120 + 3 * std::cos(t * 11))};
    });
    const auto plan = planCrop(input, hd, portrait, frames(4));
    ASSERT_TRUE(plan) << plan.error().description;
    ASSERT_EQ(plan->frames.size(), 120u);
    ASSERT_EQ(plan->shots.size(), 1u);
    EXPECT_EQ(plan->shots[0].mode, CameraMode::still);
    const CropWindow first = plan->frames.front().window;
    for (const auto& f : plan->frames) EXPECT_EQ(f.window, first) << f.time;
    // Centred on the face, give or take the jitter.
    EXPECT_NEAR(first.x + first.width / 2.0, 1360, 6);
}

TEST(PlanCrop, AMovingSubjectIsFollowedSmoothlyAndKeptInside) {
    struct Case {
        const char* name;
        std::function<double(double)> left;  // the face's left edge over time
    };
    const Case cases[] = {
        {"steady walk left to right", [](double t) { return 200 + 150 * t; }},
        {"easing pan right to left", [](double t) { return 900 + 500 * std::cos(M_PI * t / 6); }},
        {"out and back", [](double t) { return 900 + 400 * std::sin(2 * M_PI * t / 6); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // Jitter of +-5 px on top of the motion, alternating sample by sample.
        const auto input = samples(6, [&](double t) {
            return std::vector{face(c.left(t) + (int(std::lround(t * 5)) % 2 ? 5 : -5))};
        });
        const CropSettings settings;
        const auto plan = planCrop(input, hd, portrait, frames(6), settings);
        ASSERT_TRUE(plan) << plan.error().description;
        ASSERT_EQ(plan->shots.size(), 1u);
        EXPECT_EQ(plan->shots[0].mode, CameraMode::follow);
        int truthReversals = 0;
        double lastMove = 0;
        for (std::size_t i = 0; i < plan->frames.size(); ++i) {
            const auto& f = plan->frames[i];
            EXPECT_TRUE(inside(f.window, hd)) << f.time;
            const double l = c.left(f.time);
            EXPECT_LE(f.window.x, l) << f.time;
            EXPECT_GE(f.window.x + f.window.width, l + 120) << f.time;
            if (i > 0) {
                EXPECT_LE(std::abs(f.window.x - plan->frames[i - 1].window.x),
                          settings.maxSpeed * 608 / 30 + 1)
                    << f.time;
                const double move = l - c.left(plan->frames[i - 1].time);
                truthReversals += move * lastMove < 0;
                lastMove = move;
            }
        }
        EXPECT_EQ(reversals(plan->frames, 0, plan->frames.size()), truthReversals);
    }
}

TEST(PlanCrop, TheWindowJumpsAtACutAndOnlyThere) {
    // Left of the picture for 3 s, then a cut to the right.
    const auto input =
        samples(6, [](double t) { return std::vector{face(t < 3 ? 200 : 1500)}; }, {3.0});
    const auto plan = planCrop(input, hd, portrait, frames(6));
    ASSERT_TRUE(plan) << plan.error().description;
    ASSERT_EQ(plan->shots.size(), 2u);
    EXPECT_EQ(plan->shots[0], (PlannedShot{0, 3, CameraMode::still}));
    EXPECT_EQ(plan->shots[1], (PlannedShot{3, 5.8 + 1 / 30.0 * 5, CameraMode::still}));
    for (std::size_t i = 1; i < plan->frames.size(); ++i) {
        const auto& f = plan->frames[i];
        if (i == 90) {
            EXPECT_GT(f.window.x - plan->frames[i - 1].window.x, 1000);
        } else {
            EXPECT_EQ(f.window, plan->frames[i - 1].window) << f.time;
        }
    }
}

TEST(PlanCrop, AShotWithNobodyKeepsTheWindowBeforeItOrTheCentre) {
    const auto face600 = [](double t) {
        return t >= 2 && t < 4 ? std::vector{face(1500)} : std::vector<Observation>{};
    };
    const auto plan = planCrop(samples(6, face600, {2.0, 4.0}), hd, portrait, frames(6));
    ASSERT_TRUE(plan) << plan.error().description;
    ASSERT_EQ(plan->shots.size(), 3u);
    const int centre = (1920 - 608) / 2;
    EXPECT_EQ(plan->frames[0].window.x, centre);
    EXPECT_EQ(plan->frames[59].window.x, centre);
    EXPECT_NE(plan->frames[60].window.x, centre);
    EXPECT_EQ(plan->frames[179].window, plan->frames[119].window);
    EXPECT_EQ(plan->frames[120].window, plan->frames[119].window);
}

TEST(PlanCrop, WhenNotAllFitTheLargestMostConfidentFaceIsKept) {
    struct Case {
        const char* name;
        std::vector<Observation> faces;
        double keptLeft;  // left edge of the face that must be in the window
    };
    const Case cases[] = {
        {"larger face on the right", {face(100, 100), face(1500, 160)}, 1500},
        {"larger face on the left", {face(100, 160), face(1500, 100)}, 100},
        {"same size, more confident on the right",
         {face(100, 120, 0.7), face(1500, 120, 0.95)},
         1500},
        {"the larger face below the confidence", {face(100, 200, 0.5), face(1500, 100)}, 1500},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto plan =
            planCrop(samples(2, [&](double) { return c.faces; }), hd, portrait, frames(2));
        ASSERT_TRUE(plan) << plan.error().description;
        const CropWindow w = plan->frames.back().window;
        EXPECT_LE(w.x, c.keptLeft);
        EXPECT_GE(w.x + w.width, c.keptLeft + 100);
    }
}

TEST(PlanCrop, SubjectsAtTheEdgeKeepTheWindowInsideThePicture) {
    struct Case {
        const char* name;
        Observation box;
        int x;
    };
    const Case cases[] = {
        {"past the left edge", face(-60), 0},
        {"past the right edge", face(1880), 1920 - 608},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto plan = planCrop(samples(2, [&](double) { return std::vector{c.box}; }), hd,
                                   portrait, frames(2));
        ASSERT_TRUE(plan) << plan.error().description;
        for (const auto& f : plan->frames) EXPECT_EQ(f.window.x, c.x) << f.time;
    }
}

TEST(PlanCrop, FramesBeforeAndAfterTheSamplesHoldTheEndWindows) {
    const auto input = samples(2, [](double t) { return std::vector{face(300 + 400 * t)}; });
    std::vector<double> times{-0.5, 0.0, 1.9, 3.0};
    const auto plan = planCrop(input, hd, portrait, times);
    ASSERT_TRUE(plan) << plan.error().description;
    ASSERT_EQ(plan->frames.size(), 4u);
    EXPECT_EQ(plan->frames[0].time, -0.5);
    EXPECT_EQ(plan->frames[0].window, plan->frames[1].window);
    EXPECT_EQ(plan->frames[3].window, plan->frames[2].window);
    EXPECT_EQ(plan->shots[0].start, -0.5);
    EXPECT_EQ(plan->shots[0].end, 3.0);
}

TEST(PlanCrop, NoSamplesGiveTheCentre) {
    const auto plan = planCrop({}, hd, {1, 1}, {0.0, 0.5});
    ASSERT_TRUE(plan) << plan.error().description;
    EXPECT_EQ(plan->frames[1].window, (CropWindow{420, 0, 1080, 1080}));
    ASSERT_EQ(plan->shots.size(), 1u);
    EXPECT_EQ(plan->shots[0], (PlannedShot{0.0, 0.5, CameraMode::still}));
}

TEST(PlanCrop, RefusesInputItCannotPlan) {
    const std::vector<Sample> twoSamples{{1.0, 0, {}, {}}, {0.5, 0, {}, {}}};
    const std::vector<Sample> badBox{{0.0, 0, {Observation(NAN, 0, 0.1, 0.1, 0.9)}, {}}};
    const std::vector<Sample> badTime{{INFINITY, 0, {}, {}}};
    struct Case {
        const char* name;
        std::vector<Sample> samples;
        Size source, aspect;
        std::vector<double> frameTimes;
        std::string message;
    };
    const Case cases[] = {
        {"empty source",
         {},
         {0, 1080},
         {9, 16},
         {},
         "the source size must be positive, not 0x1080"},
        {"zero aspect", {}, hd, {9, 0}, {}, "the target aspect must be positive, not 9:0"},
        {"samples out of order",
         twoSamples,
         hd,
         {9, 16},
         {},
         "sample 1 is earlier (0.5 s) than the one before (1 s)"},
        {"a box with NaN",
         badBox,
         hd,
         {9, 16},
         {},
         "sample 0 has a box with a number that is not finite"},
        {"infinite sample time",
         badTime,
         hd,
         {9, 16},
         {},
         "sample 0 has a time or scene score that is not a finite number"},
        {"frame times out of order",
         {},
         hd,
         {9, 16},
         {0.2, 0.1},
         "frame time 1 (0.1 s) is earlier than the one before (0.2 s)"},
        {"NaN frame time", {}, hd, {9, 16}, {0.0, NAN}, "frame time 1 is not a finite number"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto plan = planCrop(c.samples, c.source, c.aspect, c.frameTimes);
        ASSERT_FALSE(plan);
        EXPECT_EQ(plan.error().description, c.message);
    }
}

TEST(EncodePlan, FramesAndShotsAsJson) {
    CropPlan plan;
    plan.frames = {{0.0, {656, 0, 608, 1080}}, {1 / 30.0, {657, 0, 608, 1080}}};
    plan.shots = {{0.0, 0.5, CameraMode::still}, {0.5, 1.25, CameraMode::follow}};
    EXPECT_EQ(encodePlan(plan),
              "{\"frames\":[{\"time\":0,\"x\":656,\"y\":0,\"width\":608,\"height\":1080},"
              "{\"time\":0.03333333333333333,\"x\":657,\"y\":0,\"width\":608,\"height\":1080}],"
              "\"shots\":[{\"start\":0,\"end\":0.5,\"mode\":\"still\"},"
              "{\"start\":0.5,\"end\":1.25,\"mode\":\"follow\"}]}");
    EXPECT_EQ(encodePlan({}), "{\"frames\":[],\"shots\":[]}");
}

}  // namespace
}  // namespace autoframe
