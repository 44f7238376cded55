#pragma once

// Opening the video of an input: which stream, its clock, its keyframe index, its decoder; and
// reading its packets and the times of its pictures.

#include <cstdint>
#include <memory>
#include <string>

#include "core/error.h"
#include "platform/ffmpeg/byte_input.h"
#include "platform/ffmpeg/owners.h"
#include "platform/ffmpeg/picture.h"
#include "timing/seek_policy.h"
#include "timing/stream_clock.h"

namespace autoframe::ffmpeg {

// Reads the descriptions of the input's streams; probing decodes a few frames of each, under the
// same size limit as decoding.
Expected<void> readStreamInfo(AVFormatContext& input, const std::string& name);

// The video stream to decode: the best one, or if that is a cover picture the largest other video
// stream. Every other stream is discarded by the demuxer.
Expected<AVStream*> chooseVideoStream(AVFormatContext& input, const std::string& name);

// The stream's clock, 0 s at the start the stream or else the container gives (the first frame
// decoded fixes it for good).
Expected<StreamClock> clockOf(const AVFormatContext& input, const AVStream& stream,
                              const std::string& name);

// The time between frames at the nominal frame rate, for frames without a duration; 0 if unknown.
double nominalFrameInterval(const AVStream& stream);

// The opened decoder for the stream, on `threads` threads (0: as many as FFmpeg finds useful).
Expected<CodecContextOwner> openDecoder(const AVStream& stream, int threads,
                                        const std::string& name);

// An input opened with its video stream chosen (readStreamInfo, chooseVideoStream) and the
// stream's clock and nominal frame interval.
struct OpenedVideo {
    ByteInput input;
    AVStream* stream = nullptr;
    StreamClock clock;           // origin from the container until the first picture fixes it
    double frameInterval = 0.0;  // nominal, for pictures without a duration; 0 if unknown
};
Expected<OpenedVideo> openVideo(std::unique_ptr<ByteReader> reader, const std::string& name);

// Reads the input's next packet: false at its end; a failure to read before the end is the error.
Expected<bool> readPacket(AVFormatContext& input, AVPacket& packet, const std::string& name);

// A decoded picture's (or sound frame's) presentation timestamp: the decoder's best guess, else
// its own; AV_NOPTS_VALUE when it has neither.
std::int64_t presentationTimestamp(const AVFrame& frame);

// How long a decoded picture is shown: its packet's duration, else the nominal frame interval.
double pictureDuration(const AVFrame& picture, const StreamClock& clock, double frameInterval);

// How the stream's pictures are turned for display (its display matrix, if any).
Orientation displayOrientation(const AVStream& stream);

// The stream's keyframe index as the demuxer holds it now.
class StreamIndex final : public KeyframeIndex {
public:
    explicit StreamIndex(AVStream& stream) : stream_(stream) {}
    std::optional<std::int64_t> keyframeAtOrBefore(std::int64_t timestamp) const override;
    std::optional<std::int64_t> lastEntry() const override;
    std::optional<std::int64_t> firstEntry() const;

private:
    AVStream& stream_;
};

}  // namespace autoframe::ffmpeg
