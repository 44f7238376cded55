#include "platform/ffmpeg/reframe_media.h"

#include "core/error_codes.h"
#include "core/number_text.h"
#include "platform/ffmpeg/frame_times.h"
#include "platform/ffmpeg/reframe_writer.h"

namespace autoframe::reframe {

Expected<SourceFrames> FfmpegReframeMedia::sourceFrames(const std::string& video) {
    auto times = frameTimes(video);
    if (!times) return std::unexpected(std::move(times.error()));
    return SourceFrames{std::move(times->seconds), Size{times->uprightWidth, times->uprightHeight},
                        times->endSeconds};
}

Expected<void> FfmpegReframeMedia::render(const RenderJob& job) {
    RenderRequest request;
    request.input = job.input;
    request.output = job.output;
    request.size = {job.outputSize.width, job.outputSize.height};
    request.expectedFrames = job.windows.size();
    // The windows were planned for the frames frameTimes listed, in the same order.
    request.window = [&job](std::size_t index, double seconds) -> Expected<SourceWindow> {
        if (index >= job.windows.size()) {
            return fail(ReframeCode::badWindow, "the video has a frame at " +
                                                    numberText(seconds, 3) +
                                                    " s past the frames planned for");
        }
        const CropWindow& w = job.windows[index];
        return SourceWindow{double(w.x), double(w.y), double(w.width), double(w.height)};
    };
    if (job.progress) {
        request.progress = [&job](const RenderProgress& progress) {
            job.progress(progress.framesDone);
        };
    }
    auto rendered = renderReframe(request);
    if (!rendered) return std::unexpected(std::move(rendered.error()));
    return {};
}

}  // namespace autoframe::reframe
