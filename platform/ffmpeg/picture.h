#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <type_traits>
#include <vector>

#include "core/error.h"
#include "core/frame.h"
#include "core/orientation.h"
#include "platform/ffmpeg/errors.h"
#include "platform/ffmpeg/owners.h"

namespace autoframe::ffmpeg {

// The number an enumerated field of a frame holds. Some decoders copy a bitstream code straight
// into such a field (MPEG-2 puts any 8-bit matrix code in `colorspace`), so the field may hold
// a value outside its enumeration, which must not be read as the enumeration type.
template <class Enumeration>
int storedNumber(const Enumeration& field) {
    std::underlying_type_t<Enumeration> value;
    std::memcpy(&value, &field, sizeof value);
    return int(value);
}

// A picture's format and size as errors give them: "yuv420p 1920x1080".
std::string describePicture(AVPixelFormat format, int width, int height);

// "cannot convert the pictures of 'name' from yuv420p 1920x1080 to bgr24 960x540".
std::unexpected<Error> cannotConvertPictures(const std::string& name, AVPixelFormat from, int width,
                                             int height, AVPixelFormat to, int toWidth,
                                             int toHeight);

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
