// Reading a crop path back: what encodePlan writes comes back equal, and every fault is refused
// with a description that says where it is and what was expected.
#include <gtest/gtest.h>

#include <string>

#include "planning/crop_path_reader.h"

namespace autoframe {
namespace {

TEST(CropPathReader, ReadsBackWhatThePlannerWrites) {
    const CropPlan plans[] = {
        {},
        {{{0, {222, 0, 324, 576}}}, {{0, 0, CameraMode::still}}},
        {{{0.1, {0, 0, 608, 1080}}, {1.0 / 3, {1312, 0, 608, 1080}}, {1.0 / 3, {7, 3, 608, 1080}}},
         {{0, 0.2, CameraMode::still}, {0.2, 2.5, CameraMode::follow}}},
    };
    for (const CropPlan& plan : plans) {
        const std::string json = encodePlan(plan);
        SCOPED_TRACE(json);
        const auto read = decodePlan(json);
        ASSERT_TRUE(read) << read.error().description;
        EXPECT_EQ(read->frames, plan.frames);  // times exact: shortest round-trip form
        EXPECT_EQ(read->shots, plan.shots);
    }
}

TEST(CropPathReader, AcceptsAnyValidSpellingOfTheSamePath) {
    const std::string json =
        " {\"shots\" : [{\"mode\":\"follow\",\"end\":4E0,\"start\":0}],\n\"frames\":[{\"height\":"
        "576.0,\"width\":3.24e2,\"y\":0,\"x\":-0,\"t\\u0069me\":0.5}]}\r\n";
    const auto read = decodePlan(json);
    ASSERT_TRUE(read) << read.error().description;
    EXPECT_EQ(read->frames, (std::vector<PlannedFrame>{{0.5, {0, 0, 324, 576}}}));
    EXPECT_EQ(read->shots, (std::vector<PlannedShot>{{0, 4, CameraMode::follow}}));
}

TEST(CropPathReader, RefusesFaultsNamingWhereAndWhat) {
    const std::string frame = R"({"time":0,"x":1,"y":0,"width":324,"height":576})";
    const std::string shot = R"({"start":0,"end":8,"mode":"still"})";
    // A path with `frames` and `shots` spliced in; `at` is the byte offset of `part` in it.
    const auto path = [](const std::string& frames, const std::string& shots) {
        return R"({"frames":[)" + frames + R"(],"shots":[)" + shots + "]}";
    };
    const auto at = [](const std::string& json, const std::string& part) {
        const auto offset = json.find(part);
        EXPECT_NE(offset, std::string::npos) << part;
        return "byte " + std::to_string(offset);
    };
    struct Case {
        const char* name;
        std::string json;
        std::string description;
    };
    std::vector<Case> cases;
    const auto add = [&](const char* name, std::string json, const std::string& part,
                         const std::string& where, const std::string& what) {
        const std::string offset = at(json, part);
        cases.push_back(
            {name, json,
             where + (where.empty() ? "" : " (") + offset + (where.empty() ? ": " : "): ") + what});
    };
    // Syntax: the same reader as the samples', so only the faults of its own text.
    add("empty file", "", "", "", "expected a value, found the end of the text");
    cases.push_back({"text after the object", path(frame, shot) + "]",
                     "byte " + std::to_string(path(frame, shot).size()) +
                         ": expected the end of the text after the object, found ']'"});
    // Shape of the whole.
    add("an array", "[" + frame + "]", "[", "the text",
        "expected an object of frames and shots, found an array");
    add("no shots", R"({"frames":[]})", "{", "the path", "missing member \"shots\"");
    add("an unknown member", R"({"frames":[],"shots":[],"size":[768,576]})", "[768", "the path",
        "unknown member \"size\"");
    add("frames not an array", R"({"frames":{},"shots":[]})", "{}", "the path member \"frames\"",
        "expected an array of frames, found an object");
    add("shots null", R"({"frames":[],"shots":null})", "null", "the path member \"shots\"",
        "expected an array of shots, found null");
    // Frames.
    add("a frame without its height", path(R"({"time":0,"x":1,"y":0,"width":324})", shot),
        "{\"time", "frame 0", "missing member \"height\"");
    add("a member twice",
        path(frame + R"(,{"time":1,"x":1,"x":2,"y":0,"width":3,"height":4})", shot), "2,\"y",
        "frame 1", "member \"x\" given twice");
    add("a time as a string", path(R"({"time":"0","x":1,"y":0,"width":324,"height":576})", shot),
        "\"0\"", "frame 0 member \"time\"", "expected a number, found a string");
    add("a fraction of a pixel", path(R"({"time":0,"x":1.5,"y":0,"width":324,"height":576})", shot),
        "1.5", "frame 0 member \"x\"", "expected a whole number of pixels from 0, found 1.5");
    add("a corner left of the picture",
        path(R"({"time":0,"x":1,"y":-2,"width":324,"height":576})", shot), "-2",
        "frame 0 member \"y\"", "expected a whole number of pixels from 0, found -2");
    add("no width", path(R"({"time":0,"x":1,"y":0,"width":0,"height":576})", shot), "0,\"height",
        "frame 0 member \"width\"", "expected a whole number of pixels from 1, found 0");
    add("a side past any int", path(R"({"time":0,"x":1,"y":0,"width":324,"height":3e9})", shot),
        "3e9", "frame 0 member \"height\"",
        "expected a whole number of pixels from 1, found 3e+09");
    add("a time going back",
        path(
            R"({"time":0.5,"x":1,"y":0,"width":324,"height":576},{"time":0.25,"x":1,"y":0,"width":324,"height":576})",
            shot),
        "0.25", "frame 1 member \"time\"", "0.25 s is earlier than the frame before (0.5 s)");
    // Shots.
    add("an unknown mode", path(frame, R"({"start":0,"end":8,"mode":"pan"})"), "\"pan\"",
        "shot 0 member \"mode\"", "expected \"still\" or \"follow\", found \"pan\"");
    add("a mode as a number", path(frame, R"({"start":0,"end":8,"mode":1})"), "1}",
        "shot 0 member \"mode\"", "expected \"still\" or \"follow\", found a number");
    add("an end before the start", path(frame, R"({"start":2,"end":1,"mode":"still"})"), "1,\"mode",
        "shot 0 member \"end\"", "1 s is before the shot's start (2 s)");
    add("a shot starting inside the one before",
        path(frame, R"({"start":0,"end":4,"mode":"still"},{"start":3.5,"end":8,"mode":"follow"})"),
        "3.5", "shot 1 member \"start\"", "3.5 s is earlier than the end of the shot before (4 s)");
    add("a shot that is no object", path(frame, shot + ",[]"), "[]]", "shot 1",
        "expected an object, found an array");

    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto read = decodePlan(c.json);
        ASSERT_FALSE(read);
        EXPECT_EQ(read.error().description, c.description);
    }
}

}  // namespace
}  // namespace autoframe
