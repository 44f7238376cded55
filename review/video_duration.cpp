#include "review/video_duration.h"

#include <cmath>
#include <limits>

#include "platform/ffmpeg_owners.h"

namespace autoframe::review {

double statedDuration(const std::string& path) {
    constexpr double unknown = std::numeric_limits<double>::quiet_NaN();
    AVFormatContext* opened = nullptr;
    if (avformat_open_input(&opened, path.c_str(), nullptr, nullptr) < 0) return unknown;
    const ffmpeg::InputOwner input(opened);
    if (avformat_find_stream_info(input.get(), nullptr) < 0) return unknown;
    const int index = av_find_best_stream(input.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (index >= 0) {
        const AVStream* stream = input->streams[index];
        if (stream->duration != AV_NOPTS_VALUE && stream->duration > 0) {
            return double(stream->duration) * av_q2d(stream->time_base);
        }
    }
    if (input->duration != AV_NOPTS_VALUE && input->duration > 0) {
        return double(input->duration) / AV_TIME_BASE;
    }
    return unknown;
}

}  // namespace autoframe::review
