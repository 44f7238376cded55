#include <limits>

#include <gtest/gtest.h>

#include "results/json.h"
#include "results/records.h"

namespace autoframe {
namespace {

TEST(Json, EncodesTheSampleListOnExactText) {
    struct Case {
        const char* name;
        std::vector<Sample> samples;
        const char* json;
    };
    const Case cases[] = {
        {"empty list", {}, "[]"},
        {"no boxes",
         {Sample(12.5, 0, {}, {})},
         R"([{"timeSeconds":12.5,"sceneScore":0,"faces":[],"humans":[]}])"},
        {"shortest round-trip numbers",
         {Sample(0.1, 5.835667600373482e-05,
                 {Observation(0.25, 0.19999999999999996, 0.2, 0.3, double(0.8f))}, {})},
         R"([{"timeSeconds":0.1,"sceneScore":5.835667600373482e-05,"faces":[{"x":0.25,"y":0.19999999999999996,"width":0.2,"height":0.3,"confidence":0.800000011920929}],"humans":[]}])"},
        {"order kept, values past the edges unchanged",
         {Sample(1, 0, {Observation(-0.5, 2, 1.5, 1e-300, 1), Observation(0, 0, 0, 0, 0)},
                 {Observation(1e21, -0.0, 3, 4, 0.5)}),
          Sample(0.5, 1, {}, {Observation(0.1, 0.2, 0.3, 0.4, 0.25)})},
         R"([{"timeSeconds":1,"sceneScore":0,"faces":[{"x":-0.5,"y":2,"width":1.5,"height":1e-300,"confidence":1},{"x":0,"y":0,"width":0,"height":0,"confidence":0}],"humans":[{"x":1e+21,"y":-0,"width":3,"height":4,"confidence":0.5}]},)"
         R"({"timeSeconds":0.5,"sceneScore":1,"faces":[],"humans":[{"x":0.1,"y":0.2,"width":0.3,"height":0.4,"confidence":0.25}]}])"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto json = encodeSamples(c.samples);
        ASSERT_TRUE(json) << json.error().description;
        EXPECT_EQ(*json, c.json);
    }
}

TEST(Json, RefusesValuesWithoutAJsonNumberForm) {
    constexpr double nan = std::numeric_limits<double>::quiet_NaN();
    constexpr double inf = std::numeric_limits<double>::infinity();
    struct Case {
        const char* name;
        std::vector<Sample> samples;
        const char* description;
    };
    const Case cases[] = {
        {"NaN time",
         {Sample(nan, 0, {}, {})},
         "cannot encode sample 0 member \"timeSeconds\": NaN has no JSON number form"},
        {"infinite box in a later sample",
         {Sample(0, 0, {}, {}), Sample(1, 0.5, {}, {Observation(0, 0, -inf, 0, 1)})},
         "cannot encode sample 1 member \"width\": an infinity has no JSON number form"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto json = encodeSamples(c.samples);
        ASSERT_FALSE(json);
        EXPECT_EQ(json.error().description, c.description);
    }
}

TEST(CodingKeys, TextsLookupsAndNoIntegers) {
    using O = Observation::CodingKeys;
    using S = Sample::CodingKeys;
    EXPECT_EQ(stringValue(O::x), "x");
    EXPECT_EQ(stringValue(O::confidence), "confidence");
    EXPECT_EQ(stringValue(S::timeSeconds), "timeSeconds");
    EXPECT_EQ(stringValue(S::humans), "humans");

    EXPECT_EQ(keyFromString<O>("x"), O::x);
    EXPECT_EQ(keyFromString<O>("height"), O::height);
    EXPECT_EQ(keyFromString<O>("confidence"), O::confidence);
    EXPECT_EQ(keyFromString<S>("timeSeconds"), S::timeSeconds);
    EXPECT_EQ(keyFromString<S>("faces"), S::faces);
    for (const char* text : {"X", " x", "x ", "", "CONFIDENCE", "faces"}) {
        SCOPED_TRACE(text);
        EXPECT_EQ(keyFromString<O>(text), std::nullopt);
    }
    for (const char* text : {"timeseconds", "x", "Faces", "humans ", ""}) {
        SCOPED_TRACE(text);
        EXPECT_EQ(keyFromString<S>(text), std::nullopt);
    }
    for (int i = -1; i <= 5; ++i) {
        EXPECT_EQ(keyFromInt<O>(i), std::nullopt);
        EXPECT_EQ(keyFromInt<S>(i), std::nullopt);
    }
    EXPECT_EQ(intValue(O::x), std::nullopt);
    EXPECT_EQ(intValue(S::timeSeconds), std::nullopt);
}

}  // namespace
}  // namespace autoframe
