// Reading the helper's JSON back: what it writes comes back equal, and every fault is refused with
// a description that says where and what was expected.
#include <gtest/gtest.h>

#include "results/json.h"
#include "results/json_reader.h"

namespace autoframe {
namespace {

TEST(JsonReader, ReadsBackWhatTheHelperWrites) {
    const std::vector<std::vector<Sample>> lists = {
        {},
        {Sample(0.5, 0, {}, {})},
        {Sample(0, 0, {Observation(0.1, 0.2, 0.3, 0.4, 0.9)}, {}),
         Sample(1.0 / 3, 0.123456789012345678,
                {Observation(-0.01, 0.5, 1e-7, 2.5e-300, 0.5), Observation(0, 0, 1, 1, 1)},
                {Observation(0.25, 0.75, 0.125, 0.0625, 0.0078125)})},
    };
    for (const auto& samples : lists) {
        const auto json = encodeSamples(samples);
        ASSERT_TRUE(json);
        SCOPED_TRACE(*json);
        const auto read = decodeSamples(*json);
        ASSERT_TRUE(read) << read.error().description;
        EXPECT_EQ(*read, samples);  // exact: shortest round-trip numbers read back to the same bits
    }
}

TEST(JsonReader, AcceptsAnyValidSpellingOfTheSameSamples) {
    // White space everywhere it may be, members in another order, escaped key characters,
    // exponents and a negative zero.
    const std::string json =
        " \n[ {\"humans\" : [ ], \"t\\u0069meSeconds\":2E0,\r\n\t\"faces\":[{\"confidence\":1,"
        "\"height\":0.5e0,\"width\":-0,\"y\":0.0,\"x\":12.5e-1}],\"sceneScore\":1e-2} ] \n";
    const auto read = decodeSamples(json);
    ASSERT_TRUE(read) << read.error().description;
    const std::vector<Sample> expected{Sample(2, 0.01, {Observation(1.25, 0, -0.0, 0.5, 1)}, {})};
    EXPECT_EQ(*read, expected);
}

TEST(JsonReader, RefusesFaultsNamingWhereAndWhat) {
    const std::string good = R"({"timeSeconds":0,"sceneScore":0,"faces":[],"humans":[]})";
    struct Case {
        const char* name;
        std::string json;
        std::string description;
    };
    const Case cases[] = {
        // Syntax
        {"empty file", "", "byte 0: expected a value, found the end of the text"},
        {"cut short", "[" + good.substr(0, 20),
         "byte 21: expected '\"' closing the string, found the end of the text"},
        {"missing comma", "[" + good + " " + good + "]",
         "byte 57: expected ',' or ']' after an array element, found '{'"},
        {"trailing comma", "[" + good + ",]", "byte 57: expected a value, found ']'"},
        {"text after the array", "[]x",
         "byte 2: expected the end of the text after the array, found 'x'"},
        {"unquoted name", "[{timeSeconds:0}]",
         "byte 2: expected a member name in double quotes, found 't'"},
        {"missing colon", R"([{"timeSeconds" 0}])",
         "byte 16: expected ':' after the member name, found '0'"},
        {"leading zero", R"([{"timeSeconds":01}])",
         "byte 17: expected ',' or '}' after an object member, found '1'"},
        {"bare decimal point", R"([{"timeSeconds":1.}])",
         "byte 18: expected a digit after the decimal point, found '}'"},
        {"number too large", R"([{"timeSeconds":1e400}])",
         "byte 16: the number 1e400 is out of the range of a double"},
        {"NaN", R"([{"timeSeconds":NaN}])", "byte 16: expected a value, found 'N'"},
        {"unknown escape", R"([{"\q":0}])",
         "byte 4: expected one of \" \\ / b f n r t u after '\\', found 'q'"},
        {"raw line feed in a name", "[{\"a\nb\":0}]",
         "byte 4: expected a character of a string (control characters must be escaped), "
         "found byte value 10"},
        {"lone low surrogate", R"([{"\udc00":0}])",
         "byte 3: a low surrogate half without a high one"},
        {"nested too deep", std::string(40, '['), "byte 16: nested deeper than 16 levels"},
        // Shape
        {"not an array", good, "the text (byte 0): expected an array of samples, found an object"},
        {"sample not an object", "[[]]", "sample 0 (byte 1): expected an object, found an array"},
        {"missing member", R"([{"timeSeconds":0,"sceneScore":0,"faces":[]}])",
         "sample 0 (byte 1): missing member \"humans\""},
        {"unknown member", R"([{"timeSeconds":0,"Faces":[]}])",
         "sample 0 (byte 26): unknown member \"Faces\""},
        {"member twice", R"([{"sceneScore":0,"sceneScore":1}])",
         "sample 0 (byte 30): member \"sceneScore\" given twice"},
        {"time as a string", R"([{"timeSeconds":"0","sceneScore":0,"faces":[],"humans":[]}])",
         "sample 0 member \"timeSeconds\" (byte 16): expected a number, found a string"},
        {"score null",
         "[" + good + R"(,{"timeSeconds":1,"sceneScore":null,"faces":[],"humans":[]}])",
         "sample 1 member \"sceneScore\" (byte 87): expected a number, found null"},
        {"faces not an array", R"([{"timeSeconds":0,"sceneScore":0,"faces":{},"humans":[]}])",
         "sample 0 faces (byte 41): expected an array of boxes, found an object"},
        {"box member missing",
         R"([{"timeSeconds":0,"sceneScore":0,"faces":[],"humans":[{"x":0,"y":0,"width":1,"height":1}]}])",
         "sample 0 humans[0] (byte 54): missing member \"confidence\""},
        {"box member of the wrong type",
         R"([{"timeSeconds":0,"sceneScore":0,"faces":[{"x":0,"y":0,"width":true,"height":1,"confidence":1}],"humans":[]}])",
         "sample 0 faces[0] member \"width\" (byte 63): expected a number, found true"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto read = decodeSamples(c.json);
        ASSERT_FALSE(read);
        EXPECT_EQ(read.error().description, c.description);
    }
}

}  // namespace
}  // namespace autoframe
