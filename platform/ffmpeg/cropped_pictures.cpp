#include "platform/ffmpeg/cropped_pictures.h"

extern "C" {
#include <libavutil/imgutils.h>
#include <libavutil/pixdesc.h>
}

#include <cstring>
#include <type_traits>

#include "core/error_codes.h"
#include "platform/ffmpeg/errors.h"
#include "platform/ffmpeg/picture.h"

namespace autoframe::reframe {
namespace {

using ffmpeg::errorText;
using ffmpeg::FrameOwner;
using ffmpeg::ScalerOwner;
using ffmpeg::storedNumber;

constexpr AVPixelFormat encodedFormat = AV_PIX_FMT_YUV420P;
// Scalers kept for a window that changes size; more are made again when needed.
constexpr std::size_t keptScalers = 8;

// The enumerated field's value where it is one of the enumeration's first `count`, else
// `otherwise`.
template <class Enumeration>
Enumeration known(const Enumeration& field, int count, Enumeration otherwise) {
    const int value = storedNumber(field);
    return value >= 0 && value < count ? Enumeration(value) : otherwise;
}

bool isColourFormat(const AVPixFmtDescriptor& d) {
    return (d.flags & (AV_PIX_FMT_FLAG_RGB | AV_PIX_FMT_FLAG_PAL)) != 0;
}

// Planes can be cut by moving their pointers: not a palette, not bits, not chroma shared between
// neighbours of one packed plane.
bool cutsInPlace(const AVPixFmtDescriptor& d) {
    if (d.flags & (AV_PIX_FMT_FLAG_HWACCEL | AV_PIX_FMT_FLAG_BITSTREAM | AV_PIX_FMT_FLAG_PAL)) {
        return false;
    }
    const bool subsampled = d.log2_chroma_w || d.log2_chroma_h;
    return !subsampled || (d.flags & AV_PIX_FMT_FLAG_PLANAR);
}

}  // namespace

OutputColour outputColourOf(const AVFrame& picture) {
    const auto format = AVPixelFormat(picture.format);
    const AVPixFmtDescriptor* d = av_pix_fmt_desc_get(format);
    OutputColour colour;
    colour.primaries = known(picture.color_primaries, AVCOL_PRI_NB, AVCOL_PRI_UNSPECIFIED);
    colour.transfer = known(picture.color_trc, AVCOL_TRC_NB, AVCOL_TRC_UNSPECIFIED);
    const int range = storedNumber(picture.color_range);
    if (d && isColourFormat(*d)) {
        // The scaler's conversion of RGB: BT.601, limited range.
        colour.space = AVCOL_SPC_SMPTE170M;
        colour.range = AVCOL_RANGE_MPEG;
    } else if (d && d->nb_components < 3) {
        // Gray is full range unless told otherwise; the chroma added is neutral.
        colour.range = range == AVCOL_RANGE_MPEG ? AVCOL_RANGE_MPEG : AVCOL_RANGE_JPEG;
    } else {
        colour.space = known(picture.colorspace, AVCOL_SPC_NB, AVCOL_SPC_UNSPECIFIED);
        const bool full = ffmpeg::withoutRangeInName(format) != format || range == AVCOL_RANGE_JPEG;
        colour.range = full ? AVCOL_RANGE_JPEG : AVCOL_RANGE_MPEG;
    }
    return colour;
}

std::pair<int, int> CroppedPictures::grid(const AVFrame& picture) const {
    const AVPixFmtDescriptor* d = av_pix_fmt_desc_get(AVPixelFormat(picture.format));
    if (!d || !cutsInPlace(*d)) return {1, 1};
    return {1 << d->log2_chroma_w, 1 << d->log2_chroma_h};
}

Expected<AVFrame*> CroppedPictures::crop(const AVFrame& picture, const PixelRect& rect) {
    auto source = cuttable(picture);
    if (!source) return std::unexpected(std::move(source.error()));
    const AVFrame& from = **source;
    const auto format = ffmpeg::withoutRangeInName(AVPixelFormat(from.format));

    if (turn_.isIdentity() && format == encodedFormat && rect.width == output_.width &&
        rect.height == output_.height) {
        // The window at the output's size: the decoded picture itself, its planes' pointers moved
        // to the window's corner (which lies on the chroma grid).
        if (!reference_) reference_.reset(av_frame_alloc());
        if (!reference_)
            return cannotConvert(format, rect.width, rect.height, rect.width, rect.height);
        av_frame_unref(reference_.get());
        const int rc = av_frame_ref(reference_.get(), &from);
        if (rc < 0)
            return fail(VideoCode::cannotConvert,
                        "cannot crop a picture of '" + name_ + "': " + errorText(rc));
        AVFrame& cut = *reference_;
        cut.data[0] += std::ptrdiff_t(rect.y) * cut.linesize[0] + rect.x;
        for (int plane : {1, 2}) {
            cut.data[plane] += std::ptrdiff_t(rect.y / 2) * cut.linesize[plane] + rect.x / 2;
        }
        cut.width = rect.width;
        cut.height = rect.height;
        cut.format = encodedFormat;
        return &cut;
    }

    const bool turning = !turn_.isIdentity();
    const int scaledWidth = turn_.swapsSides() ? output_.height : output_.width;
    const int scaledHeight = turn_.swapsSides() ? output_.width : output_.height;
    FrameOwner& scaled = turning ? stored_ : encoded_;
    if (auto ready = ensureBuffer(scaled, scaledWidth, scaledHeight); !ready) {
        return std::unexpected(std::move(ready.error()));
    }
    if (auto done = scale(from, rect, *scaled); !done)
        return std::unexpected(std::move(done.error()));
    if (!turning) return encoded_.get();

    if (auto ready = ensureBuffer(encoded_, output_.width, output_.height); !ready) {
        return std::unexpected(std::move(ready.error()));
    }
    for (int plane = 0; plane < 3; ++plane) {
        const int shift = plane == 0 ? 0 : 1;
        turnPlane(stored_->data[plane], stored_->linesize[plane], scaledWidth >> shift,
                  scaledHeight >> shift, turn_, encoded_->data[plane], encoded_->linesize[plane]);
    }
    return encoded_.get();
}

// The picture if its planes can be cut in place, else the whole picture converted to a planar
// format without subsampling that can.
Expected<const AVFrame*> CroppedPictures::cuttable(const AVFrame& picture) {
    const auto format = AVPixelFormat(picture.format);
    const AVPixFmtDescriptor* d = av_pix_fmt_desc_get(format);
    if (!d)
        return cannotConvert(format, picture.width, picture.height, output_.width, output_.height);
    if (cutsInPlace(*d)) return &picture;

    const AVPixelFormat planar = isColourFormat(*d) ? AV_PIX_FMT_GBRP : AV_PIX_FMT_YUV444P;
    if (!whole_ || whole_->width != picture.width || whole_->height != picture.height ||
        whole_->format != planar) {
        whole_.reset(av_frame_alloc());
        if (!whole_)
            return cannotConvert(format, picture.width, picture.height, picture.width,
                                 picture.height);
        whole_->width = picture.width;
        whole_->height = picture.height;
        whole_->format = planar;
        if (av_frame_get_buffer(whole_.get(), 0) < 0) {
            whole_.reset();
            return cannotConvert(format, picture.width, picture.height, picture.width,
                                 picture.height);
        }
    }
    SwsContext* scaler = sws_getCachedContext(wholeScaler_.release(), picture.width, picture.height,
                                              format, picture.width, picture.height, planar,
                                              SWS_BICUBIC, nullptr, nullptr, nullptr);
    wholeScaler_.reset(scaler);
    if (!scaler || sws_scale(scaler, picture.data, picture.linesize, 0, picture.height,
                             whole_->data, whole_->linesize) != picture.height) {
        return cannotConvert(format, picture.width, picture.height, picture.width, picture.height);
    }
    whole_->color_range = picture.color_range;
    whole_->colorspace = picture.colorspace;
    return whole_.get();
}

Expected<void> CroppedPictures::scale(const AVFrame& from, const PixelRect& rect, AVFrame& into) {
    const auto format = ffmpeg::withoutRangeInName(AVPixelFormat(from.format));
    const AVPixFmtDescriptor* d = av_pix_fmt_desc_get(format);
    int maxStep[4] = {};
    av_image_fill_max_pixsteps(maxStep, nullptr, d);
    const std::uint8_t* planes[4] = {};
    for (int plane = 0; plane < 4 && from.data[plane]; ++plane) {
        const bool chroma = (plane == 1 || plane == 2) && !(d->flags & AV_PIX_FMT_FLAG_RGB);
        const int x =
            chroma ? (rect.x * maxStep[plane]) >> d->log2_chroma_w : rect.x * maxStep[plane];
        const int y = chroma ? rect.y >> d->log2_chroma_h : rect.y;
        planes[plane] = from.data[plane] + std::ptrdiff_t(y) * from.linesize[plane] + x;
    }

    const auto key = std::tuple{rect.width, rect.height, int(format)};
    auto found = scalers_.find(key);
    if (found == scalers_.end()) {
        if (scalers_.size() >= keptScalers) scalers_.clear();
        ScalerOwner scaler(sws_getContext(rect.width, rect.height, format, into.width, into.height,
                                          encodedFormat, SWS_BICUBIC, nullptr, nullptr, nullptr));
        if (!scaler) return cannotConvert(format, rect.width, rect.height, into.width, into.height);
        found = scalers_.emplace(key, std::move(scaler)).first;
    }
    const int rows = sws_scale(found->second.get(), planes, from.linesize, 0, rect.height,
                               into.data, into.linesize);
    if (rows != into.height)
        return cannotConvert(format, rect.width, rect.height, into.width, into.height);
    return {};
}

Expected<void> CroppedPictures::ensureBuffer(FrameOwner& frame, int width, int height) {
    if (frame && frame->width == width && frame->height == height) {
        // The encoder may still hold the last picture: then this one gets a buffer of its own.
        const int rc = av_frame_make_writable(frame.get());
        if (rc < 0)
            return fail(VideoCode::cannotConvert,
                        "cannot crop a picture of '" + name_ + "': " + errorText(rc));
        return {};
    }
    frame.reset(av_frame_alloc());
    if (!frame)
        return fail(VideoCode::cannotConvert,
                    "cannot crop a picture of '" + name_ + "': " + errorText(AVERROR(ENOMEM)));
    frame->width = width;
    frame->height = height;
    frame->format = encodedFormat;
    const int rc = av_frame_get_buffer(frame.get(), 0);
    if (rc < 0) {
        frame.reset();
        return fail(VideoCode::cannotConvert,
                    "cannot crop a picture of '" + name_ + "': " + errorText(rc));
    }
    return {};
}

std::unexpected<Error> CroppedPictures::cannotConvert(AVPixelFormat from, int width, int height,
                                                      int toWidth, int toHeight) const {
    return ffmpeg::cannotConvertPictures(name_, from, width, height, encodedFormat, toWidth,
                                         toHeight);
}

}  // namespace autoframe::reframe
