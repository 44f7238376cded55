#pragma once

namespace autoframe {

// How the FFmpeg frame source decodes. The defaults are what the helper runs with; the other
// values exist so that benchmarks can show what each measure is worth.
struct DecodeSettings {
    // 1: decode on the caller's thread; 0: as many threads as FFmpeg finds useful. Frame threads
    // pay off only for decoding every frame: with seeks and skipped frames one thread measured
    // faster (bench/frame_source_bench.sh).
    int decoderThreads = 1;
    bool skipNonReference = true;  // drop frames nothing refers to that lie before the window
    bool seekForward = true;       // jump to a keyframe when that skips decoding
};

}  // namespace autoframe
