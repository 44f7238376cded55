#include "platform/ffmpeg/video_stream.h"

#include <vector>

#include "core/error_codes.h"
#include "core/text.h"
#include "platform/ffmpeg/errors.h"

namespace autoframe::ffmpeg {

static_assert(AV_NOPTS_VALUE == noTimestamp);

Expected<void> readStreamInfo(AVFormatContext& input, const std::string& name) {
    std::vector<AVDictionary*> probeOptions(input.nb_streams, nullptr);
    const std::string pixelLimit = std::to_string(std::int64_t(largestSide) * largestSide);
    for (auto& options : probeOptions) av_dict_set(&options, "max_pixels", pixelLimit.c_str(), 0);
    const int rc =
        avformat_find_stream_info(&input, probeOptions.empty() ? nullptr : probeOptions.data());
    for (auto& options : probeOptions) av_dict_free(&options);
    if (rc < 0) {
        return videoError(VideoCode::cannotReadStreams,
                          "cannot read the streams of " + quoted(name) + ": " + errorText(rc));
    }
    return {};
}

Expected<AVStream*> chooseVideoStream(AVFormatContext& input, const std::string& name) {
    int chosen = av_find_best_stream(&input, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    const auto isPicture = [&](unsigned i) {
        return input.streams[i]->disposition & AV_DISPOSITION_ATTACHED_PIC;
    };
    if (chosen >= 0 && isPicture(unsigned(chosen))) {
        // A cover picture is not the video: take the largest other video stream, if any.
        chosen = -1;
        std::int64_t largest = -1;
        for (unsigned i = 0; i < input.nb_streams; ++i) {
            const AVCodecParameters* p = input.streams[i]->codecpar;
            if (p->codec_type != AVMEDIA_TYPE_VIDEO || isPicture(i)) continue;
            if (std::int64_t(p->width) * p->height > largest) {
                largest = std::int64_t(p->width) * p->height;
                chosen = int(i);
            }
        }
    }
    if (chosen < 0)
        return videoError(VideoCode::noVideoStream, quoted(name) + " has no video stream");
    for (unsigned i = 0; i < input.nb_streams; ++i) {
        input.streams[i]->discard = int(i) == chosen ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
    }
    return input.streams[chosen];
}

Expected<StreamClock> clockOf(const AVFormatContext& input, const AVStream& stream,
                              const std::string& name) {
    const AVRational timeBase = stream.time_base;
    if (timeBase.num <= 0 || timeBase.den <= 0) {
        return videoError(VideoCode::noVideoStream,
                          quoted(name) + " has a video stream without a time base");
    }
    StreamClock clock{timeBase.num, timeBase.den, 0};
    if (stream.start_time != AV_NOPTS_VALUE) {
        clock.origin = stream.start_time;
    } else if (input.start_time != AV_NOPTS_VALUE) {
        clock.origin = av_rescale_q(input.start_time, AV_TIME_BASE_Q, timeBase);
    }
    return clock;
}

Expected<OpenedVideo> openVideo(std::unique_ptr<ByteReader> reader, const std::string& name) {
    auto input = openByteInput(std::move(reader), name);
    if (!input) return std::unexpected(std::move(input.error()));
    OpenedVideo video;
    video.input = std::move(*input);
    AVFormatContext& format = *video.input.format;
    if (auto info = readStreamInfo(format, name); !info)
        return std::unexpected(std::move(info.error()));
    auto stream = chooseVideoStream(format, name);
    if (!stream) return std::unexpected(std::move(stream.error()));
    video.stream = *stream;
    auto clock = clockOf(format, *video.stream, name);
    if (!clock) return std::unexpected(std::move(clock.error()));
    video.clock = *clock;
    video.frameInterval = nominalFrameInterval(*video.stream);
    return video;
}

Expected<bool> readPacket(AVFormatContext& input, AVPacket& packet, const std::string& name) {
    const int rc = av_read_frame(&input, &packet);
    if (rc >= 0) return true;
    if (rc != AVERROR_EOF && !avio_feof(input.pb)) {
        return videoError(VideoCode::cannotDecode,
                          "cannot read " + quoted(name) + ": " + errorText(rc));
    }
    return false;
}

std::int64_t presentationTimestamp(const AVFrame& frame) {
    return frame.best_effort_timestamp != AV_NOPTS_VALUE ? frame.best_effort_timestamp : frame.pts;
}

double pictureDuration(const AVFrame& picture, const StreamClock& clock, double frameInterval) {
    return picture.pkt_duration > 0 ? clock.lengthOf(picture.pkt_duration) : frameInterval;
}

double nominalFrameInterval(const AVStream& stream) {
    const AVRational rate =
        stream.avg_frame_rate.num > 0 ? stream.avg_frame_rate : stream.r_frame_rate;
    return rate.num > 0 && rate.den > 0 ? double(rate.den) / rate.num : 0.0;
}

Expected<CodecContextOwner> openDecoder(const AVStream& stream, int threads,
                                        const std::string& name) {
    const AVCodecParameters* parameters = stream.codecpar;
    if (parameters->width > largestSide || parameters->height > largestSide) {
        return tooLarge(name, parameters->width, parameters->height);
    }
    const AVCodec* codec = avcodec_find_decoder(parameters->codec_id);
    if (!codec) {
        return cannotDecode(
            VideoCode::unsupported, name,
            "no decoder for " + std::string(avcodec_get_name(parameters->codec_id)) + " video");
    }
    CodecContextOwner decoder(avcodec_alloc_context3(codec));
    if (!decoder) return cannotDecode(VideoCode::unsupported, name, errorText(AVERROR(ENOMEM)));
    int rc = avcodec_parameters_to_context(decoder.get(), parameters);
    if (rc >= 0) {
        decoder->pkt_timebase = stream.time_base;
        decoder->thread_count = threads;
        decoder->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
        decoder->max_pixels = std::int64_t(largestSide) * largestSide;
        rc = avcodec_open2(decoder.get(), codec, nullptr);
    }
    if (rc < 0) {
        return videoError(VideoCode::unsupported, "cannot open the " + std::string(codec->name) +
                                                      " decoder for " + quoted(name) + ": " +
                                                      errorText(rc));
    }
    return decoder;
}

Orientation displayOrientation(const AVStream& stream) {
    std::size_t matrixSize = 0;
    const auto* matrix = reinterpret_cast<const std::int32_t*>(
        av_stream_get_side_data(&stream, AV_PKT_DATA_DISPLAYMATRIX, &matrixSize));
    return orientationOf(matrixSize >= 9 * sizeof(std::int32_t) ? matrix : nullptr);
}

std::optional<std::int64_t> StreamIndex::keyframeAtOrBefore(std::int64_t timestamp) const {
    const AVIndexEntry* keyframe =
        avformat_index_get_entry_from_timestamp(&stream_, timestamp, AVSEEK_FLAG_BACKWARD);
    if (!keyframe) return std::nullopt;
    return keyframe->timestamp;
}

std::optional<std::int64_t> StreamIndex::lastEntry() const {
    const int entries = avformat_index_get_entries_count(&stream_);
    if (entries <= 0) return std::nullopt;
    return avformat_index_get_entry(&stream_, entries - 1)->timestamp;
}

std::optional<std::int64_t> StreamIndex::firstEntry() const {
    if (avformat_index_get_entries_count(&stream_) <= 0) return std::nullopt;
    return avformat_index_get_entry(&stream_, 0)->timestamp;
}

}  // namespace autoframe::ffmpeg
