#pragma once

// The source's audio in the reframed MP4: its packets copied unchanged when MP4 can hold its
// codec, else decoded and encoded again as AAC.

#include <cstdint>
#include <memory>
#include <string>

#include "core/error.h"
#include "platform/ffmpeg/owners.h"

struct SwrContext;
struct AVAudioFifo;

namespace autoframe::reframe {

enum class AudioHandling { none, copied, encodedAsAac };

// The codecs whose packets go into MP4 as they are.
bool mp4TakesAsItIs(AVCodecID codec);

class AudioTrack {
public:
    // Takes the input's best audio stream (related to the video stream) back from the demuxer
    // and adds its stream to the output; nullptr when the input has no audio. `bitRatePerChannel`
    // is for encoding as AAC.
    static Expected<std::unique_ptr<AudioTrack>> open(AVFormatContext& input, int videoStream,
                                                      AVFormatContext& output,
                                                      const std::string& inputName,
                                                      const std::string& outputName,
                                                      std::int64_t bitRatePerChannel);
    ~AudioTrack();

    int inputIndex() const { return inputIndex_; }
    AudioHandling handling() const {
        return encoder_ ? AudioHandling::encodedAsAac : AudioHandling::copied;
    }

    // Writes what the packet holds, its times moved back by `shift` seconds (the video's first
    // frame is 0 s in the output).
    Expected<void> take(AVPacket& packet, double shift);
    // Writes what the encoder still holds.
    Expected<void> finish();

private:
    AudioTrack() = default;
    Expected<void> openEncoding(const std::string& inputName);
    Expected<void> encodeDecoded();
    Expected<void> resample(const std::uint8_t** samples, int count);
    Expected<void> encodeQueued(bool all);
    Expected<void> sendToEncoder(AVFrame* frame);
    Expected<void> write(AVPacket& packet);
    std::unexpected<Error> cannotEncode(const std::string& reason) const;

    AVFormatContext* output_ = nullptr;
    std::string outputName_;
    std::string inputName_;
    AVStream* in_ = nullptr;
    AVStream* out_ = nullptr;
    int inputIndex_ = -1;
    std::int64_t bitRatePerChannel_ = 0;

    // Encoding only: decoder, resampler to the encoder's format, queue of whole encoder frames.
    ffmpeg::CodecContextOwner decoder_;
    ffmpeg::CodecContextOwner encoder_;
    SwrContext* resampler_ = nullptr;
    AVAudioFifo* queue_ = nullptr;
    ffmpeg::FrameOwner decoded_;
    ffmpeg::FrameOwner resampled_;
    ffmpeg::PacketOwner encoded_;
    double shift_ = 0.0;                        // seconds taken off the source's times
    std::int64_t nextSample_ = AV_NOPTS_VALUE;  // the time of the next queued sample, in samples
};

}  // namespace autoframe::reframe
