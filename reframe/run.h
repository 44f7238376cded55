#pragma once

#include <functional>
#include <string>

#include "core/error.h"
#include "core/process.h"
#include "core/services.h"
#include "reframe/media.h"

namespace autoframe::reframe {

// What one reframe runs on: the process (arguments, streams), the helper's analysis (frame
// source, detectors, gray rendering), the platform's frame times and rendering, and a steady
// clock in seconds for the progress.
struct Environment {
    Process& process;
    Services& services;
    ReframeMedia& media;
    std::function<double()> clock;
};

// One reframe: the command line; every frame's time; the samples (the helper's analysis at the
// chosen rate over the whole video, or a saved run); the crop plan; the rendered video; the crop
// path if asked for. Progress goes to standard error; an error is returned, not written.
Expected<void> runReframe(const Environment& environment);

// The failure line: "Reframe failed: " + description + line feed.
std::string failureLine(const Error& error);

// What `main` does: the exit status, after the failure line if any.
int finishReframe(const Expected<void>& outcome, Process& process);

}  // namespace autoframe::reframe
