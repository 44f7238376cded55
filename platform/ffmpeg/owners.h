#pragma once

// Owners for FFmpeg's handles: one deleter per kind, each null-safe, so that everything is
// released in one place, in reverse order of declaration.

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/frame.h>
#include <libswscale/swscale.h>
}

#include <memory>

namespace autoframe::ffmpeg {

// An opened input is closed (which also frees it), not just freed.
struct InputCloser {
    void operator()(AVFormatContext* input) const { avformat_close_input(&input); }
};
// A caller-supplied byte reader: its buffer may have been replaced by FFmpeg, so the one it
// holds now is the one to free.
struct IoContextFreer {
    void operator()(AVIOContext* io) const {
        if (io) av_freep(&io->buffer);
        avio_context_free(&io);
    }
};
struct CodecContextFreer {
    void operator()(AVCodecContext* codec) const { avcodec_free_context(&codec); }
};
struct FrameFreer {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct PacketFreer {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct ScalerFreer {
    void operator()(SwsContext* scaler) const { sws_freeContext(scaler); }
};

using InputOwner = std::unique_ptr<AVFormatContext, InputCloser>;
using IoContextOwner = std::unique_ptr<AVIOContext, IoContextFreer>;
using CodecContextOwner = std::unique_ptr<AVCodecContext, CodecContextFreer>;
using FrameOwner = std::unique_ptr<AVFrame, FrameFreer>;
using PacketOwner = std::unique_ptr<AVPacket, PacketFreer>;
using ScalerOwner = std::unique_ptr<SwsContext, ScalerFreer>;

}  // namespace autoframe::ffmpeg
