// The reframing program's command line and its progress text.
#include <gtest/gtest.h>

#include "reframe/command_line.h"
#include "reframe/progress.h"

namespace autoframe::reframe {
namespace {

std::vector<std::string> args(std::vector<std::string> rest) {
    rest.insert(rest.begin(), "autoframe-reframe");
    return rest;
}

TEST(ReframeCommandLine, OptionsAnywhereEachOnce) {
    const auto plain = parseCommandLine(args({"in.mp4", "out.mp4"}));
    ASSERT_TRUE(plain) << plain.error().description;
    EXPECT_EQ(plain->video, "in.mp4");
    EXPECT_EQ(plain->output, "out.mp4");
    EXPECT_EQ(plain->aspect, (Size{9, 16}));
    EXPECT_EQ(plain->rate, defaultRate);
    EXPECT_FALSE(plain->samples || plain->path || plain->quiet);

    const auto all =
        parseCommandLine(args({"--aspect", "4:5", "in.mp4", "--rate", "2.5", "--samples", "s.json",
                               "--quiet", "--path", "p.json", "out.mp4"}));
    ASSERT_TRUE(all) << all.error().description;
    EXPECT_EQ(all->aspect, (Size{4, 5}));
    EXPECT_EQ(all->rate, 2.5);
    EXPECT_EQ(all->samples, "s.json");
    EXPECT_EQ(all->path, "p.json");
    EXPECT_TRUE(all->quiet);
    EXPECT_EQ(all->video, "in.mp4");
    EXPECT_EQ(all->output, "out.mp4");
}

TEST(ReframeCommandLine, FaultsSayWhatIsWrong) {
    const struct {
        std::vector<std::string> arguments;
        std::string problem;
    } cases[] = {
        {{}, "give the video and the output file"},
        {{"in.mp4"}, "give the video and the output file"},
        {{"in.mp4", "out.mp4", "more.mp4"}, "give the video and the output file"},
        {{"--aspect", "0:1", "in.mp4", "out.mp4"},
         "bad aspect '0:1': give two whole numbers from 1 to 10000 as W:H, like 9:16"},
        {{"--aspect", "9:", "in.mp4", "out.mp4"},
         "bad aspect '9:': give two whole numbers from 1 to 10000 as W:H, like 9:16"},
        {{"--aspect", "abc", "in.mp4", "out.mp4"},
         "bad aspect 'abc': give two whole numbers from 1 to 10000 as W:H, like 9:16"},
        {{"--aspect", "9:16:1", "in.mp4", "out.mp4"},
         "bad aspect '9:16:1': give two whole numbers from 1 to 10000 as W:H, like 9:16"},
        {{"--rate", "0", "in.mp4", "out.mp4"},
         "bad rate '0': give samples a second above 0, at most 120"},
        {{"--rate", "nan", "in.mp4", "out.mp4"},
         "bad rate 'nan': give samples a second above 0, at most 120"},
        {{"in.mp4", "out.mp4", "--path"}, "--path needs a value"},
        {{"--rate", "4", "--rate", "5", "in.mp4", "out.mp4"}, "--rate given twice"},
        {{"--fast", "in.mp4", "out.mp4"}, "unknown option --fast"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.arguments));
        const auto parsed = parseCommandLine(args(c.arguments));
        ASSERT_FALSE(parsed);
        EXPECT_EQ(parsed.error().description, c.problem + ". " + std::string(usageText));
    }
}

TEST(ReframeProgress, LinesAtMostOneASecondBarRedrawnInPlace) {
    ProgressText lines(ProgressText::Style::lines);
    EXPECT_EQ(lines.update("rendering", 0, 100, 0.0), "rendering: 0%\n");
    EXPECT_EQ(lines.update("rendering", 10, 100, 0.5), "");  // within the second
    EXPECT_EQ(lines.update("rendering", 25, 100, 1.0), "rendering: 25%, 0:03 left\n");
    EXPECT_EQ(lines.update("rendering", 50, 0, 2.5), "rendering: …\n");  // total unknown
    EXPECT_EQ(lines.finish("rendering", 65.2), "rendering: done in 1:06\n");
    EXPECT_EQ(lines.update("analysing", 1, 3, 0.1), "analysing: 33%, 0:01 left\n");  // new stage

    ProgressText bar(ProgressText::Style::bar);
    EXPECT_EQ(bar.update("rendering", 50, 100, 10.0),
              "\rrendering [###############---------------]  50%  0:10 left\x1b[K");
    EXPECT_EQ(bar.update("rendering", 51, 100, 10.05), "");
    EXPECT_EQ(bar.finish("rendering", 20.0),
              "\rrendering [##############################] 100%  0:20\x1b[K\n");

    ProgressText quiet(ProgressText::Style::quiet);
    EXPECT_EQ(quiet.update("rendering", 1, 2, 5.0), "");
    EXPECT_EQ(quiet.finish("rendering", 5.0), "");
}

TEST(ReframeProgress, ClockText) {
    const std::pair<double, const char*> cases[] = {
        {0, "0:00"},       {0.2, "0:01"},     {59.5, "1:00"}, {61, "1:01"},
        {3600, "1:00:00"}, {3725, "1:02:05"}, {-1, "?"},      {1.0 / 0.0, "?"}};
    for (const auto& [seconds, text] : cases) EXPECT_EQ(clockText(seconds), text) << seconds;
}

}  // namespace
}  // namespace autoframe::reframe
