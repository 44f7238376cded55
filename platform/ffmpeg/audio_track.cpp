#include "platform/ffmpeg/audio_track.h"

extern "C" {
#include <libavutil/audio_fifo.h>
#include <libswresample/swresample.h>
}

#include <cmath>
#include <cstdlib>

#include "core/error_codes.h"
#include "platform/ffmpeg/errors.h"
#include "platform/ffmpeg/staged_file.h"
#include "platform/ffmpeg/video_stream.h"

namespace autoframe::reframe {
namespace {

using ffmpeg::errorText;

// The encoder's rate: the source's when the encoder takes it, else the nearest it takes.
int encodedRate(const AVCodec& codec, int sourceRate) {
    if (!codec.supported_samplerates) return sourceRate;
    int best = 0;
    for (const int* rate = codec.supported_samplerates; *rate; ++rate) {
        if (*rate == sourceRate) return sourceRate;
        if (!best || std::abs(*rate - sourceRate) < std::abs(best - sourceRate)) best = *rate;
    }
    return best ? best : sourceRate;
}

// The encoder's channels: the source's layout when the encoder takes it, else stereo (mono for
// one channel).
AVChannelLayout encodedLayout(const AVCodec& codec, const AVChannelLayout& source) {
    AVChannelLayout layout{};
    if (source.order == AV_CHANNEL_ORDER_UNSPEC || source.order == AV_CHANNEL_ORDER_CUSTOM) {
        av_channel_layout_default(&layout, source.nb_channels);
    } else {
        av_channel_layout_copy(&layout, &source);
    }
    bool taken = !codec.ch_layouts;
    for (const AVChannelLayout* l = codec.ch_layouts; l && l->nb_channels; ++l) {
        taken = taken || av_channel_layout_compare(l, &layout) == 0;
    }
    if (!taken) {
        const int channels = source.nb_channels == 1 ? 1 : 2;
        av_channel_layout_uninit(&layout);
        av_channel_layout_default(&layout, channels);
    }
    return layout;
}

}  // namespace

bool mp4TakesAsItIs(AVCodecID codec) {
    switch (codec) {
        case AV_CODEC_ID_AAC:
        case AV_CODEC_ID_MP3:
        case AV_CODEC_ID_MP2:
        case AV_CODEC_ID_ALAC:
        case AV_CODEC_ID_OPUS:
        case AV_CODEC_ID_AC3:
        case AV_CODEC_ID_EAC3: return true;
        default: return false;
    }
}

Expected<std::unique_ptr<AudioTrack>> AudioTrack::open(AVFormatContext& input, int videoStream,
                                                       AVFormatContext& output,
                                                       const std::string& inputName,
                                                       const std::string& outputName,
                                                       std::int64_t bitRatePerChannel) {
    const int index = av_find_best_stream(&input, AVMEDIA_TYPE_AUDIO, -1, videoStream, nullptr, 0);
    if (index < 0) return nullptr;
    std::unique_ptr<AudioTrack> track(new AudioTrack);
    track->output_ = &output;
    track->outputName_ = outputName;
    track->inputName_ = inputName;
    track->inputIndex_ = index;
    track->bitRatePerChannel_ = bitRatePerChannel;
    track->in_ = input.streams[index];
    track->in_->discard = AVDISCARD_DEFAULT;
    track->out_ = avformat_new_stream(&output, nullptr);
    if (!track->out_) return cannotWrite(outputName, errorText(AVERROR(ENOMEM)));
    if (const AVDictionaryEntry* language =
            av_dict_get(track->in_->metadata, "language", nullptr, 0)) {
        av_dict_set(&track->out_->metadata, "language", language->value, 0);
    }

    const AVCodecID codec = track->in_->codecpar->codec_id;
    if (mp4TakesAsItIs(codec) &&
        avformat_query_codec(output.oformat, codec, FF_COMPLIANCE_NORMAL) == 1) {
        const int rc = avcodec_parameters_copy(track->out_->codecpar, track->in_->codecpar);
        if (rc < 0) return cannotWrite(outputName, errorText(rc));
        track->out_->codecpar->codec_tag = 0;  // the muxer's own tag for the codec
        track->out_->time_base = track->in_->time_base;
        return track;
    }
    if (auto opened = track->openEncoding(inputName); !opened) {
        return std::unexpected(std::move(opened.error()));
    }
    return track;
}

AudioTrack::~AudioTrack() {
    swr_free(&resampler_);
    if (queue_) av_audio_fifo_free(queue_);
}

std::unexpected<Error> AudioTrack::cannotEncode(const std::string& reason) const {
    return fail(ReframeCode::cannotEncode,
                "cannot encode the audio of " + quoted(inputName_) + " as AAC: " + reason);
}

Expected<void> AudioTrack::openEncoding(const std::string& inputName) {
    const AVCodecParameters& parameters = *in_->codecpar;
    const AVCodec* decoderCodec = avcodec_find_decoder(parameters.codec_id);
    if (!decoderCodec) {
        return ffmpeg::cannotDecode(
            VideoCode::unsupported, inputName,
            "no decoder for " + std::string(avcodec_get_name(parameters.codec_id)) + " audio");
    }
    decoder_.reset(avcodec_alloc_context3(decoderCodec));
    if (!decoder_) return cannotEncode(errorText(AVERROR(ENOMEM)));
    int rc = avcodec_parameters_to_context(decoder_.get(), &parameters);
    if (rc >= 0) {
        decoder_->pkt_timebase = in_->time_base;
        rc = avcodec_open2(decoder_.get(), decoderCodec, nullptr);
    }
    if (rc < 0) {
        return ffmpeg::videoError(VideoCode::unsupported,
                                  "cannot open the " + std::string(decoderCodec->name) +
                                      " decoder for the audio of " + quoted(inputName) + ": " +
                                      errorText(rc));
    }

    const AVCodec* aac = avcodec_find_encoder_by_name("aac");
    if (!aac) return cannotEncode("this FFmpeg has no aac encoder");
    encoder_.reset(avcodec_alloc_context3(aac));
    if (!encoder_) return cannotEncode(errorText(AVERROR(ENOMEM)));
    encoder_->sample_fmt = AV_SAMPLE_FMT_FLTP;
    encoder_->sample_rate = encodedRate(*aac, decoder_->sample_rate);
    encoder_->ch_layout = encodedLayout(*aac, decoder_->ch_layout);
    encoder_->bit_rate = bitRatePerChannel_ * encoder_->ch_layout.nb_channels;
    encoder_->time_base = AVRational{1, encoder_->sample_rate};
    if (output_->oformat->flags & AVFMT_GLOBALHEADER)
        encoder_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    rc = avcodec_open2(encoder_.get(), aac, nullptr);
    if (rc < 0) return cannotEncode(errorText(rc));
    rc = avcodec_parameters_from_context(out_->codecpar, encoder_.get());
    if (rc < 0) return cannotEncode(errorText(rc));
    out_->time_base = encoder_->time_base;

    queue_ = av_audio_fifo_alloc(encoder_->sample_fmt, encoder_->ch_layout.nb_channels,
                                 std::max(encoder_->frame_size, 1024) * 4);
    decoded_.reset(av_frame_alloc());
    resampled_.reset(av_frame_alloc());
    encoded_.reset(av_packet_alloc());
    if (!queue_ || !decoded_ || !resampled_ || !encoded_)
        return cannotEncode(errorText(AVERROR(ENOMEM)));
    return {};
}

Expected<void> AudioTrack::take(AVPacket& packet, double shift) {
    if (!encoder_) {
        const std::int64_t ticks = std::llround(shift * in_->time_base.den / in_->time_base.num);
        if (packet.pts != AV_NOPTS_VALUE) packet.pts -= ticks;
        if (packet.dts != AV_NOPTS_VALUE) packet.dts -= ticks;
        av_packet_rescale_ts(&packet, in_->time_base, out_->time_base);
        packet.stream_index = out_->index;
        packet.pos = -1;
        return write(packet);
    }
    const int rc = avcodec_send_packet(decoder_.get(), &packet);
    if (rc < 0 && rc != AVERROR_INVALIDDATA) {  // a damaged packet is passed over
        return ffmpeg::cannotDecode(VideoCode::cannotDecode, inputName_,
                                    "its audio: " + errorText(rc));
    }
    shift_ = shift;
    return encodeDecoded();
}

// Resamples what the decoder gives into the queue and encodes every whole frame there.
Expected<void> AudioTrack::encodeDecoded() {
    while (true) {
        int rc = avcodec_receive_frame(decoder_.get(), decoded_.get());
        if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) return {};
        if (rc == AVERROR_INVALIDDATA) continue;
        if (rc < 0)
            return ffmpeg::cannotDecode(VideoCode::cannotDecode, inputName_,
                                        "its audio: " + errorText(rc));
        AVFrame& decoded = *decoded_;
        if (nextSample_ == AV_NOPTS_VALUE) {
            // The first sample's time fixes the rest: samples follow on without gaps.
            const std::int64_t at = ffmpeg::presentationTimestamp(decoded);
            const double seconds =
                at == AV_NOPTS_VALUE ? 0.0 : double(at) * av_q2d(in_->time_base) - shift_;
            nextSample_ = std::llround(seconds * encoder_->sample_rate);
        }
        if (!resampler_) {
            AVChannelLayout from{};
            if (decoded.ch_layout.order == AV_CHANNEL_ORDER_UNSPEC) {
                av_channel_layout_default(&from, decoded.ch_layout.nb_channels);
            } else {
                av_channel_layout_copy(&from, &decoded.ch_layout);
            }
            rc = swr_alloc_set_opts2(&resampler_, &encoder_->ch_layout, encoder_->sample_fmt,
                                     encoder_->sample_rate, &from, AVSampleFormat(decoded.format),
                                     decoded.sample_rate, 0, nullptr);
            av_channel_layout_uninit(&from);
            if (rc >= 0) rc = swr_init(resampler_);
            if (rc < 0) {
                av_frame_unref(&decoded);
                return cannotEncode("cannot convert its samples: " + errorText(rc));
            }
        }
        auto queued =
            resample(const_cast<const std::uint8_t**>(decoded.extended_data), decoded.nb_samples);
        av_frame_unref(&decoded);
        if (!queued) return queued;
        if (auto encoded = encodeQueued(false); !encoded) return encoded;
    }
}

// Converts samples in the decoder's format into the queue (none: what the resampler holds).
Expected<void> AudioTrack::resample(const std::uint8_t** samples, int count) {
    const int room = swr_get_out_samples(resampler_, count);
    if (room <= 0) return {};
    av_frame_unref(resampled_.get());
    resampled_->nb_samples = room;
    resampled_->format = encoder_->sample_fmt;
    resampled_->sample_rate = encoder_->sample_rate;
    av_channel_layout_copy(&resampled_->ch_layout, &encoder_->ch_layout);
    int rc = av_frame_get_buffer(resampled_.get(), 0);
    if (rc < 0) return cannotEncode(errorText(rc));
    rc = swr_convert(resampler_, resampled_->extended_data, room, samples, count);
    if (rc < 0) return cannotEncode("cannot convert its samples: " + errorText(rc));
    if (av_audio_fifo_write(queue_, reinterpret_cast<void**>(resampled_->extended_data), rc) < rc) {
        return cannotEncode(errorText(AVERROR(ENOMEM)));
    }
    return {};
}

// Encodes the queued samples in frames of the encoder's size; `all` sends the rest as well.
Expected<void> AudioTrack::encodeQueued(bool all) {
    const int frameSize = encoder_->frame_size > 0 ? encoder_->frame_size : 1024;
    while (av_audio_fifo_size(queue_) >= frameSize || (all && av_audio_fifo_size(queue_) > 0)) {
        ffmpeg::FrameOwner frame(av_frame_alloc());
        if (!frame) return cannotEncode(errorText(AVERROR(ENOMEM)));
        frame->nb_samples = std::min(frameSize, av_audio_fifo_size(queue_));
        frame->format = encoder_->sample_fmt;
        frame->sample_rate = encoder_->sample_rate;
        av_channel_layout_copy(&frame->ch_layout, &encoder_->ch_layout);
        int rc = av_frame_get_buffer(frame.get(), 0);
        if (rc < 0) return cannotEncode(errorText(rc));
        if (av_audio_fifo_read(queue_, reinterpret_cast<void**>(frame->data), frame->nb_samples) <
            frame->nb_samples) {
            return cannotEncode(errorText(AVERROR(EIO)));
        }
        frame->pts = nextSample_;
        nextSample_ += frame->nb_samples;
        if (auto sent = sendToEncoder(frame.get()); !sent) return sent;
    }
    return {};
}

Expected<void> AudioTrack::sendToEncoder(AVFrame* frame) {
    int rc = avcodec_send_frame(encoder_.get(), frame);
    if (rc < 0 && !(rc == AVERROR_EOF && !frame)) return cannotEncode(errorText(rc));
    while (true) {
        rc = avcodec_receive_packet(encoder_.get(), encoded_.get());
        if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) return {};
        if (rc < 0) return cannotEncode(errorText(rc));
        av_packet_rescale_ts(encoded_.get(), encoder_->time_base, out_->time_base);
        encoded_->stream_index = out_->index;
        if (auto written = write(*encoded_); !written) return written;
    }
}

Expected<void> AudioTrack::finish() {
    if (!encoder_) return {};
    int rc = avcodec_send_packet(decoder_.get(), nullptr);
    if (rc < 0 && rc != AVERROR_EOF)
        return ffmpeg::cannotDecode(VideoCode::cannotDecode, inputName_,
                                    "its audio: " + errorText(rc));
    if (auto decoded = encodeDecoded(); !decoded) return decoded;
    if (resampler_) {
        // What the resampler still holds.
        if (auto queued = resample(nullptr, 0); !queued) return queued;
    }
    if (auto queued = encodeQueued(true); !queued) return queued;
    return sendToEncoder(nullptr);
}

Expected<void> AudioTrack::write(AVPacket& packet) {
    const int rc = av_interleaved_write_frame(output_, &packet);
    if (rc < 0) return cannotWrite(outputName_, errorText(rc));
    return {};
}

}  // namespace autoframe::reframe
