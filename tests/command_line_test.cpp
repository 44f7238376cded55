#include <cmath>
#include <limits>
#include <optional>

#include <gtest/gtest.h>

#include "driver/command_line.h"
#include "tests/support.h"

namespace autoframe {
namespace {

constexpr double inf = std::numeric_limits<double>::infinity();
constexpr double nan = std::numeric_limits<double>::quiet_NaN();

struct NumberCase {
    const char* text;
    std::optional<double> value;  // nullopt: not a number
};

const NumberCase numberCases[] = {
    {"1.5", 1.5},
    {"+2", 2.0},
    {".5", 0.5},
    {"5.", 5.0},
    {"1e3", 1000.0},
    {"0x1p-2", 0.25},
    {"0X1P-2", 0.25},
    {"inf", inf},
    {"Infinity", inf},
    {"-INF", -inf},
    {"nan", nan},
    {"NaN(123)", nan},
    {"-0", -0.0},
    {"1e400", inf},  // overflow keeps the conversion's result
    {"", std::nullopt},
    {" 5", std::nullopt},
    {"\t5", std::nullopt},
    {"\n5", std::nullopt},
    {"\v5", std::nullopt},
    {"\f5", std::nullopt},
    {"\r5", std::nullopt},
    {"5 ", std::nullopt},
    {"5\n", std::nullopt},
    {"1,5", std::nullopt},
    {"1e", std::nullopt},
    {"0x", std::nullopt},
    {"10s", std::nullopt},
    {"1_000", std::nullopt},
    {"infinit", std::nullopt},
    {"-", std::nullopt},
};

void expectNumberRule(const char* context) {
    for (const NumberCase& c : numberCases) {
        SCOPED_TRACE(std::string(context) + " text \"" + c.text + "\"");
        const auto parsed = parseNumber(c.text);
        ASSERT_EQ(parsed.has_value(), c.value.has_value());
        if (!c.value) continue;
        if (std::isnan(*c.value)) {
            EXPECT_TRUE(std::isnan(*parsed));
        } else {
            EXPECT_EQ(*parsed, *c.value);
            EXPECT_EQ(std::signbit(*parsed), std::signbit(*c.value));
        }
    }
}

TEST(NumberRule, AcceptsExactlyWholeStrtodSubjectSequences) { expectNumberRule("C locale"); }

TEST(NumberRule, IgnoresTheProcessLocale) {
    // In German the decimal separator is ',': a locale-dependent parser would take "1,5".
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8")) {
        GTEST_SKIP() << "LOUD SKIP: locale de_DE.UTF-8 is not generated on this machine "
                        "(scripts/setup.sh generates it)";
    }
    expectNumberRule("de_DE.UTF-8");
    std::setlocale(LC_ALL, "C");
}

TEST(NumberRule, EmbeddedNulIsNotANumber) {
    EXPECT_FALSE(parseNumber(std::string("5\0", 2)).has_value());
}

struct CommandLineCase {
    const char* name;
    std::vector<std::string> arguments;  // after the program name
    bool accepted;
};

TEST(CommandLine, RefusesEveryFaultWithTheUsageError) {
    const CommandLineCase cases[] = {
        {"no arguments", {}, false},
        {"three arguments", {"v.mp4", "0", "1"}, false},
        {"five arguments", {"v.mp4", "0", "1", "2", "x"}, false},
        {"from not a number", {"v.mp4", "a", "1", "2"}, false},
        {"to not a number", {"v.mp4", "0", " 1", "2"}, false},
        {"fps not a number", {"v.mp4", "0", "1", "2fps"}, false},
        {"from equal to to", {"v.mp4", "1", "1", "2"}, false},
        {"from above to", {"v.mp4", "2", "1", "2"}, false},
        {"from nan", {"v.mp4", "nan", "1", "2"}, false},
        {"to nan", {"v.mp4", "0", "nan", "2"}, false},
        {"fps zero", {"v.mp4", "0", "1", "0"}, false},
        {"fps negative zero", {"v.mp4", "0", "1", "-0"}, false},
        {"fps negative", {"v.mp4", "0", "1", "-1"}, false},
        {"fps nan", {"v.mp4", "0", "1", "nan"}, false},
        {"from minus infinity", {"v.mp4", "-inf", "1", "2"}, false},
        {"to infinity", {"v.mp4", "0", "inf", "2"}, false},
        {"fps infinity", {"v.mp4", "0", "1", "inf"}, false},
        {"fps overflowing to infinity", {"v.mp4", "0", "1", "1e999"}, false},
        {"plain", {"v.mp4", "0", "1", "4"}, true},
        {"negative from", {"v.mp4", "-5", "-1", "0.5"}, true},
        {"empty path", {"", "0", "1", "4"}, true},
        {"hex numbers", {"v.mp4", "0x0", "0x1p1", "0x1p-1"}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> arguments{"helper"};
        arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
        const auto parsed = parseCommandLine(arguments);
        ASSERT_EQ(parsed.has_value(), c.accepted);
        if (!c.accepted) {
            EXPECT_EQ(parsed.error().domain, "TarnvelAutoFraming");
            EXPECT_EQ(parsed.error().code, 1);
            EXPECT_EQ(parsed.error().description, "Usage: helper <video> <from> <to> <fps>");
        } else {
            EXPECT_EQ(parsed->video, c.arguments[0]);
        }
    }
}

TEST(CommandLine, PassesValuesAndPathUnchanged) {
    const auto parsed = parseCommandLine({"helper", " odd path.mp4", "-0.5", "0x1p1", "29.97"});
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->video, " odd path.mp4");
    EXPECT_EQ(parsed->from, -0.5);
    EXPECT_EQ(parsed->to, 2.0);
    EXPECT_EQ(parsed->fps, 29.97);
}

}  // namespace
}  // namespace autoframe
