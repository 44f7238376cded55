#pragma once

// The source video of a reframe: its input opened through the guarded byte reader, the video
// stream the frame source would choose, and the times of its decoded pictures on the frame
// source's clock (0 s at the first picture).

#include <cstdint>
#include <functional>
#include <string>

#include "core/error.h"
#include "platform/ffmpeg/byte_input.h"
#include "platform/ffmpeg/owners.h"
#include "platform/ffmpeg/picture.h"
#include "platform/ffmpeg/video_stream.h"
#include "reframe/crop_geometry.h"
#include "timing/stream_clock.h"

namespace autoframe::reframe {

struct SourceVideo : ffmpeg::OpenedVideo {
    Orientation orientation;
};

// Opens a regular file and chooses its video stream (never a cover picture); every other stream
// is discarded by the demuxer until the caller takes it back.
Expected<SourceVideo> openSourceVideo(const std::string& path);

// The upright size of pictures of the stored size: pixel shape and display turn applied, at full
// resolution.
Size uprightSizeOf(int storedWidth, int storedHeight, AVRational sampleAspect,
                   Orientation orientation);

// Reads the input to its end: each packet of the video stream goes to the decoder and every
// picture it gives to `picture` (in display order), every other packet not discarded to `other`.
// The decoder is flushed at the end. Damaged packets and pictures are passed over, as the frame
// source does.
using PictureSink = std::function<Expected<void>(AVFrame& picture)>;
using PacketSink = std::function<Expected<void>(AVPacket& packet)>;
Expected<void> decodeWholeVideo(SourceVideo& video, AVCodecContext& decoder,
                                const std::string& name, const PictureSink& picture,
                                const PacketSink& other);

// Gives decoded pictures their times the way the frame source does: the first picture's own
// timestamp is 0 s; a picture without one follows right after the one before.
class PictureTimes {
public:
    PictureTimes(StreamClock clock, double frameInterval)
        : clock_(clock), interval_(frameInterval) {}

    struct Stamp {
        std::int64_t timestamp = 0;  // on the stream's time base, the origin not taken off
        double seconds = 0.0;
        double duration = 0.0;
    };
    Stamp next(const AVFrame& picture);

    const StreamClock& clock() const { return clock_; }

private:
    StreamClock clock_;
    double interval_;
    bool originFixed_ = false;
    double lastEnd_ = 0.0;
};

}  // namespace autoframe::reframe
