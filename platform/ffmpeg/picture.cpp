#include "platform/ffmpeg/picture.h"
#include "core/error_codes.h"

extern "C" {
#include <libavutil/display.h>
#include <libavutil/pixdesc.h>
}

#include <algorithm>
#include <cmath>
#include <cstring>
#include <type_traits>

namespace autoframe::ffmpeg {
namespace {

int snap(double value) { return value > 0.5 ? 1 : value < -0.5 ? -1 : 0; }

bool isQuarterTurn(const Orientation& o) {
    const bool straight = o.a != 0 && o.d != 0 && o.b == 0 && o.c == 0;
    const bool turned = o.a == 0 && o.d == 0 && o.b != 0 && o.c != 0;
    return straight || turned;
}

bool isFullRange(const AVFrame& picture) {
    const auto format = AVPixelFormat(picture.format);
    if (withoutRangeInName(format) != format) return true;
    const AVPixFmtDescriptor* descriptor = av_pix_fmt_desc_get(format);
    const bool yuv =
        descriptor && !(descriptor->flags & AV_PIX_FMT_FLAG_RGB) && descriptor->nb_components >= 3;
    const int range = storedNumber(picture.color_range);
    if (!yuv) return range != AVCOL_RANGE_MPEG;  // gray and RGB: full unless told
    return range == AVCOL_RANGE_JPEG;
}

// The scaler's coefficient set for the picture's colour space; unspecified ones are taken as
// BT.709 for HD sizes and BT.601 below, as players do.
int scalerColorspace(const AVFrame& picture) {
    switch (storedNumber(picture.colorspace)) {
        case AVCOL_SPC_BT709: return SWS_CS_ITU709;
        case AVCOL_SPC_FCC: return SWS_CS_FCC;
        case AVCOL_SPC_BT470BG:
        case AVCOL_SPC_SMPTE170M: return SWS_CS_ITU601;
        case AVCOL_SPC_SMPTE240M: return SWS_CS_SMPTE240M;
        case AVCOL_SPC_BT2020_NCL:
        case AVCOL_SPC_BT2020_CL: return SWS_CS_BT2020;
        default: return picture.height >= 720 ? SWS_CS_ITU709 : SWS_CS_ITU601;
    }
}

// The nearer of the two luma weightings the frame can carry.
ColorMatrix matrixOf(int scalerColorspace) {
    return scalerColorspace == SWS_CS_ITU709 || scalerColorspace == SWS_CS_BT2020 ||
                   scalerColorspace == SWS_CS_SMPTE240M
               ? ColorMatrix::bt709
               : ColorMatrix::bt601;
}

}  // namespace

std::string describePicture(AVPixelFormat format, int width, int height) {
    const char* name = av_get_pix_fmt_name(format);
    return std::string(name ? name : "unknown format") + " " + std::to_string(width) + "x" +
           std::to_string(height);
}

std::unexpected<Error> cannotConvertPictures(const std::string& name, AVPixelFormat from, int width,
                                             int height, AVPixelFormat to, int toWidth,
                                             int toHeight) {
    return fail(VideoCode::cannotConvert, "cannot convert the pictures of '" + name + "' from " +
                                              describePicture(from, width, height) + " to " +
                                              describePicture(to, toWidth, toHeight));
}

AVPixelFormat withoutRangeInName(AVPixelFormat format) {
    switch (format) {
        case AV_PIX_FMT_YUVJ420P: return AV_PIX_FMT_YUV420P;
        case AV_PIX_FMT_YUVJ422P: return AV_PIX_FMT_YUV422P;
        case AV_PIX_FMT_YUVJ444P: return AV_PIX_FMT_YUV444P;
        case AV_PIX_FMT_YUVJ440P: return AV_PIX_FMT_YUV440P;
        case AV_PIX_FMT_YUVJ411P: return AV_PIX_FMT_YUV411P;
        default: return format;
    }
}

Orientation orientationOf(const std::int32_t* m) {
    if (!m) return {};
    const double scale = std::max({std::abs(double(m[0])), std::abs(double(m[1])),
                                   std::abs(double(m[3])), std::abs(double(m[4]))});
    if (!(scale > 0)) return {};
    Orientation o{snap(m[0] / scale), snap(m[1] / scale), snap(m[3] / scale), snap(m[4] / scale)};
    if (isQuarterTurn(o)) return o;
    // Some other angle: the nearest quarter turn, without mirroring.
    const double angle = av_display_rotation_get(m);
    if (!std::isfinite(angle)) return {};
    std::int32_t turned[9];
    av_display_rotation_set(turned, 90.0 * std::round(angle / 90.0));
    return Orientation{snap(turned[0] / 65536.0), snap(turned[1] / 65536.0),
                       snap(turned[3] / 65536.0), snap(turned[4] / 65536.0)};
}

Size uprightSize(int storedWidth, int storedHeight, AVRational sampleAspect,
                 Orientation orientation, int maxSide) {
    double width = storedWidth;
    const double height = storedHeight;
    if (sampleAspect.num > 0 && sampleAspect.den > 0)
        width = width * sampleAspect.num / sampleAspect.den;
    const double uprightWidth = orientation.swapsSides() ? height : width;
    const double uprightHeight = orientation.swapsSides() ? width : height;
    return fittedWithin(uprightWidth, uprightHeight, maxSide);
}

std::vector<std::uint8_t> reorient(const std::uint8_t* bgr, std::size_t lineBytes, Size stored,
                                   Orientation o) {
    const int w = stored.width, h = stored.height;
    const int outWidth = o.swapsSides() ? h : w;
    const int offsetX = (o.a < 0 ? w - 1 : 0) + (o.c < 0 ? h - 1 : 0);
    const int offsetY = (o.b < 0 ? w - 1 : 0) + (o.d < 0 ? h - 1 : 0);
    std::vector<std::uint8_t> out(std::size_t(w) * std::size_t(h) * 3);
    for (int q = 0; q < h; ++q) {
        const std::uint8_t* row = bgr + std::size_t(q) * lineBytes;
        for (int p = 0; p < w; ++p) {
            const int x = o.a * p + o.c * q + offsetX;
            const int y = o.b * p + o.d * q + offsetY;
            std::memcpy(&out[(std::size_t(y) * std::size_t(outWidth) + std::size_t(x)) * 3],
                        row + std::size_t(p) * 3, 3);
        }
    }
    return out;
}

Expected<Frame> PictureConverter::convert(const AVFrame& picture, AVRational sampleAspect) {
    if (picture.width <= 0 || picture.height <= 0 ||
        AVPixelFormat(picture.format) == AV_PIX_FMT_NONE) {
        return fail(VideoCode::cannotConvert,
                    "cannot convert a picture of '" + videoName_ + "': it has no size or format");
    }
    const Size upright =
        uprightSize(picture.width, picture.height, sampleAspect, orientation_, maxSide_);
    const Size stored = orientation_.swapsSides() ? Size{upright.height, upright.width} : upright;
    const int colorspace = scalerColorspace(picture);
    if (auto ready = prepareScaler(picture, stored, colorspace); !ready) {
        return std::unexpected(std::move(ready.error()));
    }
    auto lineBytes = scale(picture, stored);
    if (!lineBytes) return std::unexpected(std::move(lineBytes.error()));

    Frame frame;
    frame.width = upright.width;
    frame.height = upright.height;
    frame.matrix = matrixOf(colorspace);
    frame.bgr = uprightPixels(*lineBytes, stored);
    return frame;
}

Expected<void> PictureConverter::prepareScaler(const AVFrame& picture, Size stored,
                                               int colorspace) {
    const bool fullRange = isFullRange(picture);
    const Key key{picture.width, picture.height, picture.format, colorspace,
                  fullRange,     stored.width,   stored.height};
    if (scaler_ && key == key_) return {};
    const AVPixelFormat source = withoutRangeInName(AVPixelFormat(picture.format));
    scaler_.reset(sws_getContext(picture.width, picture.height, source, stored.width, stored.height,
                                 AV_PIX_FMT_BGR24, SWS_BILINEAR, nullptr, nullptr, nullptr));
    if (!scaler_) {
        return cannotConvertPictures(videoName_, source, picture.width, picture.height,
                                     AV_PIX_FMT_BGR24, stored.width, stored.height);
    }
    // Output full range; the coefficients only matter for YUV sources.
    sws_setColorspaceDetails(scaler_.get(), sws_getCoefficients(colorspace), fullRange,
                             sws_getCoefficients(SWS_CS_DEFAULT), 1, 0, 1 << 16, 1 << 16);
    key_ = key;
    return {};
}

Expected<std::size_t> PictureConverter::scale(const AVFrame& picture, Size stored) {
    // The scaler may write a little past the last pixel of a row: rows get room to spare.
    const std::size_t lineBytes = (std::size_t(stored.width) * 3 + 63) / 64 * 64 + 64;
    scratch_.resize(lineBytes * std::size_t(stored.height));
    std::uint8_t* planes[4] = {scratch_.data(), nullptr, nullptr, nullptr};
    int lineSizes[4] = {int(lineBytes), 0, 0, 0};
    const int rows = sws_scale(scaler_.get(), picture.data, picture.linesize, 0, picture.height,
                               planes, lineSizes);
    if (rows != stored.height) {
        return fail(
            VideoCode::cannotConvert,
            "cannot convert a picture of '" + videoName_ + "' from " +
                describePicture(AVPixelFormat(picture.format), picture.width, picture.height) +
                " to " + describePicture(AV_PIX_FMT_BGR24, stored.width, stored.height));
    }
    return lineBytes;
}

std::vector<std::uint8_t> PictureConverter::uprightPixels(std::size_t lineBytes,
                                                          Size stored) const {
    if (!orientation_.isIdentity())
        return reorient(scratch_.data(), lineBytes, stored, orientation_);
    const std::size_t rowBytes = std::size_t(stored.width) * 3;
    std::vector<std::uint8_t> bgr(rowBytes * std::size_t(stored.height));
    for (int y = 0; y < stored.height; ++y) {
        std::memcpy(&bgr[std::size_t(y) * rowBytes], &scratch_[std::size_t(y) * lineBytes],
                    rowBytes);
    }
    return bgr;
}

}  // namespace autoframe::ffmpeg
