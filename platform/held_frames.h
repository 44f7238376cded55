#pragma once

// The decoded frames that may still answer a request, and the times given to decoded frames.
// Plain arithmetic on seconds: no FFmpeg here (Picture is whatever the decoder hands out).

#include <algorithm>
#include <cmath>
#include <deque>
#include <optional>
#include <utility>

namespace autoframe {

// Frames in time order: at most the last one before the latest request, then the first at or
// after it. Requests come in increasing order; each has a window from `earliest` (the request
// less the tolerance) on.
template <class Picture>
class HeldFrames {
public:
    struct Held {
        Picture picture;
        double seconds = 0.0;
    };

    // Frames before the window are of no more use; of those up to the request, only the last.
    void prune(double seconds, double earliest) {
        while (!held_.empty() && held_.front().seconds < earliest) held_.pop_front();
        while (held_.size() >= 2 && held_[1].seconds <= seconds) held_.pop_front();
    }

    // No frame held at or after `seconds`: decoding must go on.
    bool needsMore(double seconds) const { return held_.empty() || held_.back().seconds < seconds; }

    // The time of a decoded frame: its own (`shown`) if it has one, else right after the frame
    // before (0 for the first). Notes where the video has reached: the frame lasts `duration`.
    double place(std::optional<double> shown, double duration) {
        const double at = shown ? *shown : lastEnd_.value_or(0.0);
        lastEnd_ = std::max(lastEnd_.value_or(at), at + duration);
        return at;
    }

    // A decoded frame at `at` can be an answer: not before the window, and after every held one.
    bool wants(double at, double earliest) const {
        return !(at < earliest || (!held_.empty() && at <= held_.back().seconds));
    }

    // Keeps a wanted frame. Of the frames before the request only the last can be the answer.
    void add(Picture picture, double at, double seconds) {
        if (at < seconds && !held_.empty() && held_.back().seconds < seconds) held_.pop_back();
        held_.push_back(Held{std::move(picture), at});
    }

    // The held frame nearest to `seconds` within `tolerance` either side (the earlier of two
    // equally near), or null.
    const Held* nearest(double seconds, double tolerance) const {
        const Held* best = nullptr;
        for (const Held& held : held_) {
            if (!(std::abs(held.seconds - seconds) <= tolerance)) continue;
            if (!best || std::abs(held.seconds - seconds) < std::abs(best->seconds - seconds)) {
                best = &held;
            }
        }
        return best;
    }

    // After a seek nothing held fits with what is decoded next.
    void clear() { held_.clear(); }

    bool empty() const { return held_.empty(); }
    const Held& latest() const { return held_.back(); }
    // Where the last decoded frame ends, once there is one.
    std::optional<double> end() const { return lastEnd_; }

private:
    std::deque<Held> held_;
    std::optional<double> lastEnd_;
};

}  // namespace autoframe
