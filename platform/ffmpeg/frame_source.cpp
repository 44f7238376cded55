#include "platform/ffmpeg/frame_source.h"

#include <cmath>
#include <optional>

#include "core/error_codes.h"
#include "core/number_text.h"
#include "platform/ffmpeg/errors.h"
#include "platform/ffmpeg/picture.h"
#include "platform/ffmpeg/video_decoder.h"

namespace autoframe {
namespace {

using namespace ffmpeg;

// Seconds in error descriptions: to the millisecond.
std::string millisecondsText(double seconds) { return numberText(seconds, 3); }

// Answers requests from the pictures the decoder holds: the nearest within the tolerance, or the
// one on screen, converted to an upright frame.
class FfmpegFrameSource final : public FrameSource {
public:
    FfmpegFrameSource(std::string name, VideoDecoder::OpenReader openReader,
                      const DecodeSettings& settings)
        : name_(name), decoder_(std::move(name), std::move(openReader), settings) {}

    Expected<TimedFrame> frameAt(double seconds) override;
    Expected<double> statedDurationSeconds() override;

private:
    using Held = VideoDecoder::Held::Held;

    Expected<void> openOnce();
    Expected<TimedFrame> convertHeld(const Held& held, double seconds);
    std::unexpected<Error> noFrameNear(double seconds) const;

    std::string name_;
    VideoDecoder decoder_;
    bool opened_ = false;
    std::optional<Error> openFailure_;  // every request repeats it
    std::optional<PictureConverter> converter_;

    // The held picture that answered the last request, and its frame once pictures answer more
    // than one request each: requests closer together than the frames then get a copy, which
    // costs far less than converting again.
    struct LastAnswer {
        std::uint64_t picture = 0;
        bool repeated = false;  // it answered more than one request
        std::optional<Frame> frame;
    };
    std::optional<LastAnswer> lastAnswer_;
};

// Opens the video at the first use; a failure to open is the answer to every use after.
Expected<void> FfmpegFrameSource::openOnce() {
    if (!opened_) {
        opened_ = true;
        if (auto opening = decoder_.open(); !opening) {
            openFailure_ = std::move(opening.error());
        } else {
            converter_.emplace(name_, decoder_.orientation(), maximumSide);
        }
    }
    if (openFailure_) return std::unexpected(*openFailure_);
    return {};
}

Expected<double> FfmpegFrameSource::statedDurationSeconds() {
    if (auto opened = openOnce(); !opened) return std::unexpected(std::move(opened.error()));
    return decoder_.statedDuration();
}

Expected<TimedFrame> FfmpegFrameSource::frameAt(double seconds) {
    if (auto opened = openOnce(); !opened) return std::unexpected(std::move(opened.error()));
    if (!std::isfinite(seconds)) return noFrameNear(seconds);

    const RequestWindow request{seconds, toleranceSeconds};
    if (auto decoded = decoder_.decodeFor(request); !decoded) {
        return std::unexpected(std::move(decoded.error()));
    }
    const auto answer = decoder_.held().answer(request, decoder_.drained());
    if (!answer) return noFrameNear(seconds);
    return convertHeld(*answer->held, answer->seconds);
}

// The held picture as an upright frame, answering for `seconds`.
Expected<TimedFrame> FfmpegFrameSource::convertHeld(const Held& held, double seconds) {
    const bool again = lastAnswer_ && lastAnswer_->picture == held.number;
    if (again && lastAnswer_->frame) {
        lastAnswer_->repeated = true;
        return TimedFrame{*lastAnswer_->frame, seconds, held.number};
    }
    // Pictures answer more than one request each: keep this one's frame for the next requests.
    const bool keep = again || (lastAnswer_ && lastAnswer_->repeated);

    auto frame = converter_->convert(*held.picture, decoder_.sampleAspect(*held.picture));
    if (!frame) return std::unexpected(std::move(frame.error()));
    lastAnswer_ =
        LastAnswer{held.number, again, keep ? std::optional<Frame>(*frame) : std::nullopt};
    return TimedFrame{std::move(*frame), seconds, held.number};
}

std::unexpected<Error> FfmpegFrameSource::noFrameNear(double seconds) const {
    std::string text = "no frame within " + millisecondsText(toleranceSeconds) + " s of " +
                       millisecondsText(seconds) + " s in " + quoted(name_);
    const auto& held = decoder_.held();
    if (!held.empty() && held.latest().seconds > seconds) {
        text += "; the next frame is at " + millisecondsText(held.latest().seconds) + " s";
    } else if (decoder_.drained() && held.end()) {
        text += "; the video ends at " + millisecondsText(*held.end()) + " s";
    } else if (decoder_.drained()) {
        text += "; the video has no frames";
    }
    return videoError(VideoCode::noFrameNear, std::move(text));
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
