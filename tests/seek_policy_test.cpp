// The seek policy and the choice of frames to leave undecoded, on plain timestamps (milliseconds).
#include <algorithm>
#include <optional>
#include <vector>

#include <gtest/gtest.h>

#include "timing/seek_policy.h"

namespace autoframe {
namespace {

const StreamClock milliseconds{1, 1000, 0};

// An index listing these keyframes, and entries up to `last`.
class ListedKeyframes final : public KeyframeIndex {
public:
    ListedKeyframes(std::vector<std::int64_t> keyframes, std::optional<std::int64_t> last)
        : keyframes_(std::move(keyframes)), last_(last) {}
    std::optional<std::int64_t> keyframeAtOrBefore(std::int64_t timestamp) const override {
        std::optional<std::int64_t> found;
        for (const auto k : keyframes_) {
            if (k <= timestamp) found = k;
        }
        return found;
    }
    std::optional<std::int64_t> lastEntry() const override { return last_; }

private:
    std::vector<std::int64_t> keyframes_;
    std::optional<std::int64_t> last_;
};

struct Packet {
    std::int64_t shows;
    bool keyframe;
};

TEST(SeekPolicy, SeeksOnlyWhenAKeyframeLiesBetweenThePositionAndTheRequest) {
    struct Case {
        const char* name;
        std::optional<std::int64_t> start;  // none: nothing read yet
        bool indexFromContainer;
        std::vector<std::int64_t> keyframes;
        std::optional<std::int64_t> lastEntry;
        std::vector<Packet> read;  // packets read since (decode time = presentation time)
        double request;
        bool seeks;
    };
    const Case cases[] = {
        {"nothing read yet", std::nullopt, true, {0, 2000}, 4000, {}, 3.0, false},
        {"request behind the position", 2000, true, {0, 2000}, 4000, {}, 1.5, false},
        {"request at the position", 2000, true, {0, 2000}, 4000, {}, 2.0, false},
        {"listed keyframe after the position", 1000, true, {0, 2000, 4000}, 5000, {}, 2.0, true},
        {"listed keyframe only at the position", 2000, true, {0, 2000, 4000}, 5000, {}, 3.9, false},
        {"index reaches past the request, no keyframe", 500, true, {0}, 9000, {}, 8.0, false},
        {"past the index: seen spacing reaches",
         0,
         true,
         {0},
         1000,
         {{0, true}, {1000, true}, {1400, false}},
         2.0,
         true},
        {"past the index: seen spacing falls short",
         0,
         true,
         {0},
         1000,
         {{0, true}, {1000, true}, {1400, false}},
         1.999,
         false},
        {"unlisted keyframes: spacing seen",
         0,
         false,
         {},
         std::nullopt,
         {{0, true}, {500, false}, {1000, true}},
         2.0,
         true},
        {"an index learnt by reading is no guide",
         0,
         false,
         {0, 3000},
         3000,
         {{0, true}, {1000, true}},
         3.5,
         true},
        {"an index learnt by reading is no guide either way",
         0,
         false,
         {0, 3000},
         3000,
         {{0, true}, {2000, true}},
         3.5,
         false},
        {"no spacing known: more than 10 s ahead", 0, false, {}, std::nullopt, {}, 10.001, true},
        {"no spacing known: 10 s ahead", 0, false, {}, std::nullopt, {}, 10.0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SeekPolicy policy(milliseconds);
        if (c.start) policy.start(*c.start, c.indexFromContainer);
        for (const Packet& p : c.read) policy.read(p.shows, p.shows, p.keyframe, 0.0);
        EXPECT_EQ(policy.shouldSeek(c.request, ListedKeyframes(c.keyframes, c.lastEntry)), c.seeks);
    }
}

TEST(SeekPolicy, LandingWaitsForAKeyframeShownNoLaterThanTheRequest) {
    using enum SeekPolicy::Verdict;
    struct Case {
        const char* name;
        bool fromStart;
        double request;
        std::vector<Packet> read;
        std::vector<SeekPolicy::Verdict> verdicts;
    };
    const Case cases[] = {
        {"frames before the first keyframe are passed over",
         false,
         2.5,
         {{1900, false}, {2000, true}, {2100, false}},
         {passOver, decode, decode}},
        {"keyframe at the request itself",
         false,
         2.0,
         {{2000, true}, {2040, false}},
         {decode, decode}},
        {"keyframe after the request: further back", false, 2.5, {{2600, true}}, {landedTooLate}},
        {"from the very start any keyframe will do",
         true,
         0.5,
         {{900, false}, {800, true}},
         {passOver, decode}},
        {"keyframe without times", false, 2.5, {{noTimestamp, true}}, {decode}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SeekPolicy policy(milliseconds);
        policy.start(0, true);
        policy.landed(c.fromStart);
        EXPECT_EQ(policy.landedAfterTheLastKeyframe(), !c.fromStart);
        std::vector<SeekPolicy::Verdict> verdicts;
        for (const Packet& p : c.read)
            verdicts.push_back(policy.read(p.shows, p.shows, p.keyframe, c.request));
        EXPECT_EQ(verdicts, c.verdicts);
    }
}

TEST(SeekPolicy, ShownTimeDecidesTheLandingAndDecodeTimeThePosition) {
    // A keyframe decoded at 1.9 s but shown at 2.1 s, after the request at 2.0 s.
    SeekPolicy policy(milliseconds);
    policy.start(0, true);
    policy.landed(false);
    EXPECT_EQ(policy.read(1900, 2100, true, 2.0), SeekPolicy::Verdict::landedTooLate);
    EXPECT_TRUE(policy.shouldSeek(1.95, ListedKeyframes({0, 1950}, 5000)));
    EXPECT_FALSE(policy.shouldSeek(1.90, ListedKeyframes({0, 1950}, 5000)));
    // Cannot go back: the landing is taken, and reading goes on from it.
    policy.takeWhatThereIs();
    EXPECT_FALSE(policy.landedAfterTheLastKeyframe());
    EXPECT_EQ(policy.read(1940, 1940, false, 2.0), SeekPolicy::Verdict::decode);
}

TEST(SeekPolicy, EachStepBackGoesTwiceAsFarAsTheLast) {
    SeekPolicy policy(milliseconds);
    std::vector<double> targets;
    for (int i = 0; i < 4; ++i) targets.push_back(policy.furtherBack(5.0));
    EXPECT_EQ(targets, (std::vector<double>{4.0, 3.0, 1.0, -3.0}));
    policy.seekingForRequest();
    EXPECT_EQ(policy.furtherBack(7.5), 6.5);
}

TEST(NeedlessFrames, FramesThatCannotBeTheAnswerAreLeftOut) {
    // 25 fps in decode order with B-frames: I 0, P 160, B 40, B 80, B 120 (milliseconds shown).
    struct Case {
        const char* name;
        double request;
        std::vector<bool> leftOut;
    };
    const Case cases[] = {
        // The I-frame could still be on screen at the request until a later frame is known.
        {"the P-frame is nearer than the B-frames before it",
         0.17,
         {false, false, true, true, true}},
        {"the B-frames are nearer than the P-frame", 0.13, {false, false, false, false, false}},
        {"window from the start", 0.0, {false, false, false, false, false}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        NeedlessFrames needless(milliseconds);
        std::vector<bool> leftOut;
        for (const std::int64_t shows : {0, 160, 40, 80, 120}) {
            leftOut.push_back(needless.canLeaveOut(shows, c.request));
        }
        EXPECT_EQ(leftOut, c.leftOut);
    }
}

TEST(NeedlessFrames, ForgetsWhatWasReadBeforeASeek) {
    NeedlessFrames needless(milliseconds);
    EXPECT_FALSE(needless.canLeaveOut(2000, 2.0));
    EXPECT_TRUE(needless.canLeaveOut(1960, 2.0));  // the frame at 2.0 s is nearer
    needless.forget();
    EXPECT_FALSE(needless.canLeaveOut(1960, 2.0));
}

}  // namespace
}  // namespace autoframe
