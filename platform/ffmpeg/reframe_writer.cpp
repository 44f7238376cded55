#include "platform/ffmpeg/reframe_writer.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <deque>
#include <map>
#include <optional>

#include "core/error_codes.h"
#include "core/number_text.h"
#include "platform/ffmpeg/byte_input.h"
#include "platform/ffmpeg/cropped_pictures.h"
#include "platform/ffmpeg/errors.h"
#include "platform/ffmpeg/source_video.h"
#include "platform/ffmpeg/staged_file.h"
#include "platform/ffmpeg/video_stream.h"

namespace autoframe::reframe {
namespace {

using namespace ffmpeg;

struct OutputFreer {
    void operator()(AVFormatContext* output) const { avformat_free_context(output); }
};
using OutputOwner = std::unique_ptr<AVFormatContext, OutputFreer>;

int writeBytes(void* opaque, std::uint8_t* bytes, int size) {
    const int descriptor = *static_cast<int*>(opaque);
    int written = 0;
    while (written < size) {
        const ssize_t n = ::write(descriptor, bytes + written, std::size_t(size - written));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return AVERROR(n < 0 ? errno : EIO);
        written += int(n);
    }
    return written;
}

std::int64_t seekBytes(void* opaque, std::int64_t offset, int whence) {
    return ffmpeg::seekDescriptor(*static_cast<int*>(opaque), offset, whence);
}

bool sameFile(const std::string& a, const std::string& b) {
    struct stat first {
    }, second{};
    return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 &&
           first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

std::string windowText(const SourceWindow& w) {
    return numberText(w.x) + ", " + numberText(w.y) + ", " + numberText(w.width) + " x " +
           numberText(w.height);
}

class Render {
public:
    explicit Render(const RenderRequest& request) : request_(request) {}
    Expected<RenderSummary> run();

private:
    Expected<void> openOutput();
    Expected<void> takePicture(AVFrame& picture);
    Expected<void> takeOtherPacket(AVPacket& packet);
    Expected<void> start(const AVFrame& firstPicture);
    Expected<void> encode(AVFrame* picture);
    Expected<void> finish();
    std::unexpected<Error> writeError(int code) const {
        return cannotWrite(request_.output, errorText(code));
    }
    double secondsTotal() const;

    const RenderRequest& request_;
    // Released in reverse: the muxer, then its byte writer, then the staged file (removed unless
    // committed).
    std::optional<StagedFile> file_;
    int descriptor_ = -1;
    IoContextOwner io_;
    OutputOwner output_;
    SourceVideo video_;
    CodecContextOwner decoder_;
    CodecContextOwner encoder_;
    std::unique_ptr<AudioTrack> audio_;
    std::optional<CroppedPictures> cropper_;
    PacketOwner encoded_;
    AVStream* videoOut_ = nullptr;

    std::optional<PictureTimes> times_;
    bool started_ = false;
    std::int64_t lastPts_ = AV_NOPTS_VALUE;
    std::map<std::int64_t, std::int64_t> durations_;  // encoder pts -> duration, until written
    std::deque<PacketOwner> earlyAudio_;              // until the first picture fixes 0 s
    std::size_t frames_ = 0;
};

Expected<RenderSummary> Render::run() {
    const EvenSize size = request_.size;
    if (size.width < 2 || size.height < 2 || size.width % 2 || size.height % 2 ||
        size.width > largestSide || size.height > largestSide) {
        return fail(ReframeCode::cannotWriteVideo,
                    "cannot write " + quoted(request_.output) + ": the output size " +
                        std::to_string(size.width) + "x" + std::to_string(size.height) +
                        " is not two even numbers between 2 and " + std::to_string(largestSide));
    }
    auto video = openSourceVideo(request_.input);
    if (!video) return std::unexpected(std::move(video.error()));
    video_ = std::move(*video);
    times_.emplace(video_.clock, video_.frameInterval);
    auto decoder = openDecoder(*video_.stream, 0, request_.input);
    if (!decoder) return std::unexpected(std::move(decoder.error()));
    decoder_ = std::move(*decoder);
    if (auto opened = openOutput(); !opened) return std::unexpected(std::move(opened.error()));

    auto decoded = decodeWholeVideo(
        video_, *decoder_, request_.input, [this](AVFrame& p) { return takePicture(p); },
        [this](AVPacket& p) { return takeOtherPacket(p); });
    if (!decoded) return std::unexpected(std::move(decoded.error()));
    if (!started_)
        return cannotDecode(VideoCode::unsupported, request_.input,
                            "its video stream has no pictures");
    if (auto finished = finish(); !finished) return std::unexpected(std::move(finished.error()));
    return RenderSummary{frames_, audio_ ? audio_->handling() : AudioHandling::none};
}

// The staged file, the muxer writing into it, and the output's streams: video first (its
// parameters come with the first picture), then the audio.
Expected<void> Render::openOutput() {
    auto file = StagedFile::beside(request_.output);
    if (!file) return std::unexpected(std::move(file.error()));
    file_.emplace(std::move(*file));
    if (sameFile(request_.input, request_.output)) {
        return cannotWrite(request_.output, "it is the video being read");
    }
    descriptor_ = file_->descriptor();

    AVFormatContext* output = nullptr;
    int rc = avformat_alloc_output_context2(&output, nullptr, "mp4", file_->path().c_str());
    if (rc < 0) return writeError(rc);
    output_.reset(output);
    constexpr int bufferSize = 1 << 16;
    auto* buffer = static_cast<std::uint8_t*>(av_malloc(bufferSize));
    if (!buffer) return writeError(AVERROR(ENOMEM));
    io_.reset(
        avio_alloc_context(buffer, bufferSize, 1, &descriptor_, nullptr, &writeBytes, &seekBytes));
    if (!io_) {
        av_free(buffer);
        return writeError(AVERROR(ENOMEM));
    }
    output_->pb = io_.get();
    output_->flags |= AVFMT_FLAG_CUSTOM_IO;

    videoOut_ = avformat_new_stream(output_.get(), nullptr);
    encoded_.reset(av_packet_alloc());
    if (!videoOut_ || !encoded_) return writeError(AVERROR(ENOMEM));
    auto audio =
        AudioTrack::open(*video_.input.format, video_.stream->index, *output_, request_.input,
                         request_.output, request_.encode.audioBitRatePerChannel);
    if (!audio) return std::unexpected(std::move(audio.error()));
    audio_ = std::move(*audio);
    return {};
}

// Opens the encoder for the first picture's colours and writes the header.
Expected<void> Render::start(const AVFrame& first) {
    const AVCodec* codec = avcodec_find_encoder_by_name("libx264");
    if (!codec)
        return fail(ReframeCode::cannotEncode, "cannot encode " + quoted(request_.output) +
                                                   ": this FFmpeg has no libx264 encoder");
    encoder_.reset(avcodec_alloc_context3(codec));
    if (!encoder_) return writeError(AVERROR(ENOMEM));
    AVCodecContext& e = *encoder_;
    e.width = request_.size.width;
    e.height = request_.size.height;
    e.pix_fmt = AV_PIX_FMT_YUV420P;
    e.sample_aspect_ratio = AVRational{1, 1};
    e.time_base = video_.stream->time_base;  // the source's timestamps, unchanged
    const AVRational rate = video_.stream->avg_frame_rate;
    if (rate.num > 0 && rate.den > 0) e.framerate = rate;
    const OutputColour colour = outputColourOf(first);
    e.color_range = colour.range;
    e.colorspace = colour.space;
    e.color_primaries = colour.primaries;
    e.color_trc = colour.transfer;
    e.thread_count = 0;
    if (output_->oformat->flags & AVFMT_GLOBALHEADER) e.flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    AVDictionary* options = nullptr;
    av_dict_set(&options, "preset", request_.encode.preset.c_str(), 0);
    av_dict_set(&options, "crf", std::to_string(request_.encode.crf).c_str(), 0);
    int rc = avcodec_open2(&e, codec, &options);
    av_dict_free(&options);
    if (rc < 0) {
        return fail(ReframeCode::cannotEncode, "cannot open the libx264 encoder for " +
                                                   quoted(request_.output) + ": " + errorText(rc));
    }
    rc = avcodec_parameters_from_context(videoOut_->codecpar, &e);
    if (rc < 0) return writeError(rc);
    videoOut_->time_base = e.time_base;
    videoOut_->avg_frame_rate = video_.stream->avg_frame_rate;

    rc = avformat_write_header(output_.get(), nullptr);
    if (rc < 0) return writeError(rc);
    started_ = true;
    while (!earlyAudio_.empty()) {
        PacketOwner packet = std::move(earlyAudio_.front());
        earlyAudio_.pop_front();
        if (auto taken = takeOtherPacket(*packet); !taken) return taken;
    }
    return {};
}

Expected<void> Render::takeOtherPacket(AVPacket& packet) {
    if (!audio_ || packet.stream_index != audio_->inputIndex()) return {};
    if (!started_) {
        PacketOwner early(av_packet_alloc());
        if (!early) return writeError(AVERROR(ENOMEM));
        av_packet_move_ref(early.get(), &packet);
        earlyAudio_.push_back(std::move(early));
        return {};
    }
    const double shift = times_->clock().lengthOf(times_->clock().origin);
    return audio_->take(packet, shift);
}

Expected<void> Render::takePicture(AVFrame& picture) {
    const auto stamp = times_->next(picture);
    if (!started_) {
        if (auto started = start(picture); !started) return started;
        cropper_.emplace(request_.input, request_.size, video_.orientation);
    }
    const std::size_t index = frames_;
    auto window = request_.window(index, stamp.seconds);
    if (!window) return std::unexpected(std::move(window.error()));
    if (!isWindow(*window)) {
        return fail(ReframeCode::badWindow, "the crop window of frame " + std::to_string(index) +
                                                " at " + numberText(stamp.seconds, 3) + " s of " +
                                                quoted(request_.input) +
                                                " is not a window: " + windowText(*window));
    }
    const AVRational aspect =
        av_guess_sample_aspect_ratio(video_.input.format.get(), video_.stream, &picture);
    const Size upright = uprightSizeOf(picture.width, picture.height, aspect, video_.orientation);
    const auto [gridX, gridY] = cropper_->grid(picture);
    const PixelRect rect =
        snapToPixels(storedFractions(*window, upright.width, upright.height, video_.orientation),
                     picture.width, picture.height, gridX, gridY);
    auto cut = cropper_->crop(picture, rect);
    if (!cut) return std::unexpected(std::move(cut.error()));

    // Every picture keeps its time; one that does not come after the last moves just after it.
    const std::int64_t origin = times_->clock().origin;
    std::int64_t pts = stamp.timestamp - origin;
    if (lastPts_ != AV_NOPTS_VALUE && pts <= lastPts_) pts = lastPts_ + 1;
    lastPts_ = pts;
    const AVRational base = video_.stream->time_base;
    durations_[pts] = std::llround(stamp.duration * base.den / base.num);
    (*cut)->pts = pts;
    (*cut)->pict_type = AV_PICTURE_TYPE_NONE;
    if (auto encoded = encode(*cut); !encoded) return encoded;

    ++frames_;
    if (request_.progress) {
        const std::size_t total =
            request_.expectedFrames
                ? request_.expectedFrames
                : std::size_t(std::max<std::int64_t>(0, video_.stream->nb_frames));
        request_.progress(
            RenderProgress{frames_, total, stamp.seconds + stamp.duration, secondsTotal()});
    }
    return {};
}

Expected<void> Render::encode(AVFrame* picture) {
    int rc = avcodec_send_frame(encoder_.get(), picture);
    if (rc < 0)
        return fail(ReframeCode::cannotEncode,
                    "cannot encode " + quoted(request_.output) + ": " + errorText(rc));
    while (true) {
        rc = avcodec_receive_packet(encoder_.get(), encoded_.get());
        if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) return {};
        if (rc < 0)
            return fail(ReframeCode::cannotEncode,
                        "cannot encode " + quoted(request_.output) + ": " + errorText(rc));
        if (const auto d = durations_.find(encoded_->pts); d != durations_.end()) {
            encoded_->duration = d->second;
            durations_.erase(d);
        }
        av_packet_rescale_ts(encoded_.get(), encoder_->time_base, videoOut_->time_base);
        encoded_->stream_index = videoOut_->index;
        rc = av_interleaved_write_frame(output_.get(), encoded_.get());
        if (rc < 0) return writeError(rc);
    }
}

Expected<void> Render::finish() {
    if (auto flushed = encode(nullptr); !flushed) return flushed;
    if (audio_) {
        if (auto finished = audio_->finish(); !finished) return finished;
    }
    int rc = av_write_trailer(output_.get());
    if (rc < 0) return writeError(rc);
    avio_flush(io_.get());
    if (io_->error < 0) return writeError(io_->error);
    return file_->commit();
}

double Render::secondsTotal() const {
    const AVStream& s = *video_.stream;
    if (s.duration != AV_NOPTS_VALUE && s.duration > 0) return times_->clock().lengthOf(s.duration);
    const AVFormatContext& f = *video_.input.format;
    return f.duration > 0 ? double(f.duration) / AV_TIME_BASE : 0.0;
}

}  // namespace

Expected<RenderSummary> renderReframe(const RenderRequest& request) {
    return Render(request).run();
}

}  // namespace autoframe::reframe
