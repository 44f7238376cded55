#include "platform/real_services.h"

extern "C" {
#include <libavutil/log.h>
}
#include <opencv2/core/utils/logger.hpp>

#include "platform/onnx_detectors.h"

namespace autoframe {

std::unique_ptr<FrameSource> RealServices::openFrameSource(const std::string& path) {
    return autoframe::openFrameSource(path);
}

std::unique_ptr<Detectors> RealServices::makeDetectors() { return makeOnnxDetectors(); }

void silenceLibraries() {
    av_log_set_level(AV_LOG_QUIET);
    cv::utils::logging::setLogLevel(cv::utils::logging::LOG_LEVEL_SILENT);
}

}  // namespace autoframe
