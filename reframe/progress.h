#pragma once

#include <string>
#include <string_view>

namespace autoframe::reframe {

// The progress of a long stage as text for standard error: on a terminal one line redrawn in
// place, a bar with the share done and the time left; elsewhere (a log, a pipe) plain lines, at
// most one a second. Quiet: nothing. Plain arithmetic on the figures given; the caller writes
// the text and reads the clock.
class ProgressText {
public:
    enum class Style { bar, lines, quiet };
    explicit ProgressText(Style style) : style_(style) {}

    // The text due now for `stage`, `done` of `total` units (total 0: unknown), `elapsed`
    // seconds into the stage; empty when nothing is due yet.
    std::string update(std::string_view stage, double done, double total, double elapsed);
    // The text that closes the stage, `elapsed` seconds after it began.
    std::string finish(std::string_view stage, double elapsed);

private:
    Style style_;
    double lastShown_ = -1.0;  // seconds into the stage; below 0: nothing shown in this stage
};

// Seconds as m:ss (h:mm:ss from an hour on), rounded up; "?" when not finite or negative.
std::string clockText(double seconds);

}  // namespace autoframe::reframe
