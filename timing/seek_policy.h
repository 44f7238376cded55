#pragma once

// When the frame source seeks, where a seek must land, and which packets it may leave undecoded.
// Plain arithmetic on timestamps and seconds: no FFmpeg here.

#include <array>
#include <cstdint>
#include <optional>

#include "timing/stream_clock.h"

namespace autoframe {

// The keyframes the container's index lists, as far as it knows them (it may grow while reading).
class KeyframeIndex {
public:
    virtual ~KeyframeIndex() = default;
    // The last listed keyframe at or before `timestamp`, if there is one.
    virtual std::optional<std::int64_t> keyframeAtOrBefore(std::int64_t timestamp) const = 0;
    // The timestamp of the last entry (keyframe or not), if the index has any.
    virtual std::optional<std::int64_t> lastEntry() const = 0;
};

// The state of reading: where the demuxer stands, the keyframes seen, and the landing of a seek.
// After a seek, packets are passed over up to the first keyframe, which must not show after the
// request (else frames before it could be nearer): otherwise the seek goes back further.
class SeekPolicy {
public:
    explicit SeekPolicy(const StreamClock& clock) : clock_(clock) {}

    // Reading starts at `position`; `indexFromContainer`: the container lists its keyframes (they
    // are not only learnt by reading).
    void start(std::int64_t position, bool indexFromContainer);

    // Seeking pays when a keyframe lies between the packets read so far and the request:
    // everything before it can be left undecoded. (Frames before a keyframe shown no later than
    // the request are never nearer to it than the keyframe.)
    bool shouldSeek(double seconds, const KeyframeIndex& index) const;

    // A seek for a new request: the next step back starts again at 1 s.
    void seekingForRequest() { backoff_ = 0.0; }
    // Where to seek after a landing that cannot serve the window starting at `earliest`: twice as
    // far before it as the last try, 1 s the first time.
    double furtherBack(double earliest);
    // The demuxer now stands at a seek's landing (`fromStart`: the very start, where any keyframe
    // will do).
    void landed(bool fromStart);

    enum class Verdict { decode, passOver, landedTooLate };
    // What becomes of a packet of the stream just read (timestamps or noTimestamp), for a request
    // at `seconds`. On landedTooLate the caller seeks further back, or calls takeWhatThereIs().
    Verdict read(std::int64_t decodes, std::int64_t shows, bool keyframe, double seconds);
    // Cannot go back further: the landing is taken as it is.
    void takeWhatThereIs() { landing_ = false; }
    // The input ended while still looking for the keyframe of a seek that did not start at the
    // very start: the landing lay after the last keyframe.
    bool landedAfterTheLastKeyframe() const { return landing_ && !landingAtStart_; }

private:
    const StreamClock& clock_;
    bool indexFromContainer_ = false;
    std::int64_t position_ = noTimestamp;      // timestamp of the last packet read
    std::int64_t lastKeyframe_ = noTimestamp;  // timestamp of the last keyframe read
    std::int64_t keyframeInterval_ = 0;        // longest seen between two keyframes
    bool landing_ = false;
    bool landingAtStart_ = false;
    double backoff_ = 0.0;  // seconds before the window the last seek aimed at
};

// Frames that can never be an answer, so that the decoder may leave them out when nothing refers
// to them: those shown before another frame already read that shows no later than the request
// (that one is nearer, or on screen after them). A frame shown long before the request may still
// be the one on screen at it, while no later frame is known.
class NeedlessFrames {
public:
    explicit NeedlessFrames(const StreamClock& clock) : clock_(clock) { forget(); }

    // Remembers the packet's presentation time and tells whether its frame can be left out for a
    // request at `seconds`.
    bool canLeaveOut(std::int64_t shows, double seconds);
    // After a seek the packets read before are no guide.
    void forget() { recentShows_.fill(noTimestamp); }

private:
    const StreamClock& clock_;
    // Presentation times of the packets read last (decode order runs ahead of display order by
    // less than this many frames).
    std::array<std::int64_t, 16> recentShows_{};
    std::size_t recentCount_ = 0;
};

}  // namespace autoframe
