#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/error.h"
#include "core/frame.h"
#include "core/orientation.h"
#include "platform/ffmpeg/errors.h"
#include "platform/ffmpeg/owners.h"

namespace autoframe::ffmpeg {

// The legacy formats that say "full range" by their name (yuvj420p…), as their plain twins: the
// scaler and the encoder want the range given apart.
AVPixelFormat withoutRangeInName(AVPixelFormat format);

// The orientation a display matrix (FFmpeg's 3x3 layout, 16.16 fixed point) asks for; a matrix
// that is not a quarter turn, possibly mirrored, is taken at its nearest quarter turn.
Orientation orientationOf(const std::int32_t* displayMatrix);

// Width and height of the upright picture: the stored size widened by the sample aspect ratio,
// turned by the orientation, then shrunk (never enlarged) to fit within maxSide x maxSide.
Size uprightSize(int storedWidth, int storedHeight, AVRational sampleAspect,
                 Orientation orientation, int maxSide);

// Pixels of a stored picture of `stored` size, packed BGR, turned into the upright picture.
std::vector<std::uint8_t> reorient(const std::uint8_t* bgr, std::size_t lineBytes, Size stored,
                                   Orientation orientation);

// Turns decoded pictures into upright, full-range, packed BGR frames of at most maxSide pixels a
// side. The scaler is made again whenever size, format or colour description change.
class PictureConverter {
public:
    PictureConverter(std::string videoName, Orientation orientation, int maxSide)
        : videoName_(std::move(videoName)), orientation_(orientation), maxSide_(maxSide) {}

    Expected<Frame> convert(const AVFrame& picture, AVRational sampleAspect);

private:
    struct Key {
        int width = 0, height = 0, format = -1, colorspace = -1, fullRange = -1;
        int outWidth = 0, outHeight = 0;
        bool operator==(const Key&) const = default;
    };

    // Makes the scaler again unless the one there is fits the picture.
    Expected<void> prepareScaler(const AVFrame& picture, Size stored, int colorspace);
    // Scales the picture into scratch_ at its stored orientation; the bytes a row takes there.
    Expected<std::size_t> scale(const AVFrame& picture, Size stored);
    // The scaled picture in scratch_, turned upright, without padding.
    std::vector<std::uint8_t> uprightPixels(std::size_t lineBytes, Size stored) const;

    std::string videoName_;
    Orientation orientation_;
    int maxSide_;
    Key key_;
    ScalerOwner scaler_;
    std::vector<std::uint8_t> scratch_;
};

}  // namespace autoframe::ffmpeg
