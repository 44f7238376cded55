#pragma once

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "core/detectors.h"
#include "core/frame_source.h"
#include "core/gray.h"
#include "core/process.h"
#include "core/services.h"

namespace autoframe::testing {

// The outcome of running the built helper as a child process.
struct HelperRun {
    int status = -1;  // exit status, or 128 + signal number
    std::string out;
    std::string err;
    bool timedOut = false;  // killed after the time limit
};

// Runs the helper with these arguments (program name excluded) and extra environment variables;
// kills it if it runs longer than `limitSeconds`.
HelperRun runHelper(const std::vector<std::string>& arguments,
                    const std::map<std::string, std::string>& environment = {},
                    int limitSeconds = 300);

// The same for any program, given by its path.
HelperRun runProgram(const std::string& program, const std::vector<std::string>& arguments,
                     const std::map<std::string, std::string>& environment = {},
                     int limitSeconds = 300);

// The whole file as bytes ("" when it cannot be read), and a file made of the bytes.
std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& bytes);

// Runs a shell command; true when it exits 0. For making fixtures with the ffmpeg command.
bool runShell(const std::string& command);

// The folder for generated fixtures, shared by all test binaries (created on first use).
std::string fixtureDir();

// A last step in making a fixture: `apply` changes the file in place; `recipe` says what it does
// (with all its values), so that another step makes another file.
struct FixtureFinish {
    std::string recipe;
    std::function<bool(const std::string&)> apply;
};

// Makes a file in fixtureDir() with `ffmpeg <arguments> <file>` (then `finish` on the file) unless
// an earlier run made it by the same recipe, and returns its path, or "" when making it failed.
// The path is `name` with a hash of the recipe before its extension ("clip.mp4" becomes
// "clip-<hash>.mp4"): a changed recipe makes a new file. Tests run side by side in separate
// processes: each writes a file of its own and renames it into place, so no test ever sees
// another's half-written fixture.
std::string makeFixture(const std::string& name, const std::string& arguments,
                        const FixtureFinish& finish = {});

// `name` with the recipe's hash before the extension.
std::string fixtureFileName(const std::string& name, const std::string& recipe);

// A path in fixtureDir() that no other test process uses at the same time.
std::string privatePath(const std::string& name);

// A process with given arguments that records what is written to its streams.
class FakeProcess final : public Process {
public:
    explicit FakeProcess(std::vector<std::string> arguments) : arguments_(std::move(arguments)) {}
    std::vector<std::string> arguments() const override { return arguments_; }
    void writeStandardOutput(std::string_view bytes) override { out.emplace_back(bytes); }
    void writeStandardError(std::string_view bytes) override { err.emplace_back(bytes); }
    bool standardErrorIsTerminal() const override { return false; }

    std::vector<std::string> out;  // one entry per write
    std::vector<std::string> err;

private:
    std::vector<std::string> arguments_;
};

// A solid frame of one gray level.
Frame grayFrame(int width, int height, std::uint8_t level);

// Hands out scripted frames (or errors) in order and records the requested times.
class FakeFrameSource final : public FrameSource {
public:
    Expected<TimedFrame> frameAt(double seconds) override;
    Expected<double> statedDurationSeconds() override { return duration; }

    std::deque<Expected<TimedFrame>> replies;  // when empty: a 4x4 black frame at the request time
    double duration = 0.0;
    std::vector<double> requests;
};

// Returns scripted detections (or errors) in order; an empty script detects nothing.
class FakeDetectors final : public Detectors {
public:
    Expected<Detections> detect(const Frame& frame) override;

    std::deque<Expected<Detections>> replies;
    int calls = 0;
};

// Renders a frame as its first byte everywhere (exact for the solid frames of grayFrame), nothing
// for a frame without pixels.
class FakeGrayRenderer final : public GrayRenderer {
public:
    std::optional<std::vector<std::uint8_t>> render(const Frame& frame, int width,
                                                    int height) const override;
};

// Services handing out the given fakes once each.
class FakeServices final : public Services {
public:
    std::unique_ptr<FrameSource> openFrameSource(const std::string& path) override;
    std::unique_ptr<Detectors> makeDetectors() override;
    std::unique_ptr<GrayRenderer> makeGrayRenderer() override;

    std::unique_ptr<FakeFrameSource> source = std::make_unique<FakeFrameSource>();
    std::unique_ptr<FakeDetectors> detectors = std::make_unique<FakeDetectors>();
    std::vector<std::string> openedPaths;
};

}  // namespace autoframe::testing
