#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "core/frame_source.h"
#include "platform/ffmpeg/decode_settings.h"

namespace autoframe {

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
