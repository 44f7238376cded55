#pragma once

#include "core/error.h"
#include "core/process.h"
#include "core/services.h"

namespace autoframe {

// One run: checks the command line, samples the video, and on success writes the JSON array to
// standard output in one write. Writes nothing to standard error; an error is returned instead.
Expected<void> runAutoFraming(Process& process, Services& services);

// The failure line: "Auto framing failed: " + description + line feed.
std::string failureLine(const Error& error);

// What `main` does with the outcome of a run: the exit status, after the failure line if any.
int finishRun(const Expected<void>& outcome, Process& process);

}  // namespace autoframe
