#include "platform/ffmpeg/errors.h"
#include "core/error_codes.h"

extern "C" {
#include <libavutil/error.h>
}

namespace autoframe::ffmpeg {

std::string errorText(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);  // writes a generic text for unknown codes
    return text;
}

std::unexpected<Error> videoError(VideoCode code, std::string description) {
    return fail(code, std::move(description));
}

std::unexpected<Error> cannotOpen(const std::string& name, const std::string& reason) {
    return videoError(VideoCode::cannotOpen, "cannot open " + quoted(name) + ": " + reason);
}

std::unexpected<Error> cannotDecode(VideoCode code, const std::string& name,
                                    const std::string& reason) {
    return videoError(code, "cannot decode " + quoted(name) + ": " + reason);
}

std::unexpected<Error> tooLarge(const std::string& name, int width, int height) {
    return videoError(VideoCode::unsupported, quoted(name) + " has pictures of " +
                                                  std::to_string(width) + "x" +
                                                  std::to_string(height) + " pixels; at most " +
                                                  std::to_string(largestSide) + "x" +
                                                  std::to_string(largestSide) + " are supported");
}

}  // namespace autoframe::ffmpeg
