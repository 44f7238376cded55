#include "platform/ffmpeg/video_decoder.h"

#include <limits>

#include "core/error_codes.h"
#include "platform/ffmpeg/errors.h"
#include "platform/ffmpeg/video_stream.h"

namespace autoframe::ffmpeg {

Expected<void> VideoDecoder::open() {
    auto reader = openReader_();
    if (!reader) return std::unexpected(std::move(reader.error()));
    auto video = openVideo(std::move(*reader), name_);
    if (!video) return std::unexpected(std::move(video.error()));
    input_ = std::move(video->input);
    stream_ = video->stream;
    clock_ = video->clock;
    frameInterval_ = video->frameInterval;
    if (auto decoding = openDecoding(); !decoding) return decoding;

    // The first picture fixes 0 s: containers start their clocks in many places (MPEG-TS at
    // 1.4 s), and in some the first picture's time is known only once it is decoded.
    const double never = -std::numeric_limits<double>::infinity();
    if (auto first = decodeUntil(RequestWindow{never, 0.0}); !first) return first;
    if (held_.empty())
        return cannotDecode(VideoCode::unsupported, name_, "its video stream has no pictures");
    return {};
}

// Starts the seeking at the stream's first keyframe and opens its decoder.
Expected<void> VideoDecoder::openDecoding() {
    const auto firstIndexed = StreamIndex(*stream_).firstEntry();
    seek_.start(firstIndexed.value_or(clock_.origin), firstIndexed.has_value());

    auto decoder = openDecoder(*stream_, settings_.decoderThreads, name_);
    if (!decoder) return std::unexpected(std::move(decoder.error()));
    decoder_ = std::move(*decoder);
    packet_.reset(av_packet_alloc());
    picture_.reset(av_frame_alloc());
    if (!packet_ || !picture_)
        return cannotDecode(VideoCode::unsupported, name_, errorText(AVERROR(ENOMEM)));
    return {};
}

double VideoDecoder::statedDuration() const {
    if (stream_->duration != AV_NOPTS_VALUE && stream_->duration > 0) {
        return double(stream_->duration) * av_q2d(stream_->time_base);
    }
    const AVFormatContext& format = *input_.format;
    if (format.duration != AV_NOPTS_VALUE && format.duration > 0) {
        return double(format.duration) / AV_TIME_BASE;
    }
    return std::numeric_limits<double>::quiet_NaN();
}

AVRational VideoDecoder::sampleAspect(const AVFrame& picture) const {
    return av_guess_sample_aspect_ratio(input_.format.get(), stream_,
                                        const_cast<AVFrame*>(&picture));
}

Expected<void> VideoDecoder::decodeFor(const RequestWindow& request) {
    held_.prune(request);
    if (!held_.needsMore(request.seconds)) return {};
    if (settings_.seekForward && !inputEnded_ &&
        seek_.shouldSeek(request.seconds, StreamIndex(*stream_))) {
        seek_.seekingForRequest();
        seekTo(request.seconds);
    }
    return decodeUntil(request);
}

// Moves the demuxer to the keyframe at or before `seconds` and starts decoding afresh there.
bool VideoDecoder::seekTo(double seconds) {
    const bool fromStart = seconds <= 0.0;
    int rc = av_seek_frame(input_.format.get(), stream_->index, clock_.timestampOf(seconds),
                           AVSEEK_FLAG_BACKWARD);
    if (rc < 0 && fromStart) rc = av_seek_frame(input_.format.get(), -1, 0, AVSEEK_FLAG_BYTE);
    if (rc < 0) return false;  // decoding on from where the demuxer stands still finds the frame
    avcodec_flush_buffers(decoder_.get());
    held_.clear();
    inputEnded_ = false;
    drained_ = false;
    seek_.landed(fromStart);
    needless_.forget();
    return true;
}

// After a landing that cannot serve the window: further back, or the start if that fails.
bool VideoDecoder::seekFurtherBack(const RequestWindow& request) {
    return seekTo(seek_.furtherBack(request.earliest())) || seekTo(0.0);
}

Expected<void> VideoDecoder::decodeUntil(const RequestWindow& request) {
    while (held_.needsMore(request.seconds) && !drained_) {
        const int rc = avcodec_receive_frame(decoder_.get(), picture_.get());
        if (rc == 0) {
            if (auto held = holdDecodedPicture(request); !held) return held;
        } else if (rc == AVERROR(EAGAIN) && !inputEnded_) {
            if (auto fed = feedPacket(request); !fed) return fed;
        } else if (rc == AVERROR_EOF || rc == AVERROR(EAGAIN)) {
            drained_ = true;
        } else if (rc != AVERROR_INVALIDDATA) {  // a damaged frame is passed over
            return decodeError(rc);
        }
    }
    return {};
}

// Reads packets until one of the video stream goes to the decoder, or the input ends.
Expected<void> VideoDecoder::feedPacket(const RequestWindow& request) {
    AVPacket* packet = packet_.get();
    while (true) {
        auto read = readPacket(*input_.format, *packet, name_);
        if (!read) return std::unexpected(std::move(read.error()));
        if (!*read) {
            if (seek_.landedAfterTheLastKeyframe() && seekFurtherBack(request)) continue;
            return endInput();
        }
        if (packet->stream_index == stream_->index && takesPacket(*packet, request)) {
            return sendPacket(*packet, request);
        }
        av_packet_unref(packet);
    }
}

bool VideoDecoder::takesPacket(const AVPacket& packet, const RequestWindow& request) {
    const bool keyframe = packet.flags & AV_PKT_FLAG_KEY;
    switch (seek_.read(packet.dts, packet.pts, keyframe, request.seconds)) {
        case SeekPolicy::Verdict::decode: return true;
        case SeekPolicy::Verdict::passOver: return false;
        case SeekPolicy::Verdict::landedTooLate:
            if (seekFurtherBack(request)) return false;
            seek_.takeWhatThereIs();  // cannot go back: take what there is
            return true;
    }
    return true;
}

// Needless frames are left out only when nothing refers to them. Leaving out needless reference
// B-frames as well (B-pyramid) would decode a fifth less at one request a second on the benchmark
// clip, but it changes pictures: there the P-frames stay the same and the B-frames do not, as the
// H.264 decoder fills the gap in frame numbers with a stand-in that enters their reference lists.
Expected<void> VideoDecoder::sendPacket(AVPacket& packet, const RequestWindow& request) {
    const bool needless = settings_.skipNonReference && packet.pts != AV_NOPTS_VALUE &&
                          needless_.canLeaveOut(packet.pts, request.seconds);
    decoder_->skip_frame = needless ? AVDISCARD_NONREF : AVDISCARD_DEFAULT;
    const int rc = avcodec_send_packet(decoder_.get(), &packet);
    av_packet_unref(&packet);
    if (rc < 0 && rc != AVERROR_INVALIDDATA) {  // a damaged packet is passed over
        return decodeError(rc);
    }
    return {};
}

// The demuxer is at its end: the decoder is to give what it holds.
Expected<void> VideoDecoder::endInput() {
    inputEnded_ = true;
    const int rc = avcodec_send_packet(decoder_.get(), nullptr);
    if (rc < 0 && rc != AVERROR_EOF) return decodeError(rc);
    return {};
}

// Keeps the picture just decoded if it may answer the request, with its time.
Expected<void> VideoDecoder::holdDecodedPicture(const RequestWindow& request) {
    AVFrame* picture = picture_.get();
    if (picture->width > largestSide || picture->height > largestSide) {
        auto refused = tooLarge(name_, picture->width, picture->height);
        av_frame_unref(picture);
        return refused;
    }
    const double duration = pictureDuration(*picture, clock_, frameInterval_);
    const std::int64_t timestamp = presentationTimestamp(*picture);
    if (!originFixed_) fixOrigin(timestamp);
    const double at = held_.place(timestamp == AV_NOPTS_VALUE
                                      ? std::nullopt
                                      : std::optional<double>(clock_.secondsOf(timestamp)),
                                  duration);
    if (!held_.wants(at)) {
        av_frame_unref(picture);
        return {};
    }
    FrameOwner taken(av_frame_alloc());
    if (!taken) {
        av_frame_unref(picture);
        return decodeError(AVERROR(ENOMEM));
    }
    av_frame_move_ref(taken.get(), picture);
    held_.add(std::move(taken), at, request);
    return {};
}

// The first picture decoded sets the clock's origin: its time is 0 s (a picture without a time
// leaves the origin where the container puts it).
void VideoDecoder::fixOrigin(std::int64_t timestamp) {
    if (timestamp != AV_NOPTS_VALUE) clock_.origin = timestamp;
    originFixed_ = true;
}

}  // namespace autoframe::ffmpeg
