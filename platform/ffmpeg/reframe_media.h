#pragma once

#include "reframe/media.h"

namespace autoframe::reframe {

// Frame times and rendering with FFmpeg's libraries (platform/ffmpeg/frame_times.h,
// platform/ffmpeg/reframe_writer.h).
class FfmpegReframeMedia final : public ReframeMedia {
public:
    Expected<SourceFrames> sourceFrames(const std::string& video) override;
    Expected<void> render(const RenderJob& job) override;
};

}  // namespace autoframe::reframe
