#include "platform/ffmpeg_frame_source.h"

#include <cmath>
#include <functional>
#include <limits>
#include <optional>

#include "core/number_text.h"
#include "platform/ffmpeg_byte_input.h"
#include "platform/ffmpeg_errors.h"
#include "platform/ffmpeg_owners.h"
#include "platform/ffmpeg_picture.h"
#include "platform/ffmpeg_video_stream.h"
#include "platform/held_frames.h"
#include "platform/seek_policy.h"
#include "platform/stream_clock.h"

namespace autoframe {
namespace {

using namespace ffmpeg;

// Seconds in error descriptions: to the millisecond.
std::string millisecondsText(double seconds) { return numberText(seconds, 3); }

// Decodes the chosen video stream on demand: opens at the first request, seeks forward when that
// skips decoding, and keeps the decoded frames that may still answer a request.
class FfmpegFrameSource final : public FrameSource {
public:
    using OpenReader = std::function<Expected<std::unique_ptr<ByteReader>>()>;

    FfmpegFrameSource(std::string name, OpenReader openReader, const DecodeSettings& settings)
        : name_(std::move(name)), openReader_(std::move(openReader)), settings_(settings) {}

    Expected<TimedFrame> frameAt(double seconds) override;

private:
    using Held = HeldFrames<FrameOwner>::Held;

    Expected<void> open();
    Expected<void> openStream();
    bool seekTo(double seconds);
    bool seekFurtherBack(double earliest);
    Expected<void> decodeUntil(double seconds, double earliest);
    Expected<void> feedPacket(double seconds, double earliest);
    bool takesPacket(const AVPacket& packet, double seconds, double earliest);
    Expected<void> sendPacket(AVPacket& packet, double seconds, double earliest);
    Expected<void> endInput();
    Expected<void> holdDecodedPicture(double seconds, double earliest);
    std::optional<double> shownSeconds(const AVFrame& picture);
    Expected<TimedFrame> convertHeld(const Held& held);
    std::unexpected<Error> noFrameNear(double seconds) const;
    std::unexpected<Error> decodeError(int code) const {
        return cannotDecode(7, name_, errorText(code));
    }

    std::string name_;
    OpenReader openReader_;
    DecodeSettings settings_;
    bool opened_ = false;
    std::optional<Error> openFailure_;  // every request repeats it

    // Released in reverse: the decoder before the input it decodes.
    ByteInput input_;
    CodecContextOwner decoder_;
    PacketOwner packet_;
    FrameOwner picture_;
    std::optional<PictureConverter> converter_;

    AVStream* stream_ = nullptr;
    StreamClock clock_;
    bool originFixed_ = false;  // the first frame's presentation time is 0 s
    double frameInterval_ = 0.0;  // from the nominal frame rate, for frames without a duration

    HeldFrames<FrameOwner> held_;
    bool inputEnded_ = false;  // demuxer at its end, decoder told to flush
    bool drained_ = false;     // decoder has given its last frame
    SeekPolicy seek_{clock_};
    NeedlessFrames needless_{clock_};

    // The held picture that answered the last request (held times are unique until a seek), and
    // its frame once pictures answer more than one request each: requests closer together than
    // the frames then get a copy, which costs far less than converting again.
    struct LastAnswer {
        double seconds = 0.0;
        bool repeated = false;  // it answered more than one request
        std::optional<Frame> frame;
    };
    std::optional<LastAnswer> lastAnswer_;
};

Expected<void> FfmpegFrameSource::open() {
    auto reader = openReader_();
    if (!reader) return std::unexpected(std::move(reader.error()));
    auto input = openByteInput(std::move(*reader), name_);
    if (!input) return std::unexpected(std::move(input.error()));
    input_ = std::move(*input);
    if (auto stream = openStream(); !stream) return stream;

    // The first frame fixes 0 s: containers start their clocks in many places (MPEG-TS at 1.4 s),
    // and in some the first frame's time is known only once it is decoded.
    const double never = -std::numeric_limits<double>::infinity();
    if (auto first = decodeUntil(never, never); !first) return first;
    if (held_.empty()) return cannotDecode(5, name_, "its video stream has no pictures");
    return {};
}

// Chooses the stream, sets its clock and opens its decoder.
Expected<void> FfmpegFrameSource::openStream() {
    AVFormatContext& format = *input_.format;
    if (auto info = readStreamInfo(format, name_); !info) return info;
    auto stream = chooseVideoStream(format, name_);
    if (!stream) return std::unexpected(std::move(stream.error()));
    stream_ = *stream;
    auto clock = clockOf(format, *stream_, name_);
    if (!clock) return std::unexpected(std::move(clock.error()));
    clock_ = *clock;
    frameInterval_ = nominalFrameInterval(*stream_);
    const auto firstIndexed = StreamIndex(*stream_).firstEntry();
    seek_.start(firstIndexed.value_or(clock_.origin), firstIndexed.has_value());

    auto decoder = openDecoder(*stream_, settings_.decoderThreads, name_);
    if (!decoder) return std::unexpected(std::move(decoder.error()));
    decoder_ = std::move(*decoder);
    packet_.reset(av_packet_alloc());
    picture_.reset(av_frame_alloc());
    if (!packet_ || !picture_) return cannotDecode(5, name_, errorText(AVERROR(ENOMEM)));
    converter_.emplace(name_, displayOrientation(*stream_), maximumSide);
    return {};
}

Expected<TimedFrame> FfmpegFrameSource::frameAt(double seconds) {
    if (!opened_) {
        opened_ = true;
        if (auto opening = open(); !opening) openFailure_ = std::move(opening.error());
    }
    if (openFailure_) return std::unexpected(*openFailure_);
    if (!std::isfinite(seconds)) return noFrameNear(seconds);

    const double earliest = seconds - toleranceSeconds;
    held_.prune(seconds, earliest);
    if (held_.needsMore(seconds)) {
        if (settings_.seekForward && !inputEnded_ && seek_.shouldSeek(seconds, StreamIndex(*stream_))) {
            seek_.seekingForRequest();
            seekTo(seconds);
        }
        if (auto decoded = decodeUntil(seconds, earliest); !decoded) {
            return std::unexpected(std::move(decoded.error()));
        }
    }
    const Held* nearest = held_.nearest(seconds, toleranceSeconds);
    if (!nearest) return noFrameNear(seconds);
    return convertHeld(*nearest);
}

// Moves the demuxer to the keyframe at or before `seconds` and starts decoding afresh there.
bool FfmpegFrameSource::seekTo(double seconds) {
    const bool fromStart = seconds <= 0.0;
    int rc = av_seek_frame(input_.format.get(), stream_->index, clock_.timestampOf(seconds),
                           AVSEEK_FLAG_BACKWARD);
    if (rc < 0 && fromStart) rc = av_seek_frame(input_.format.get(), -1, 0, AVSEEK_FLAG_BYTE);
    if (rc < 0) return false;  // decoding on from where the demuxer stands still finds the frame
    avcodec_flush_buffers(decoder_.get());
    held_.clear();
    lastAnswer_.reset();
    inputEnded_ = false;
    drained_ = false;
    seek_.landed(fromStart);
    needless_.forget();
    return true;
}

// After a landing that cannot serve the window: further back, or the start if that fails.
bool FfmpegFrameSource::seekFurtherBack(double earliest) {
    return seekTo(seek_.furtherBack(earliest)) || seekTo(0.0);
}

Expected<void> FfmpegFrameSource::decodeUntil(double seconds, double earliest) {
    while (held_.needsMore(seconds) && !drained_) {
        const int rc = avcodec_receive_frame(decoder_.get(), picture_.get());
        if (rc == 0) {
            if (auto held = holdDecodedPicture(seconds, earliest); !held) return held;
        } else if (rc == AVERROR(EAGAIN) && !inputEnded_) {
            if (auto fed = feedPacket(seconds, earliest); !fed) return fed;
        } else if (rc == AVERROR_EOF || rc == AVERROR(EAGAIN)) {
            drained_ = true;
        } else if (rc != AVERROR_INVALIDDATA) {  // a damaged frame is passed over
            return decodeError(rc);
        }
    }
    return {};
}

// Reads packets until one of the video stream goes to the decoder, or the input ends.
Expected<void> FfmpegFrameSource::feedPacket(double seconds, double earliest) {
    AVPacket* packet = packet_.get();
    while (true) {
        const int rc = av_read_frame(input_.format.get(), packet);
        if (rc < 0) {
            if (rc != AVERROR_EOF && !avio_feof(input_.format->pb)) {
                return videoError(7, "cannot read " + quoted(name_) + ": " + errorText(rc));
            }
            if (seek_.landedAfterTheLastKeyframe() && seekFurtherBack(earliest)) continue;
            return endInput();
        }
        if (packet->stream_index == stream_->index && takesPacket(*packet, seconds, earliest)) {
            return sendPacket(*packet, seconds, earliest);
        }
        av_packet_unref(packet);
    }
}

bool FfmpegFrameSource::takesPacket(const AVPacket& packet, double seconds, double earliest) {
    const bool keyframe = packet.flags & AV_PKT_FLAG_KEY;
    switch (seek_.read(packet.dts, packet.pts, keyframe, seconds)) {
        case SeekPolicy::Verdict::decode: return true;
        case SeekPolicy::Verdict::passOver: return false;
        case SeekPolicy::Verdict::landedTooLate:
            if (seekFurtherBack(earliest)) return false;
            seek_.takeWhatThereIs();  // cannot go back: take what there is
            return true;
    }
    return true;
}

// Needless frames are left out only when nothing refers to them. Leaving out needless reference
// B-frames as well (B-pyramid) would decode a fifth less at one request a second on the benchmark
// clip, but it changes pictures: there the P-frames stay the same and the B-frames do not, as the
// H.264 decoder fills the gap in frame numbers with a stand-in that enters their reference lists.
Expected<void> FfmpegFrameSource::sendPacket(AVPacket& packet, double seconds, double earliest) {
    const bool needless = settings_.skipNonReference && packet.pts != AV_NOPTS_VALUE &&
                          needless_.canLeaveOut(packet.pts, seconds, earliest);
    decoder_->skip_frame = needless ? AVDISCARD_NONREF : AVDISCARD_DEFAULT;
    const int rc = avcodec_send_packet(decoder_.get(), &packet);
    av_packet_unref(&packet);
    if (rc < 0 && rc != AVERROR_INVALIDDATA) {  // a damaged packet is passed over
        return decodeError(rc);
    }
    return {};
}

// The demuxer is at its end: the decoder is to give what it holds.
Expected<void> FfmpegFrameSource::endInput() {
    inputEnded_ = true;
    const int rc = avcodec_send_packet(decoder_.get(), nullptr);
    if (rc < 0 && rc != AVERROR_EOF) return decodeError(rc);
    return {};
}

// Keeps the picture just decoded if it may answer the request, with its time.
Expected<void> FfmpegFrameSource::holdDecodedPicture(double seconds, double earliest) {
    AVFrame* picture = picture_.get();
    if (picture->width > largestSide || picture->height > largestSide) {
        auto refused = tooLarge(name_, picture->width, picture->height);
        av_frame_unref(picture);
        return refused;
    }
    const double duration =
        picture->pkt_duration > 0 ? clock_.lengthOf(picture->pkt_duration) : frameInterval_;
    const double at = held_.place(shownSeconds(*picture), duration);
    if (!held_.wants(at, earliest)) {
        av_frame_unref(picture);
        return {};
    }
    FrameOwner taken(av_frame_alloc());
    if (!taken) {
        av_frame_unref(picture);
        return decodeError(AVERROR(ENOMEM));
    }
    av_frame_move_ref(taken.get(), picture);
    held_.add(std::move(taken), at, seconds);
    return {};
}

// The picture's own presentation time, if it has one; the first picture decoded fixes 0 s.
std::optional<double> FfmpegFrameSource::shownSeconds(const AVFrame& picture) {
    std::int64_t timestamp = picture.best_effort_timestamp;
    if (timestamp == AV_NOPTS_VALUE) timestamp = picture.pts;
    if (!originFixed_ && timestamp != AV_NOPTS_VALUE) clock_.origin = timestamp;
    originFixed_ = true;
    if (timestamp == AV_NOPTS_VALUE) return std::nullopt;
    return clock_.secondsOf(timestamp);
}

// The held picture as an upright frame, with its time.
Expected<TimedFrame> FfmpegFrameSource::convertHeld(const Held& held) {
    const bool again = lastAnswer_ && lastAnswer_->seconds == held.seconds;
    if (again && lastAnswer_->frame) {
        lastAnswer_->repeated = true;
        return TimedFrame{*lastAnswer_->frame, held.seconds};
    }
    // Pictures answer more than one request each: keep this one's frame for the next requests.
    const bool keep = again || (lastAnswer_ && lastAnswer_->repeated);

    const AVRational sampleAspect =
        av_guess_sample_aspect_ratio(input_.format.get(), stream_, held.picture.get());
    auto frame = converter_->convert(*held.picture, sampleAspect);
    if (!frame) return std::unexpected(std::move(frame.error()));
    lastAnswer_ = LastAnswer{held.seconds, again, keep ? std::optional<Frame>(*frame) : std::nullopt};
    return TimedFrame{std::move(*frame), held.seconds};
}

std::unexpected<Error> FfmpegFrameSource::noFrameNear(double seconds) const {
    std::string text = "no frame within " + millisecondsText(toleranceSeconds) + " s of " +
                       millisecondsText(seconds) + " s in " + quoted(name_);
    if (!held_.empty() && held_.latest().seconds > seconds) {
        text += "; the next frame is at " + millisecondsText(held_.latest().seconds) + " s";
    } else if (drained_ && held_.end()) {
        text += "; the video ends at " + millisecondsText(*held_.end()) + " s";
    } else if (drained_) {
        text += "; the video has no frames";
    }
    return videoError(8, std::move(text));
}

}  // namespace

std::unique_ptr<FrameSource> openFfmpegFrameSource(const std::string& path,
                                                   const DecodeSettings& settings) {
    return std::make_unique<FfmpegFrameSource>(
        path, [path] { return openRegularFile(path); }, settings);
}

std::unique_ptr<FrameSource> openFrameSource(const std::string& path) {
    return openFfmpegFrameSource(path, DecodeSettings{});
}

std::unique_ptr<FrameSource> openFrameSourceOnMemory(std::span<const std::uint8_t> bytes,
                                                     std::string name,
                                                     const DecodeSettings& settings) {
    return std::make_unique<FfmpegFrameSource>(
        std::move(name),
        [bytes]() -> Expected<std::unique_ptr<ByteReader>> { return readerOnMemory(bytes); },
        settings);
}

}  // namespace autoframe
