#include <gtest/gtest.h>

#include "planning/subjects.h"

namespace autoframe {
namespace {

// Boxes on a 1024 x 512 picture, given in pixels for reading ease (and exact as fractions).
constexpr Size picture{1024, 512};
Observation box(double left, double top, double width, double height, double confidence) {
    return {left / 1024, top / 512, width / 1024, height / 512, confidence};
}

std::vector<PixelRect> boxesOf(const std::vector<Subject>& subjects) {
    std::vector<PixelRect> out;
    for (const auto& s : subjects) out.push_back(s.box);
    return out;
}

TEST(SubjectsOf, FacesAndBodiesWithoutAFaceHeaviestFirst) {
    struct Case {
        const char* name;
        std::vector<Observation> faces, humans;
        std::vector<PixelRect> expected;
    };
    const Case cases[] = {
        {"nobody", {}, {}, {}},
        // A face counts ten times its area: 2500 x 10 against 100 x 200 = 20000.
        {"a face before a body of about its person's size",
         {box(100, 100, 50, 50, 0.9)},
         {box(500, 0, 100, 200, 0.9)},
         {{100, 100, 150, 150}, {500, 0, 600, 200}}},
        {"a small face after a much larger body",
         {box(100, 100, 50, 50, 0.9)},
         {box(500, 0, 200, 512, 0.9)},
         {{500, 0, 700, 512}, {100, 100, 150, 150}}},
        {"a body holding a face's centre is that face's person",
         {box(100, 100, 50, 50, 0.9)},
         {box(60, 80, 150, 400, 0.9)},
         {{100, 100, 150, 150}}},
        {"a body holding only a face below the confidence stays",
         {box(100, 100, 50, 50, 0.55)},
         {box(60, 80, 150, 400, 0.9)},
         {{60, 80, 210, 480}}},
        {"heavier first: area times confidence",
         {box(0, 0, 40, 40, 0.9), box(200, 0, 50, 50, 0.7), box(400, 0, 50, 50, 0.8)},
         {},
         // 1600 x 0.9 = 1440 < 2500 x 0.7 = 1750 < 2500 x 0.8 = 2000
         {{400, 0, 450, 50}, {200, 0, 250, 50}, {0, 0, 40, 40}}},
        {"below the confidences: left out",
         {box(0, 0, 40, 40, 0.59)},
         {box(500, 0, 100, 300, 0.49)},
         {}},
        {"at the confidences: kept",
         {box(0, 0, 40, 40, 0.6)},
         {box(500, 0, 100, 300, 0.5)},
         {{500, 0, 600, 300}, {0, 0, 40, 40}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Sample sample(0, 0, c.faces, c.humans);
        EXPECT_EQ(boxesOf(subjectsOf(sample, picture, CropSettings{})), c.expected);
    }
}

TEST(FocusOf, KeepsTheMainSubjectAndWhoeverFitsWithIt) {
    const CropWindow window{0, 0, 300, 500};
    const CropSettings noPadding{.facePadding = 0, .humanPadding = 0};
    const Subject big{{100, 100, 200, 200}, 0.02, true};
    const Subject near{{300, 100, 380, 180}, 0.01, true};
    const Subject far{{700, 100, 780, 180}, 0.015, true};
    struct Case {
        const char* name;
        std::vector<Subject> subjects;
        PixelRect main, region;
    };
    const Case cases[] = {
        {"alone", {big}, {100, 100, 200, 200}, {100, 100, 200, 200}},
        {"a neighbour that fits", {big, near}, {100, 100, 200, 200}, {100, 100, 380, 200}},
        // The far one would make the region 680 wide; the near one still fits after it.
        {"a second that does not fit, a third that does",
         {big, far, near},
         {100, 100, 200, 200},
         {100, 100, 380, 200}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto focus = focusOf(c.subjects, std::nullopt, window, noPadding);
        ASSERT_TRUE(focus);
        EXPECT_EQ(focus->main, c.main);
        EXPECT_EQ(focus->region, c.region);
    }
    EXPECT_FALSE(focusOf({}, std::nullopt, window, noPadding));
    EXPECT_FALSE(mainSubject({}, std::nullopt, noPadding));
}

TEST(FocusOf, PaddingGrowsUpToTheWindow) {
    const CropWindow window{0, 0, 300, 500};
    struct Case {
        const char* name;
        Subject subject;
        PixelRect main;
    };
    const Case cases[] = {
        // A face grows by 0.3 of its width each side, and 0.3 of its height above and below.
        {"face with room", {{100, 100, 200, 200}, 1, true}, {70, 70, 230, 230}},
        {"body with room", {{100, 0, 200, 400}, 1, false}, {95, -20, 205, 420}},
        {"face nearly as wide as the window", {{100, 100, 380, 200}, 1, true}, {90, 70, 390, 230}},
        {"face wider than the window", {{100, 100, 450, 200}, 1, true}, {100, 70, 450, 230}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(focusOf({c.subject}, std::nullopt, window, CropSettings{})->main, c.main);
    }
}

TEST(FocusOf, TheMainSubjectStaysWhileItKeepsEnoughWeight) {
    const CropSettings noPadding{.facePadding = 0, .humanPadding = 0};
    const PixelRect before{600, 100, 690, 190};
    struct Case {
        const char* name;
        double heaviest, previous;  // weights of the heaviest face and of the one that was main
        bool close;
        PixelRect main;
    };
    const Case cases[] = {
        {"previous well over the share", 0.010, 0.009, true, {605, 100, 695, 190}},
        {"previous just over the share", 0.010, 0.0061, true, {605, 100, 695, 190}},
        {"previous just under the share", 0.010, 0.0059, true, {100, 100, 200, 200}},
        {"previous overlapped too little", 0.010, 0.009, false, {100, 100, 200, 200}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // The second box moved by 5 px (overlap 0.80 of the union), or grew into a far larger
        // one holding the old (0.08).
        const PixelRect now =
            c.close ? PixelRect{605, 100, 695, 190} : PixelRect{500, 50, 800, 400};
        const std::vector<Subject> subjects{{{100, 100, 200, 200}, c.heaviest, true},
                                            {now, c.previous, true}};
        EXPECT_EQ(focusOf(subjects, before, {0, 0, 300, 500}, noPadding)->main, c.main);
        EXPECT_EQ(mainSubject(subjects, before, noPadding)->box, c.main);
    }
}

}  // namespace
}  // namespace autoframe
