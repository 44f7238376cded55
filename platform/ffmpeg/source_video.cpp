#include "platform/ffmpeg/source_video.h"

#include <algorithm>
#include <cmath>

#include "core/error_codes.h"
#include "platform/ffmpeg/errors.h"
#include "platform/ffmpeg/video_stream.h"

namespace autoframe::reframe {

using namespace ffmpeg;

Expected<SourceVideo> openSourceVideo(const std::string& path) {
    auto reader = openRegularFile(path);
    if (!reader) return std::unexpected(std::move(reader.error()));
    auto opened = openVideo(std::move(*reader), path);
    if (!opened) return std::unexpected(std::move(opened.error()));
    const Orientation orientation = displayOrientation(*opened->stream);
    return SourceVideo{std::move(*opened), orientation};
}

Size uprightSizeOf(int storedWidth, int storedHeight, AVRational sampleAspect,
                   Orientation orientation) {
    // No shrinking: the largest side that wide pixels can reach.
    return uprightSize(storedWidth, storedHeight, sampleAspect, orientation, 64 * largestSide);
}

namespace {

// Gives the decoder's pictures to the sink until it wants more input or has no more.
Expected<void> receivePictures(AVCodecContext& decoder, AVFrame& frame, const std::string& name,
                               const PictureSink& sink) {
    while (true) {
        const int rc = avcodec_receive_frame(&decoder, &frame);
        if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) return {};
        if (rc == AVERROR_INVALIDDATA) continue;  // a damaged picture is passed over
        if (rc < 0) return cannotDecode(VideoCode::cannotDecode, name, errorText(rc));
        if (frame.width > largestSide || frame.height > largestSide) {
            return tooLarge(name, frame.width, frame.height);
        }
        auto taken = sink(frame);
        av_frame_unref(&frame);
        if (!taken) return taken;
    }
}

}  // namespace

Expected<void> decodeWholeVideo(SourceVideo& video, AVCodecContext& decoder,
                                const std::string& name, const PictureSink& picture,
                                const PacketSink& other) {
    PacketOwner packet(av_packet_alloc());
    FrameOwner frame(av_frame_alloc());
    if (!packet || !frame)
        return cannotDecode(VideoCode::unsupported, name, errorText(AVERROR(ENOMEM)));
    AVFormatContext& format = *video.input.format;
    while (true) {
        auto read = readPacket(format, *packet, name);
        if (!read) return std::unexpected(std::move(read.error()));
        if (!*read) break;
        if (packet->stream_index != video.stream->index) {
            auto taken = other ? other(*packet) : Expected<void>{};
            av_packet_unref(packet.get());
            if (!taken) return taken;
            continue;
        }
        const int rc = avcodec_send_packet(&decoder, packet.get());
        av_packet_unref(packet.get());
        if (rc < 0 && rc != AVERROR_INVALIDDATA)
            return cannotDecode(VideoCode::cannotDecode, name, errorText(rc));
        if (auto received = receivePictures(decoder, *frame, name, picture); !received) {
            return received;
        }
    }
    const int rc = avcodec_send_packet(&decoder, nullptr);
    if (rc < 0 && rc != AVERROR_EOF)
        return cannotDecode(VideoCode::cannotDecode, name, errorText(rc));
    return receivePictures(decoder, *frame, name, picture);
}

PictureTimes::Stamp PictureTimes::next(const AVFrame& picture) {
    const std::int64_t timestamp = presentationTimestamp(picture);
    if (!originFixed_) {
        if (timestamp != AV_NOPTS_VALUE) clock_.origin = timestamp;
        originFixed_ = true;
    }
    const double duration = pictureDuration(picture, clock_, interval_);
    Stamp stamp;
    if (timestamp == AV_NOPTS_VALUE) {
        stamp.seconds = lastEnd_;
        stamp.timestamp = clock_.origin + std::llround(lastEnd_ * clock_.den / clock_.num);
    } else {
        stamp.seconds = clock_.secondsOf(timestamp);
        stamp.timestamp = timestamp;
    }
    stamp.duration = duration;
    lastEnd_ = std::max(lastEnd_, stamp.seconds + duration);
    return stamp;
}

}  // namespace autoframe::reframe
