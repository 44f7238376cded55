#pragma once

// The decoded frames that may still answer a request, and the times given to decoded frames.
// Plain arithmetic on seconds: no FFmpeg here (Picture is whatever the decoder hands out).

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <deque>
#include <optional>
#include <utility>

namespace autoframe {

// One request for a frame: the time asked for and how far from it the nearest frame may lie.
struct RequestWindow {
    double seconds = 0.0;
    double tolerance = 0.0;

    // The start of the window: frames before it are never the nearest answer.
    double earliest() const { return seconds - tolerance; }
};

// Frames in time order: the last one at or before the latest request, then those after it.
// Requests come in increasing order.
template <class Picture>
class HeldFrames {
public:
    struct Held {
        Picture picture;
        double seconds = 0.0;
        std::uint64_t number = 0;  // counts the frames held, from 1: tells two pictures apart
    };

    // The frame that answers a request, and the time it answers for.
    struct Answer {
        const Held* held = nullptr;
        double seconds = 0.0;
    };

    // Of the frames up to the request only the last can still answer: it is the one on screen.
    void prune(const RequestWindow& request) {
        while (held_.size() >= 2 && held_[1].seconds <= request.seconds) held_.pop_front();
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

    // A decoded frame at `at` can be an answer: it shows after every held one.
    bool wants(double at) const { return held_.empty() || at > held_.back().seconds; }

    // Keeps a wanted frame. Of the frames before the request only the last can be the answer.
    void add(Picture picture, double at, const RequestWindow& request) {
        if (at < request.seconds && !held_.empty() && held_.back().seconds < request.seconds) {
            held_.pop_back();
        }
        held_.push_back(Held{std::move(picture), at, ++added_});
    }

    // The held frame nearest to the request within its tolerance either side (the earlier of two
    // equally near), with its own time. Failing that, the frame on screen at the request: the
    // last shown at or before it, while the next is still to come or, for the last frame of the
    // video (`videoEnded`: nothing follows what is held), while the video lasts; it answers for
    // the requested time itself, the moment a viewer sees it. Else nothing.
    std::optional<Answer> answer(const RequestWindow& request, bool videoEnded) const {
        const Held* best = nullptr;
        for (const Held& held : held_) {
            const double distance = std::abs(held.seconds - request.seconds);
            if (!(distance <= request.tolerance)) continue;
            if (!best || distance < std::abs(best->seconds - request.seconds)) best = &held;
        }
        if (best) return Answer{best, best->seconds};

        const auto after = std::find_if(held_.begin(), held_.end(), [&](const Held& held) {
            return held.seconds > request.seconds;
        });
        if (after == held_.begin()) return std::nullopt;
        const bool onScreen =
            after != held_.end() || (videoEnded && lastEnd_ && request.seconds < *lastEnd_);
        if (!onScreen) return std::nullopt;
        return Answer{&*std::prev(after), request.seconds};
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
    std::uint64_t added_ = 0;
};

}  // namespace autoframe
