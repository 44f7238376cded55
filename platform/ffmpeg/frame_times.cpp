#include "platform/ffmpeg/frame_times.h"

#include <algorithm>
#include <optional>
#include <string_view>

#include "core/error_codes.h"
#include "platform/ffmpeg/errors.h"
#include "platform/ffmpeg/source_video.h"
#include "platform/ffmpeg/video_stream.h"

namespace autoframe::reframe {
namespace {

using namespace ffmpeg;

// Containers that store one whole picture per packet with its presentation time, and codecs whose
// decoders give a picture for each packet from the first on (a stream starts at a picture that
// decodes on its own; pictures before the start of an edit list are flagged for discarding).
bool packetsArePictures(const AVFormatContext& format, const AVStream& stream) {
    const std::string_view container = format.iformat->name;
    if (!container.starts_with("mov,") && container != "matroska,webm") return false;
    switch (stream.codecpar->codec_id) {
        case AV_CODEC_ID_H264:
        case AV_CODEC_ID_HEVC:
        case AV_CODEC_ID_AV1:
        case AV_CODEC_ID_VP9:
        case AV_CODEC_ID_MJPEG:
        case AV_CODEC_ID_PRORES:
        case AV_CODEC_ID_FFV1:
        case AV_CODEC_ID_DNXHD:
        case AV_CODEC_ID_PNG: return true;
        default: return false;
    }
}

void setUprightSize(FrameTimes& frames, const SourceVideo& video, int width, int height,
                    AVRational sampleAspect) {
    const Size upright = uprightSizeOf(width, height, sampleAspect, video.orientation);
    frames.uprightWidth = upright.width;
    frames.uprightHeight = upright.height;
}

// The times from the packets, or nothing when a packet has no time or two share one (then only
// decoding tells what is shown).
Expected<std::optional<FrameTimes>> timesFromPackets(SourceVideo& video, const std::string& name) {
    AVFormatContext& format = *video.input.format;
    const AVCodecParameters& parameters = *video.stream->codecpar;
    if (parameters.width > largestSide || parameters.height > largestSide) {
        return tooLarge(name, parameters.width, parameters.height);
    }
    PacketOwner packet(av_packet_alloc());
    if (!packet) return cannotDecode(VideoCode::unsupported, name, errorText(AVERROR(ENOMEM)));
    struct Shown {
        std::int64_t timestamp;
        std::int64_t duration;
    };
    std::vector<Shown> shown;
    while (true) {
        auto read = readPacket(format, *packet, name);
        if (!read) return std::unexpected(std::move(read.error()));
        if (!*read) break;
        const AVPacket& p = *packet;
        const bool ours = p.stream_index == video.stream->index && !(p.flags & AV_PKT_FLAG_DISCARD);
        const bool timed = p.pts != AV_NOPTS_VALUE;
        if (ours && timed) shown.push_back({p.pts, p.duration});
        av_packet_unref(packet.get());
        if (ours && !timed) return std::nullopt;
    }
    if (shown.empty())
        return cannotDecode(VideoCode::unsupported, name, "its video stream has no pictures");
    std::sort(shown.begin(), shown.end(),
              [](const Shown& x, const Shown& y) { return x.timestamp < y.timestamp; });
    const auto repeated = std::adjacent_find(
        shown.begin(), shown.end(),
        [](const Shown& x, const Shown& y) { return x.timestamp == y.timestamp; });
    if (repeated != shown.end()) return std::nullopt;

    FrameTimes frames;
    frames.fromPackets = true;
    StreamClock clock = video.clock;
    clock.origin = shown.front().timestamp;
    for (const Shown& s : shown) frames.seconds.push_back(clock.secondsOf(s.timestamp));
    const Shown& last = shown.back();
    frames.endSeconds = frames.seconds.back() +
                        (last.duration > 0 ? clock.lengthOf(last.duration) : video.frameInterval);
    setUprightSize(frames, video, parameters.width, parameters.height,
                   av_guess_sample_aspect_ratio(&format, video.stream, nullptr));
    return frames;
}

Expected<FrameTimes> timesByDecoding(SourceVideo& video, const std::string& name) {
    auto decoder = openDecoder(*video.stream, 0, name);
    if (!decoder) return std::unexpected(std::move(decoder.error()));
    FrameTimes frames;
    PictureTimes times(video.clock, video.frameInterval);
    const auto take = [&](AVFrame& picture) -> Expected<void> {
        const auto stamp = times.next(picture);
        if (frames.seconds.empty()) {
            setUprightSize(
                frames, video, picture.width, picture.height,
                av_guess_sample_aspect_ratio(video.input.format.get(), video.stream, &picture));
        }
        frames.seconds.push_back(stamp.seconds);
        frames.endSeconds = std::max(frames.endSeconds, stamp.seconds + stamp.duration);
        return {};
    };
    if (auto decoded = decodeWholeVideo(video, **decoder, name, take, nullptr); !decoded) {
        return std::unexpected(std::move(decoded.error()));
    }
    if (frames.seconds.empty())
        return cannotDecode(VideoCode::unsupported, name, "its video stream has no pictures");
    return frames;
}

}  // namespace

Expected<FrameTimes> frameTimes(const std::string& path, TimeReading reading) {
    auto video = openSourceVideo(path);
    if (!video) return std::unexpected(std::move(video.error()));
    if (reading == TimeReading::packetsWhereExact &&
        packetsArePictures(*video->input.format, *video->stream)) {
        auto fromPackets = timesFromPackets(*video, path);
        if (!fromPackets) return std::unexpected(std::move(fromPackets.error()));
        if (*fromPackets) return std::move(**fromPackets);
        // Decoding starts afresh from the start of the file.
        video = openSourceVideo(path);
        if (!video) return std::unexpected(std::move(video.error()));
    }
    return timesByDecoding(*video, path);
}

}  // namespace autoframe::reframe
