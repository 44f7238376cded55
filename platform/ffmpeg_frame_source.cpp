#include "platform/ffmpeg_frame_source.h"

extern "C" {
#include <libavutil/display.h>
#include <libavutil/error.h>
}

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <deque>
#include <functional>
#include <limits>
#include <optional>

#include "platform/ffmpeg_owners.h"
#include "platform/ffmpeg_picture.h"

namespace autoframe {

namespace ffmpeg {

std::string errorText(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);  // writes a generic text for unknown codes
    return text;
}

}  // namespace ffmpeg

namespace {

using namespace ffmpeg;

// Larger pictures are refused rather than allocated.
constexpr int largestSide = 16384;

std::unexpected<Error> videoError(int code, std::string description) {
    return fail(videoErrorDomain, code, std::move(description));
}

std::string quoted(const std::string& name) { return "'" + name + "'"; }

std::unexpected<Error> cannotOpen(const std::string& name, const std::string& reason) {
    return videoError(2, "cannot open " + quoted(name) + ": " + reason);
}

std::unexpected<Error> tooLarge(const std::string& name, int width, int height) {
    return videoError(5, quoted(name) + " has pictures of " + std::to_string(width) + "x" +
                             std::to_string(height) + " pixels; at most " +
                             std::to_string(largestSide) + "x" + std::to_string(largestSide) +
                             " are supported");
}

std::string seconds3(double value) {
    char buffer[64];
    const auto [end, ec] =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 3);
    return ec == std::errc() ? std::string(buffer, end) : std::string("?");
}

// Where the demuxer's bytes come from: a file or a buffer in memory.
class ByteReader {
public:
    virtual ~ByteReader() = default;
    // Bytes read (at least 1), AVERROR_EOF at the end, or another FFmpeg error code.
    virtual int read(std::uint8_t* buffer, int size) = 0;
    // As lseek, plus AVSEEK_SIZE (the total size); an FFmpeg error code on failure.
    virtual std::int64_t seek(std::int64_t offset, int whence) = 0;
};

class FileReader final : public ByteReader {
public:
    explicit FileReader(int descriptor) : descriptor_(descriptor) {}
    ~FileReader() override { ::close(descriptor_); }
    FileReader(const FileReader&) = delete;
    FileReader& operator=(const FileReader&) = delete;

    int read(std::uint8_t* buffer, int size) override {
        while (true) {
            const ssize_t n = ::read(descriptor_, buffer, std::size_t(size));
            if (n > 0) return int(n);
            if (n == 0) return AVERROR_EOF;
            if (errno != EINTR) return AVERROR(errno);
        }
    }

    std::int64_t seek(std::int64_t offset, int whence) override {
        if (whence & AVSEEK_SIZE) {
            struct stat status {};
            return ::fstat(descriptor_, &status) == 0 ? std::int64_t(status.st_size) : AVERROR(errno);
        }
        const off_t at = ::lseek(descriptor_, off_t(offset), whence & ~AVSEEK_FORCE);
        return at < 0 ? AVERROR(errno) : std::int64_t(at);
    }

private:
    int descriptor_;
};

class MemoryReader final : public ByteReader {
public:
    explicit MemoryReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    int read(std::uint8_t* buffer, int size) override {
        if (position_ >= bytes_.size()) return AVERROR_EOF;
        const std::size_t n = std::min(bytes_.size() - position_, std::size_t(size));
        std::copy_n(bytes_.data() + position_, n, buffer);
        position_ += n;
        return int(n);
    }

    std::int64_t seek(std::int64_t offset, int whence) override {
        const auto size = std::int64_t(bytes_.size());
        if (whence & AVSEEK_SIZE) return size;
        std::int64_t base = 0;
        switch (whence & ~AVSEEK_FORCE) {
            case SEEK_SET: base = 0; break;
            case SEEK_CUR: base = std::int64_t(position_); break;
            case SEEK_END: base = size; break;
            default: return AVERROR(EINVAL);
        }
        if (offset < -base || offset > size - base) return AVERROR(EINVAL);
        position_ = std::size_t(base + offset);
        return std::int64_t(position_);
    }

private:
    std::span<const std::uint8_t> bytes_;
    std::size_t position_ = 0;
};

int readBytes(void* reader, std::uint8_t* buffer, int size) {
    return static_cast<ByteReader*>(reader)->read(buffer, size);
}

std::int64_t seekBytes(void* reader, std::int64_t offset, int whence) {
    return static_cast<ByteReader*>(reader)->seek(offset, whence);
}

// The video reads only its own bytes: playlists, references to other files and the like fail.
int refuseOtherInputs(AVFormatContext*, AVIOContext**, const char*, int, AVDictionary**) {
    return AVERROR(EPERM);
}

// Opens the file for reading, refusing anything but a regular file without blocking (a FIFO
// with no writer would otherwise hang the open).
Expected<std::unique_ptr<ByteReader>> openRegularFile(const std::string& path) {
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0) {
        return cannotOpen(path, errorText(AVERROR(errno)));
    }
    auto reader = std::make_unique<FileReader>(descriptor);
    struct stat status {};
    if (::fstat(descriptor, &status) != 0) {
        return cannotOpen(path, errorText(AVERROR(errno)));
    }
    if (S_ISDIR(status.st_mode)) {
        return cannotOpen(path, errorText(AVERROR(EISDIR)));
    }
    if (!S_ISREG(status.st_mode)) {
        return cannotOpen(path, "not a regular file");
    }
    const int flags = ::fcntl(descriptor, F_GETFL);
    if (flags >= 0) ::fcntl(descriptor, F_SETFL, flags & ~O_NONBLOCK);
    return reader;
}

class FfmpegFrameSource final : public FrameSource {
public:
    using OpenReader = std::function<Expected<std::unique_ptr<ByteReader>>()>;

    FfmpegFrameSource(std::string name, OpenReader openReader, const DecodeSettings& settings)
        : name_(std::move(name)), openReader_(std::move(openReader)), settings_(settings) {}

    Expected<TimedFrame> frameAt(double seconds) override;

private:
    struct Held {
        FrameOwner picture;
        double seconds = 0.0;
    };

    Expected<void> open();
    Expected<void> openDecoder();
    bool shouldSeek(double seconds) const;
    bool seekTo(double seconds);
    bool seekFurtherBack(double earliest);
    Expected<void> decodeUntil(double seconds, double earliest);
    Expected<void> feedPacket(double seconds, double earliest);
    bool landsTooLate(const AVPacket& packet, double seconds, double earliest);
    Expected<void> accept(double seconds, double earliest);
    Expected<TimedFrame> deliver(const Held& held);
    std::unexpected<Error> noFrameNear(double seconds) const;
    std::unexpected<Error> decodeError(int code) const {
        return videoError(7, "cannot decode " + quoted(name_) + ": " + errorText(code));
    }

    double secondsOf(std::int64_t timestamp) const {
        return double(timestamp - origin_) * timeBase_.num / timeBase_.den;
    }
    std::int64_t timestampOf(double seconds) const {
        const double units = std::floor(seconds * timeBase_.den / timeBase_.num);
        return origin_ + std::int64_t(std::clamp(units, -4e18, 4e18));
    }

    std::string name_;
    OpenReader openReader_;
    DecodeSettings settings_;
    bool opened_ = false;
    std::optional<Error> openFailure_;  // every request repeats it

    // Made in this order and released in reverse: the decoder, then the input, then the byte
    // reader the input reads through (a caller-supplied reader outlives the input).
    std::unique_ptr<ByteReader> reader_;
    IoContextOwner io_;
    InputOwner input_;
    CodecContextOwner decoder_;
    PacketOwner packet_;
    FrameOwner picture_;
    std::optional<PictureConverter> converter_;

    AVStream* stream_ = nullptr;
    AVRational timeBase_{1, 1};
    std::int64_t origin_ = 0;  // the first frame's presentation time: 0 s
    bool originFixed_ = false;
    bool indexFromContainer_ = false;  // the container lists its keyframes (not learnt by reading)
    double frameInterval_ = 0.0;  // from the nominal frame rate, for frames without a duration

    // Decoded frames that may still be answers, in time order: at most the last one before the
    // latest request, then the first at or after it.
    std::deque<Held> held_;
    bool inputEnded_ = false;  // demuxer at its end, decoder told to flush
    bool drained_ = false;     // decoder has given its last frame
    std::int64_t position_ = AV_NOPTS_VALUE;      // timestamp of the last packet read
    std::int64_t lastKeyframe_ = AV_NOPTS_VALUE;  // timestamp of the last keyframe read
    std::int64_t keyframeInterval_ = 0;           // longest seen between two keyframes
    // Presentation times of the packets read last (decode order runs ahead of display order by
    // less than this many frames).
    std::array<std::int64_t, 16> recentShows_{};
    std::size_t recentCount_ = 0;
    // After a seek, packets are passed over up to the first keyframe, which must not show after
    // the request (else frames before it could be nearer): otherwise the seek goes back further.
    bool landing_ = false;
    bool landingAtStart_ = false;  // from the very start: any keyframe will do
    double backoff_ = 0.0;          // seconds before the window the last seek aimed at
    std::optional<double> lastEnd_;   // end of the last decoded frame
};

Expected<void> FfmpegFrameSource::open() {
    auto reader = openReader_();
    if (!reader) return std::unexpected(std::move(reader.error()));
    reader_ = std::move(*reader);

    constexpr int bufferSize = 1 << 16;
    auto* buffer = static_cast<std::uint8_t*>(av_malloc(bufferSize));
    if (!buffer) return cannotOpen(name_, errorText(AVERROR(ENOMEM)));
    io_.reset(avio_alloc_context(buffer, bufferSize, 0, reader_.get(), &readBytes, nullptr, &seekBytes));
    if (!io_) {
        av_free(buffer);
        return cannotOpen(name_, errorText(AVERROR(ENOMEM)));
    }

    AVFormatContext* input = avformat_alloc_context();
    if (!input) return cannotOpen(name_, errorText(AVERROR(ENOMEM)));
    input->pb = io_.get();
    input->io_open = &refuseOtherInputs;
    // On failure the input is freed by FFmpeg itself.
    int rc = avformat_open_input(&input, name_.c_str(), nullptr, nullptr);
    if (rc < 0) return cannotOpen(name_, errorText(rc));
    input_.reset(input);

    // Probing decodes a few frames of each stream: the same size limit applies there.
    std::vector<AVDictionary*> probeOptions(input_->nb_streams, nullptr);
    const std::string pixelLimit = std::to_string(std::int64_t(largestSide) * largestSide);
    for (auto& options : probeOptions) av_dict_set(&options, "max_pixels", pixelLimit.c_str(), 0);
    rc = avformat_find_stream_info(input_.get(), probeOptions.empty() ? nullptr : probeOptions.data());
    for (auto& options : probeOptions) av_dict_free(&options);
    if (rc < 0) {
        return videoError(3, "cannot read the streams of " + quoted(name_) + ": " + errorText(rc));
    }

    int chosen = av_find_best_stream(input_.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    const auto isPicture = [&](unsigned i) {
        return input_->streams[i]->disposition & AV_DISPOSITION_ATTACHED_PIC;
    };
    if (chosen >= 0 && isPicture(unsigned(chosen))) {
        // A cover picture is not the video: take the largest other video stream, if any.
        chosen = -1;
        std::int64_t largest = -1;
        for (unsigned i = 0; i < input_->nb_streams; ++i) {
            const AVCodecParameters* p = input_->streams[i]->codecpar;
            if (p->codec_type != AVMEDIA_TYPE_VIDEO || isPicture(i)) continue;
            if (std::int64_t(p->width) * p->height > largest) {
                largest = std::int64_t(p->width) * p->height;
                chosen = int(i);
            }
        }
    }
    if (chosen < 0) return videoError(4, quoted(name_) + " has no video stream");
    stream_ = input_->streams[chosen];
    for (unsigned i = 0; i < input_->nb_streams; ++i) {
        input_->streams[i]->discard = int(i) == chosen ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
    }
    timeBase_ = stream_->time_base;
    if (timeBase_.num <= 0 || timeBase_.den <= 0) {
        return videoError(4, quoted(name_) + " has a video stream without a time base");
    }
    if (stream_->start_time != AV_NOPTS_VALUE) {
        origin_ = stream_->start_time;
    } else if (input_->start_time != AV_NOPTS_VALUE) {
        origin_ = av_rescale_q(input_->start_time, AV_TIME_BASE_Q, timeBase_);
    }
    const AVRational rate = stream_->avg_frame_rate.num > 0 ? stream_->avg_frame_rate : stream_->r_frame_rate;
    if (rate.num > 0 && rate.den > 0) frameInterval_ = double(rate.den) / rate.num;
    recentShows_.fill(AV_NOPTS_VALUE);
    indexFromContainer_ = avformat_index_get_entries_count(stream_) > 0;
    position_ = indexFromContainer_ ? avformat_index_get_entry(stream_, 0)->timestamp : origin_;

    if (auto decoder = openDecoder(); !decoder) return decoder;

    std::size_t matrixSize = 0;
    const auto* matrix = reinterpret_cast<const std::int32_t*>(
        av_stream_get_side_data(stream_, AV_PKT_DATA_DISPLAYMATRIX, &matrixSize));
    converter_.emplace(name_, orientationOf(matrixSize >= 9 * sizeof(std::int32_t) ? matrix : nullptr),
                       maximumSide);

    // The first frame fixes 0 s: containers start their clocks in many places (MPEG-TS at 1.4 s),
    // and in some the first frame's time is known only once it is decoded.
    const double never = -std::numeric_limits<double>::infinity();
    if (auto first = decodeUntil(never, never); !first) return first;
    if (held_.empty()) {
        return videoError(5, "cannot decode " + quoted(name_) + ": its video stream has no pictures");
    }
    return {};
}

Expected<void> FfmpegFrameSource::openDecoder() {
    const AVCodecParameters* parameters = stream_->codecpar;
    if (parameters->width > largestSide || parameters->height > largestSide) {
        return tooLarge(name_, parameters->width, parameters->height);
    }
    const AVCodec* codec = avcodec_find_decoder(parameters->codec_id);
    if (!codec) {
        return videoError(5, "cannot decode " + quoted(name_) + ": no decoder for " +
                                 avcodec_get_name(parameters->codec_id) + " video");
    }
    decoder_.reset(avcodec_alloc_context3(codec));
    packet_.reset(av_packet_alloc());
    picture_.reset(av_frame_alloc());
    if (!decoder_ || !packet_ || !picture_) {
        return videoError(5, "cannot decode " + quoted(name_) + ": " + errorText(AVERROR(ENOMEM)));
    }
    int rc = avcodec_parameters_to_context(decoder_.get(), parameters);
    if (rc >= 0) {
        decoder_->pkt_timebase = stream_->time_base;
        decoder_->thread_count = settings_.decoderThreads;
        decoder_->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
        decoder_->max_pixels = std::int64_t(largestSide) * largestSide;
        rc = avcodec_open2(decoder_.get(), codec, nullptr);
    }
    if (rc < 0) {
        return videoError(5, "cannot open the " + std::string(codec->name) + " decoder for " +
                                 quoted(name_) + ": " + errorText(rc));
    }
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
    // Frames before the window are of no more use; of those up to the request, only the last.
    while (!held_.empty() && held_.front().seconds < earliest) held_.pop_front();
    while (held_.size() >= 2 && held_[1].seconds <= seconds) held_.pop_front();

    if (held_.empty() || held_.back().seconds < seconds) {
        if (settings_.seekForward && shouldSeek(seconds)) {
            backoff_ = 0.0;
            seekTo(seconds);
        }
        if (auto decoded = decodeUntil(seconds, earliest); !decoded) {
            return std::unexpected(std::move(decoded.error()));
        }
    }

    const Held* nearest = nullptr;
    for (const Held& held : held_) {
        if (!(std::abs(held.seconds - seconds) <= toleranceSeconds)) continue;
        if (!nearest || std::abs(held.seconds - seconds) < std::abs(nearest->seconds - seconds)) {
            nearest = &held;
        }
    }
    if (!nearest) return noFrameNear(seconds);
    return deliver(*nearest);
}

// Seeking pays when a keyframe lies between the packets read so far and the request: everything
// before it can be left undecoded. (Frames before a keyframe shown no later than the request
// are never nearer to it than the keyframe.)
bool FfmpegFrameSource::shouldSeek(double seconds) const {
    if (inputEnded_ || position_ == AV_NOPTS_VALUE) return false;
    const std::int64_t target = timestampOf(seconds);
    if (target <= position_) return false;
    AVStream* stream = stream_;
    const int entries = avformat_index_get_entries_count(stream);
    if (indexFromContainer_ && entries > 0) {
        const AVIndexEntry* keyframe =
            avformat_index_get_entry_from_timestamp(stream, target, AVSEEK_FLAG_BACKWARD);
        if (keyframe && keyframe->timestamp > position_) return true;
        if (avformat_index_get_entry(stream, entries - 1)->timestamp >= target) return false;
    }
    // Beyond what the index knows: judge by the keyframe spacing seen so far.
    if (keyframeInterval_ > 0 && lastKeyframe_ != AV_NOPTS_VALUE) {
        return lastKeyframe_ + keyframeInterval_ <= target;
    }
    return secondsOf(target) - secondsOf(position_) > 10.0;
}

// Moves the demuxer to the keyframe at or before `seconds` and starts decoding afresh there.
bool FfmpegFrameSource::seekTo(double seconds) {
    const bool fromStart = seconds <= 0.0;
    int rc = av_seek_frame(input_.get(), stream_->index, timestampOf(seconds), AVSEEK_FLAG_BACKWARD);
    if (rc < 0 && fromStart) rc = av_seek_frame(input_.get(), -1, 0, AVSEEK_FLAG_BYTE);
    if (rc < 0) return false;  // decoding on from where the demuxer stands still finds the frame
    avcodec_flush_buffers(decoder_.get());
    held_.clear();
    inputEnded_ = false;
    drained_ = false;
    lastKeyframe_ = AV_NOPTS_VALUE;
    recentShows_.fill(AV_NOPTS_VALUE);
    landing_ = true;
    landingAtStart_ = fromStart;
    return true;
}

// After a landing that cannot serve the window: twice as far back before it as the last try
// (1 s the first time), or the start if that fails.
bool FfmpegFrameSource::seekFurtherBack(double earliest) {
    backoff_ = backoff_ > 0.0 ? backoff_ * 2.0 : 1.0;
    return seekTo(earliest - backoff_) || seekTo(0.0);
}

Expected<void> FfmpegFrameSource::decodeUntil(double seconds, double earliest) {
    while ((held_.empty() || held_.back().seconds < seconds) && !drained_) {
        const int rc = avcodec_receive_frame(decoder_.get(), picture_.get());
        if (rc == 0) {
            if (auto accepted = accept(seconds, earliest); !accepted) return accepted;
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

// Seeks land on a keyframe only in containers that list them; elsewhere (MPEG-TS) they land
// wherever the timestamp is, perhaps after the keyframe the window needs. Either way, the first
// keyframe read must show no later than the request, or the seek goes back further.
bool FfmpegFrameSource::landsTooLate(const AVPacket& packet, double seconds, double earliest) {
    const std::int64_t shown = packet.pts != AV_NOPTS_VALUE ? packet.pts : packet.dts;
    if (landingAtStart_ || shown == AV_NOPTS_VALUE || !(secondsOf(shown) > seconds)) return false;
    if (seekFurtherBack(earliest)) return true;
    landing_ = false;  // cannot go back: take what there is
    return false;
}

Expected<void> FfmpegFrameSource::feedPacket(double seconds, double earliest) {
    AVPacket* packet = packet_.get();
    while (true) {
        int rc = av_read_frame(input_.get(), packet);
        if (rc < 0) {
            if (rc != AVERROR_EOF && !avio_feof(input_->pb)) {
                return videoError(7, "cannot read " + quoted(name_) + ": " + errorText(rc));
            }
            if (landing_ && !landingAtStart_) {  // no keyframe after where the seek landed
                if (seekFurtherBack(earliest)) continue;
            }
            inputEnded_ = true;
            rc = avcodec_send_packet(decoder_.get(), nullptr);  // let the decoder give what it holds
            if (rc < 0 && rc != AVERROR_EOF) {
                return decodeError(rc);
            }
            return {};
        }
        if (packet->stream_index != stream_->index) {
            av_packet_unref(packet);
            continue;
        }
        const std::int64_t at = packet->dts != AV_NOPTS_VALUE ? packet->dts : packet->pts;
        if (at != AV_NOPTS_VALUE) {
            position_ = at;
            if (packet->flags & AV_PKT_FLAG_KEY) {
                if (lastKeyframe_ != AV_NOPTS_VALUE && at > lastKeyframe_) {
                    keyframeInterval_ = std::max(keyframeInterval_, at - lastKeyframe_);
                }
                lastKeyframe_ = at;
            }
        }
        if (landing_) {
            const bool key = packet->flags & AV_PKT_FLAG_KEY;
            if (!key || landsTooLate(*packet, seconds, earliest)) {
                av_packet_unref(packet);
                continue;
            }
            landing_ = false;
        }
        // A frame is never an answer if it shows before the window, or before another frame
        // already read that shows no later than the request (that one is nearer): when nothing
        // refers to it, the decoder may leave it out.
        bool needless = false;
        if (settings_.skipNonReference && packet->pts != AV_NOPTS_VALUE) {
            const double shows = secondsOf(packet->pts);
            needless = shows < earliest;
            for (const std::int64_t other : recentShows_) {
                needless = needless || (other > packet->pts && secondsOf(other) <= seconds);
            }
            recentShows_[recentCount_++ % recentShows_.size()] = packet->pts;
        }
        decoder_->skip_frame = needless ? AVDISCARD_NONREF : AVDISCARD_DEFAULT;
        rc = avcodec_send_packet(decoder_.get(), packet);
        av_packet_unref(packet);
        if (rc < 0 && rc != AVERROR_INVALIDDATA) {  // a damaged packet is passed over
            return decodeError(rc);
        }
        return {};
    }
}

Expected<void> FfmpegFrameSource::accept(double seconds, double earliest) {
    AVFrame* picture = picture_.get();
    if (picture->width > largestSide || picture->height > largestSide) {
        auto refused = tooLarge(name_, picture->width, picture->height);
        av_frame_unref(picture);
        return refused;
    }
    std::int64_t timestamp = picture->best_effort_timestamp;
    if (timestamp == AV_NOPTS_VALUE) timestamp = picture->pts;
    if (!originFixed_ && timestamp != AV_NOPTS_VALUE) origin_ = timestamp;
    originFixed_ = true;
    double at = 0.0;
    if (timestamp != AV_NOPTS_VALUE) {
        at = secondsOf(timestamp);
    } else if (lastEnd_) {
        at = *lastEnd_;  // no time of its own: right after the one before
    }
    const double duration = picture->pkt_duration > 0
                                ? double(picture->pkt_duration) * timeBase_.num / timeBase_.den
                                : frameInterval_;
    lastEnd_ = std::max(lastEnd_.value_or(at), at + duration);

    if (at < earliest || (!held_.empty() && at <= held_.back().seconds)) {
        av_frame_unref(picture);
        return {};
    }
    // Of the frames before the request only the last can be the answer.
    if (at < seconds && !held_.empty() && held_.back().seconds < seconds) held_.pop_back();
    FrameOwner taken(av_frame_alloc());
    if (!taken) {
        av_frame_unref(picture);
        return decodeError(AVERROR(ENOMEM));
    }
    av_frame_move_ref(taken.get(), picture);
    held_.push_back(Held{std::move(taken), at});
    return {};
}

Expected<TimedFrame> FfmpegFrameSource::deliver(const Held& held) {
    const AVRational sampleAspect =
        av_guess_sample_aspect_ratio(input_.get(), stream_, held.picture.get());
    auto frame = converter_->convert(*held.picture, sampleAspect);
    if (!frame) return std::unexpected(std::move(frame.error()));
    return TimedFrame{std::move(*frame), held.seconds};
}

std::unexpected<Error> FfmpegFrameSource::noFrameNear(double seconds) const {
    std::string text = "no frame within " + seconds3(toleranceSeconds) + " s of " +
                       seconds3(seconds) + " s in " + quoted(name_);
    if (!held_.empty() && held_.back().seconds > seconds) {
        text += "; the next frame is at " + seconds3(held_.back().seconds) + " s";
    } else if (drained_ && lastEnd_) {
        text += "; the video ends at " + seconds3(*lastEnd_) + " s";
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
        [bytes]() -> Expected<std::unique_ptr<ByteReader>> {
            return std::make_unique<MemoryReader>(bytes);
        },
        settings);
}

}  // namespace autoframe
