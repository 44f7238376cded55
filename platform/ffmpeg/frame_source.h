#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "core/frame_source.h"

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

// Opening never fails and never reads more than it must: problems show at the first request.
std::unique_ptr<FrameSource> openFrameSource(const std::string& path);

// The frame source on a file, with explicit decode settings (openFrameSource uses the defaults).
std::unique_ptr<FrameSource> openFfmpegFrameSource(const std::string& path,
                                                   const DecodeSettings& settings);

// The frame source on bytes in memory, which must outlive it; `name` stands for the file in
// error descriptions. The video may not open any other file or address (playlists and the like
// fail at the first request).
std::unique_ptr<FrameSource> openFrameSourceOnMemory(std::span<const std::uint8_t> bytes,
                                                     std::string name,
                                                     const DecodeSettings& settings = {});

}  // namespace autoframe
