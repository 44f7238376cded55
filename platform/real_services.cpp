#include "platform/real_services.h"

extern "C" {
#include <libavutil/log.h>
}
#include <opencv2/core/utils/logger.hpp>

#include "platform/ffmpeg/frame_source.h"
#include "platform/onnx/detectors.h"
#include "platform/opencv/gray.h"

namespace autoframe {

std::unique_ptr<FrameSource> RealServices::openFrameSource(const std::string& path) {
    return autoframe::openFrameSource(path);
}

std::unique_ptr<Detectors> RealServices::makeDetectors() { return makeOnnxDetectors(); }

std::unique_ptr<GrayRenderer> RealServices::makeGrayRenderer() {
    return std::make_unique<OpenCvGrayRenderer>();
}

void silenceLibraries() {
    av_log_set_level(AV_LOG_QUIET);
    cv::utils::logging::setLogLevel(cv::utils::logging::LOG_LEVEL_SILENT);
}

}  // namespace autoframe
