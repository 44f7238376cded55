#include "timing/seek_policy.h"

#include <algorithm>

namespace autoframe {

void SeekPolicy::start(std::int64_t position, bool indexFromContainer) {
    position_ = position;
    indexFromContainer_ = indexFromContainer;
}

bool SeekPolicy::shouldSeek(double seconds, const KeyframeIndex& index) const {
    if (position_ == noTimestamp) return false;
    const std::int64_t target = clock_.timestampOf(seconds);
    if (target <= position_) return false;
    if (const auto last = index.lastEntry(); indexFromContainer_ && last) {
        const auto keyframe = index.keyframeAtOrBefore(target);
        if (keyframe && *keyframe > position_) return true;
        if (*last >= target) return false;
    }
    // Beyond what the index knows: judge by the keyframe spacing seen so far.
    if (keyframeInterval_ > 0 && lastKeyframe_ != noTimestamp) {
        return lastKeyframe_ + keyframeInterval_ <= target;
    }
    return clock_.secondsOf(target) - clock_.secondsOf(position_) > 10.0;
}

double SeekPolicy::furtherBack(double earliest) {
    backoff_ = backoff_ > 0.0 ? backoff_ * 2.0 : 1.0;
    return earliest - backoff_;
}

void SeekPolicy::landed(bool fromStart) {
    lastKeyframe_ = noTimestamp;
    landing_ = true;
    landingAtStart_ = fromStart;
}

// Seeks land on a keyframe only in containers that list them; elsewhere (MPEG-TS) they land
// wherever the timestamp is, perhaps after the keyframe the window needs. Either way, the first
// keyframe read must show no later than the request, or the seek goes back further.
SeekPolicy::Verdict SeekPolicy::read(std::int64_t decodes, std::int64_t shows, bool keyframe,
                                     double seconds) {
    const std::int64_t at = decodes != noTimestamp ? decodes : shows;
    if (at != noTimestamp) {
        position_ = at;
        if (keyframe) {
            if (lastKeyframe_ != noTimestamp && at > lastKeyframe_) {
                keyframeInterval_ = std::max(keyframeInterval_, at - lastKeyframe_);
            }
            lastKeyframe_ = at;
        }
    }
    if (!landing_) return Verdict::decode;
    if (!keyframe) return Verdict::passOver;
    const std::int64_t shown = shows != noTimestamp ? shows : decodes;
    if (!landingAtStart_ && shown != noTimestamp && clock_.secondsOf(shown) > seconds) {
        return Verdict::landedTooLate;
    }
    landing_ = false;
    return Verdict::decode;
}

bool NeedlessFrames::canLeaveOut(std::int64_t shows, double seconds) {
    bool needless = false;
    for (const std::int64_t other : recentShows_) {
        needless = needless || (other > shows && clock_.secondsOf(other) <= seconds);
    }
    recentShows_[recentCount_++ % recentShows_.size()] = shows;
    return needless;
}

}  // namespace autoframe
