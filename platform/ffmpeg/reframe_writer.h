#pragma once

// Renders the reframed video: every frame of the source cut to its crop window, scaled to one
// output size, encoded as H.264 with the source's timestamps and muxed into MP4 with the source's
// audio. The file appears at the output path only when complete.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "core/error.h"
#include "platform/ffmpeg/audio_track.h"
#include "platform/ffmpeg/frame_times.h"
#include "reframe/crop_geometry.h"

namespace autoframe::reframe {

// How the output is encoded.
struct EncodeSettings {
    // libx264's speed preset and constant rate factor: a fast preset (the encoder sets the pace
    // of the render; the benchmark clip is encoded with the same settings) at a quality close to
    // the source (a lower crf is better and larger).
    std::string preset = "veryfast";
    int crf = 20;
    // Audio that MP4 cannot hold as it is is encoded as AAC at this rate per channel.
    std::int64_t audioBitRatePerChannel = 96000;
};

struct RenderProgress {
    std::size_t framesDone = 0;
    std::size_t framesTotal = 0;  // 0: not known
    double secondsDone = 0.0;     // where the frames done end in the source
    double secondsTotal = 0.0;    // the source's duration; 0: not known
};

// The crop window, in upright source pixels, of the source frame `index` (counting from 0 in
// display order) shown at `seconds` (the helper's clock, as frameTimes gives it). An error ends
// the render with that error.
using WindowForFrame = std::function<Expected<SourceWindow>(std::size_t index, double seconds)>;
using ProgressReport = std::function<void(const RenderProgress&)>;

struct RenderRequest {
    std::string input;
    std::string output;
    EvenSize size;  // even sides: outputSizeFor(window width, window height)
    WindowForFrame window;
    ProgressReport progress;         // called after every frame; may be empty
    std::size_t expectedFrames = 0;  // frameTimes' count, for the progress (else the container's)
    EncodeSettings encode;
};

struct RenderSummary {
    std::size_t frames = 0;
    AudioHandling audio = AudioHandling::none;
};

// Windows reaching past the picture's edges are moved inside it, larger ones shrink to it; the
// window's corner is rounded to whole pixels on the chroma grid of the source (2 for 4:2:0), its
// size to whole pixels. On failure nothing is left at the output path but what was there before.
Expected<RenderSummary> renderReframe(const RenderRequest& request);

}  // namespace autoframe::reframe
