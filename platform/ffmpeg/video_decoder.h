#pragma once

// The decoding half of the frame source: the chosen stream of one input decoded on demand, with
// the pictures that may still answer a request held on the stream's own timeline.

#include <functional>
#include <memory>
#include <string>

#include "core/error.h"
#include "core/error_codes.h"
#include "platform/ffmpeg/byte_input.h"
#include "platform/ffmpeg/decode_settings.h"
#include "platform/ffmpeg/owners.h"
#include "platform/ffmpeg/picture.h"
#include "platform/ffmpeg/video_stream.h"
#include "timing/held_frames.h"
#include "timing/seek_policy.h"
#include "timing/stream_clock.h"

namespace autoframe::ffmpeg {

// Opens at the first use, seeks forward when that skips decoding, and keeps the decoded pictures
// that may still answer a request.
class VideoDecoder {
public:
    using OpenReader = std::function<Expected<std::unique_ptr<ByteReader>>()>;
    using Held = HeldFrames<FrameOwner>;

    VideoDecoder(std::string name, OpenReader openReader, const DecodeSettings& settings)
        : name_(std::move(name)), openReader_(std::move(openReader)), settings_(settings) {}

    // Opens the input and its stream and decodes the first picture, which fixes 0 s.
    Expected<void> open();
    // Decodes until the held pictures can answer the request (or the stream has ended).
    Expected<void> decodeFor(const RequestWindow& request);

    const Held& held() const { return held_; }
    // The decoder has given its last picture: nothing follows what is held.
    bool drained() const { return drained_; }
    // How the stream's pictures are turned for display.
    Orientation orientation() const { return displayOrientation(*stream_); }
    // How long the stream lasts as the container states it (else the whole input), in seconds;
    // NaN when it does not say.
    double statedDuration() const;
    // The shape of the picture's pixels, from the picture, the stream or the container.
    AVRational sampleAspect(const AVFrame& picture) const;

private:
    Expected<void> openDecoding();
    bool seekTo(double seconds);
    bool seekFurtherBack(const RequestWindow& request);
    Expected<void> decodeUntil(const RequestWindow& request);
    Expected<void> feedPacket(const RequestWindow& request);
    bool takesPacket(const AVPacket& packet, const RequestWindow& request);
    Expected<void> sendPacket(AVPacket& packet, const RequestWindow& request);
    Expected<void> endInput();
    Expected<void> holdDecodedPicture(const RequestWindow& request);
    void fixOrigin(std::int64_t timestamp);
    std::unexpected<Error> decodeError(int code) const {
        return cannotDecode(VideoCode::cannotDecode, name_, errorText(code));
    }

    std::string name_;
    OpenReader openReader_;
    DecodeSettings settings_;

    // Released in reverse: the decoder before the input it decodes.
    ByteInput input_;
    CodecContextOwner decoder_;
    PacketOwner packet_;
    FrameOwner picture_;

    AVStream* stream_ = nullptr;
    StreamClock clock_;
    bool originFixed_ = false;    // the first picture's presentation time is 0 s
    double frameInterval_ = 0.0;  // from the nominal frame rate, for frames without a duration

    Held held_;
    bool inputEnded_ = false;  // demuxer at its end, decoder told to flush
    bool drained_ = false;     // decoder has given its last picture
    SeekPolicy seek_{clock_};
    NeedlessFrames needless_{clock_};
};

}  // namespace autoframe::ffmpeg
